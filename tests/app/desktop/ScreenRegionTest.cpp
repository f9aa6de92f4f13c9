#include "Eventually.h"
#include "FlatButton.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "UserInput.h"
#include "WheelComboBox.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

namespace {

const QString English = QStringLiteral(
    "Open the settings file, check the server name and press OK to upload the page again.");
const QString Japanese =
    QStringLiteral("設定ファイルを開いてサーバー名を確かめてから、もう一度送信を押してください。");

QWidget* picker() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("RegionPicker") && w->isVisible())
            return w;
    return nullptr;
}

class ScreenRegion : public MainFormTest {
protected:
    // Another program's dialog with a label in 12-pixel type of each language.
    void SetUp() override {
        MainFormTest::SetUp();
        dialog.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        dialog.setStyleSheet(QStringLiteral("background: white; color: black;"));
        auto* column = new QVBoxLayout(&dialog);
        for (QLabel** label : {&english, &japanese}) {
            *label = new QLabel(label == &english ? English : Japanese);
            QFont font(label == &english ? QStringLiteral("DejaVu Sans")
                                         : QStringLiteral("IPAGothic"));
            font.setPixelSize(12);
            (*label)->setFont(font);
            column->addWidget(*label);
        }
        dialog.move(40, 700);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    // Starts the capture with start; drags over the label once the window has gone and the
    // picker covers the desktop (or presses Escape when label is null).
    void capture(const std::function<void()>& start, QLabel* label) {
        bool hiddenWhilePicking = false;
        QTimer timer;
        timer.setInterval(50);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* p = picker();
            if (!p)
                return;
            timer.stop();
            hiddenWhilePicking = !form->isVisible();
            if (!label) {
                QTest::keyClick(p, Qt::Key_Escape);
                return;
            }
            const QRect onScreen(label->mapToGlobal(QPoint(-4, -4)), label->size() + QSize(8, 8));
            const QRect at = onScreen.translated(-p->geometry().topLeft());
            QTest::mousePress(p, Qt::LeftButton, {}, at.topLeft());
            QTest::mouseMove(p, at.center());
            QTest::mouseRelease(p, Qt::LeftButton, {}, at.bottomRight());
        });
        timer.start();
        start();
        EXPECT_TRUE(hiddenWhilePicking);
        EXPECT_EVENTUALLY(form->isVisible(), 5000);
    }

    QWidget dialog;
    QLabel* english = nullptr;
    QLabel* japanese = nullptr;
};

TEST_F(ScreenRegion, ARegionDraggedOverTheDesktopIsReadInTheChosenLanguage) {
    shown();
    // The button stands between the tool bar's controls, covering none.
    ASSERT_TRUE(form->btnScreen->isVisible());
    EXPECT_FALSE(form->btnScreen->geometry().intersects(form->btnSelect->geometry()));
    EXPECT_FALSE(form->btnScreen->geometry().intersects(form->btnSave0->geometry()));

    ASSERT_TRUE(UserInput::ChooseItem(form->cmbLang, 0));
    capture([&] { QTest::mouseClick(form->btnScreen, Qt::LeftButton); }, english);
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    form->DocView->Page().save(QStringLiteral(VELA_SCREENSHOT_DIR "/screen-region-english.png"));
    // Read as a 300-dpi scan would show it, not in the screen's 96 dpi.
    EXPECT_GE(form->DocView->Page().height(), 3 * (english->height() + 8));
    EXPECT_LE(RenderedPage::CharacterErrorRate(English, form->rmm00->toPlainText(), false), 0.02)
        << form->rmm00->toPlainText().toStdString();

    ASSERT_TRUE(UserInput::ChooseItem(form->cmbLang, 1));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    capture(
        [&] { QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier); },
        japanese);
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    form->DocView->Page().save(QStringLiteral(VELA_SCREENSHOT_DIR "/screen-region-japanese.png"));
    EXPECT_LE(RenderedPage::CharacterErrorRate(Japanese, form->rmm00->toPlainText(), true), 0.02)
        << form->rmm00->toPlainText().toStdString();

    // Escape gives up: text and image stay.
    const QString text = form->rmm00->toPlainText();
    const QString image = form->ImageFile;
    capture([&] { QTest::mouseClick(form->btnScreen, Qt::LeftButton); }, nullptr);
    EXPECT_EQ(form->rmm00->toPlainText(), text);
    EXPECT_EQ(form->ImageFile, image);
    EXPECT_TRUE(errors.isEmpty());
}

} // namespace
