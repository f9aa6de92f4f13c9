// Pictures of the message box and of the flat button for a person to look at, saved in the
// build folder, with the checks a picture allows.
#include "FlatButton.h"
#include "FontSubstitutions.h"
#include "MessageBoxDriver.h"

#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString shotPath(const char* name) {
    return QStringLiteral(VELA_SCREENSHOT_DIR "/") + QLatin1String(name);
}

TEST(MessageBoxScreenshot, BoxesInModesYAndYncWithATwoLineJapaneseMessage) {
    InstallFontSubstitutions();
    QWidget owner;
    owner.setGeometry(100, 100, 700, 480);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    const QString message =
        QStringLiteral("スキャナからの取り込みに失敗しました。\r接続と電源を確かめてください。");
    for (const char* mode : {"y", "ync"}) {
        SCOPED_TRACE(mode);
        QImage shot;
        QString family;
        whenUp([&](TfrmMessageBox* box) {
            QTest::qWait(20);
            shot = box->grab().toImage();
            family = QFontInfo(box->lblMsg->font()).family();
            press(box, Qt::Key_Escape);
        });
        ShowMessageBox(&owner, QStringLiteral("TWAIN"), message, QStringLiteral("i"),
                       QString::fromLatin1(mode), QStringLiteral("1"));
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(family.startsWith(QStringLiteral("IPA"))) << family.toStdString();
        EXPECT_TRUE(shot.save(shotPath(
            qPrintable(QStringLiteral("message-box-%1.png").arg(QString::fromLatin1(mode))))));
    }
}

TEST(MessageBoxScreenshot, FlatButtonInItsLooks) {
    InstallFontSubstitutions();
    QWidget form;
    form.resize(5 * 90, 40);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    TFlatButton* buttons[5];
    for (int i = 0; i < 5; ++i) {
        buttons[i] = new TFlatButton(&form);
        buttons[i]->setGeometry(5 + 90 * i, 7, 83, 25);
        buttons[i]->SetFont(font);
        buttons[i]->SetCaption(QStringLiteral("はい(&Y)"));
    }
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    buttons[0]->clearFocus();
    QImage strip(form.size(), QImage::Format_RGB32);
    strip.fill(form.palette().color(QPalette::Window));
    QPainter painter(&strip);
    const auto take = [&](TFlatButton* b) { painter.drawImage(b->pos(), b->grab().toImage()); };
    // Normal, under the mouse, held down, focused, disabled.
    take(buttons[0]);
    QTest::mouseMove(form.windowHandle(), QPoint(2, 2));
    QTest::mouseMove(form.windowHandle(), buttons[1]->geometry().center());
    ASSERT_TRUE(buttons[1]->Hot());
    take(buttons[1]);
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, buttons[2]->geometry().center());
    ASSERT_TRUE(buttons[2]->Pressed() && buttons[2]->Hot());
    take(buttons[2]);
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, buttons[2]->geometry().center());
    QTest::mouseMove(form.windowHandle(), QPoint(2, 2));
    buttons[3]->setFocus();
    ASSERT_TRUE(buttons[3]->Focused() && !buttons[2]->Hot());
    take(buttons[3]);
    buttons[4]->setEnabled(false);
    take(buttons[4]);
    painter.end();
    // Four times as large, so that single pixels can be seen.
    const QImage large =
        strip.scaled(strip.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_TRUE(large.save(shotPath("flat-button-looks.png")));
}

} // namespace
