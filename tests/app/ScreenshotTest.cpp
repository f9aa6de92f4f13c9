#include "FontSubstitutions.h"
#include "MainFormFixture.h"
#include "RichEdit.h"
#include "ToolPanel.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QPushButton>
#include <QTest>

// Saves the main window as a PNG in the build folder for a person to look at, and checks
// what a picture shows: the Japanese fonts resolve and the panes stand where they belong.
TEST_F(MainFormTest, ScreenshotShowsTheLayoutWithJapaneseFonts) {
    InstallFontSubstitutions();
    TfrmMain& f = open();
    f.rmm00->setPlainText(
        QStringLiteral("認識した文章がここに表示されます。\nRecognised text appears here."));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTest::qWait(50);

    EXPECT_TRUE(QFontInfo(f.font()).family().startsWith(QStringLiteral("IPA")))
        << QFontInfo(f.font()).family().toStdString();
    EXPECT_TRUE(QFontInfo(f.rmm00->font()).family().startsWith(QStringLiteral("IPA")));

    EXPECT_EQ(f.pnlOCR->geometry(), QRect(0, 0, 300, f.height()));
    EXPECT_EQ(f.pnlMemo->x(), 304);
    EXPECT_EQ(f.rmm00->geometry(), QRect(0, 25, f.pnlMemo->width(), 210));
    EXPECT_EQ(f.btnSave1->geometry().right(), f.pnlMemo->width() - 1)
        << "anchored to the right edge of its tool bar";
    EXPECT_EQ(f.btnOK->geometry().right(), f.pnlMemo->width() - 2);

    // At the design size nothing in the tool bars covers anything else, and every caption has
    // the room it asks for (「改行の挿入」 beside ﾌﾟﾚﾋﾞｭｰ is the tight place).
    for (QWidget* bar : {f.pnlOcrMenu, f.pnlMemoMenu, f.pnlHpMenu}) {
        const auto controls = bar->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
        for (const QAbstractButton* a : controls) {
            if (!a->isVisible())
                continue;
            const int caption = qobject_cast<const QCheckBox*>(a)
                                    ? a->sizeHint().width()
                                    : a->fontMetrics().horizontalAdvance(a->text()) + 8;
            EXPECT_GE(a->width(), caption) << a->text().toStdString();
            for (const QAbstractButton* b : controls)
                EXPECT_TRUE(a == b || !b->isVisible() || !a->geometry().intersects(b->geometry()))
                    << a->text().toStdString() << " / " << b->text().toStdString();
        }
    }
    EXPECT_EQ(f.frameGeometry().size(), QSize(700, 480));

    const QImage shot = f.grab().toImage();
    const QString path = QStringLiteral(VELA_SCREENSHOT_DIR "/main-window.png");
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    // The image pane's tool bar colour.
    EXPECT_EQ(shot.pixelColor(140, 12), QColor(0x9F, 0x9A, 0xBA));
}
