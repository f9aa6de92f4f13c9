// Captions the user must read, in the desktop's light and dark palettes: the selectors (also
// while they have the focus), the message box's text and its flat buttons.
#include "FlatButton.h"
#include "FontSubstitutions.h"
#include "MainFormFixture.h"
#include "MessageBoxDriver.h"
#include "WheelComboBox.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <cmath>

namespace {

double luminance(QRgb rgb) {
    const auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

// The contrast ratio between an area's fill (its commonest colour) and its caption (the pixel
// that differs most from the fill).
double captionContrast(const QImage& image, const QRect& area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) & 0xFFFFFF];
    QRgb fill = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(fill))
            fill = it.key();
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double a = luminance(fill), b = luminance(it.key());
        best = std::max(best, (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05));
    }
    return best;
}

QPalette darkPalette() {
    QPalette p(QColor(0x35, 0x35, 0x35), QColor(0x2A, 0x2A, 0x2A));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::HighlightedText, QPalette::BrightText})
        p.setColor(role, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    return p;
}

void save(const QImage& image, const char* name) {
    EXPECT_TRUE(image.save(QStringLiteral(VELA_SCREENSHOT_DIR "/") + QLatin1String(name)));
}

TEST_F(MainFormTest, CaptionsStayReadableInLightAndDarkPalettes) {
    InstallFontSubstitutions();
    const QPalette desktop = QApplication::palette();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(dark ? darkPalette() : desktop);
        TfrmMain& f = shown();
        // The selector as the wheel or Tab leaves it: focused, its list closed.
        f.cmbTrns->setFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        ASSERT_TRUE(f.cmbTrns->hasFocus());
        for (TWheelComboBox* selector : {f.cmbLang, f.cmbTrns}) {
            const QImage image = selector->grab().toImage();
            EXPECT_GE(captionContrast(image, image.rect().adjusted(3, 3, -22, -3)), 4.5)
                << selector->currentText().toStdString();
            if (selector == f.cmbTrns)
                save(image.scaled(image.size() * 3),
                     dark ? "selector-focused-dark.png" : "selector-focused.png");
        }
        if (dark)
            save(f.grab().toImage(), "main-window-dark.png");

        double text = 0, buttons = 100;
        whenUp([&](TfrmMessageBox* box) {
            QTest::qWait(20);
            const QImage image = box->grab().toImage();
            text = captionContrast(image, box->lblMsg->geometry());
            for (TFlatButton* b : {box->btnMode1, box->btnMode2, box->btnMode3}) {
                const QImage face = b->grab().toImage();
                buttons =
                    std::min(buttons, captionContrast(face, face.rect().adjusted(5, 5, -6, -6)));
            }
            if (dark)
                save(image, "message-box-dark.png");
            press(box, Qt::Key_Escape);
        });
        ShowMessageBox(&f, QStringLiteral("TWAIN"), QStringLiteral("スキャナが見つかりません"),
                       QStringLiteral("i"), QStringLiteral("ync"), QStringLiteral("1"));
        EXPECT_GE(text, 4.5);
        EXPECT_GE(buttons, 4.5);
        form.reset();
    }
    QApplication::setPalette(desktop);
}

} // namespace
