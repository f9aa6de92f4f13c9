#include "FontSubstitutions.h"
#include "GradSplitter.h"
#include "MainFormFixture.h"
#include "RichEdit.h"
#include "ToolPanel.h"

#include <QTest>

namespace {

class MainFormControlsTest : public MainFormTest {
protected:
    TfrmMain& shown() {
        TfrmMain& f = open();
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        return f;
    }
};

TEST_F(MainFormControlsTest, TextPaneSplitterKeepsMinSizeOnBothSidesAndIsStored) {
    TfrmMain& f = shown();
    int moved = 0;
    f.Splitter2->OnMoved = [&](QObject*) { ++moved; };
    const int paneHeight = f.pnlMemo->height();
    // The bar moves under the mouse: positions are the window's.
    const QPoint grip = f.Splitter2->mapTo(&f, QPoint(f.Splitter2->width() / 2, 1));
    QTest::mousePress(f.Splitter2, Qt::LeftButton, {}, f.Splitter2->mapFrom(&f, grip));
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip + QPoint(0, 2000)));
    EXPECT_EQ(f.rmm00->height(), paneHeight - 130 - 25 - 4 - 24);
    EXPECT_EQ(f.pnlMemo->height() - f.pnlHpMenu->geometry().bottom() - 1, 130)
        << "the web area keeps 130 pixels";
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip - QPoint(0, 2000)));
    EXPECT_EQ(f.rmm00->height(), 130);
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip + QPoint(0, 7)));
    QTest::mouseRelease(f.Splitter2, Qt::LeftButton, {},
                        f.Splitter2->mapFrom(&f, grip + QPoint(0, 7)));
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(f.rmm00->height(), 217);
    EXPECT_EQ(f.Splitter2->y(), 25 + 217);
    destroyForm();
    EXPECT_TRUE(readIni().contains("mmHeight=217")) << readIni().constData();
}

// Saves the window with the mouse over the pane splitter at the end of its fade.
TEST_F(MainFormControlsTest, ScreenshotWithTheSplitterFadedIn) {
    InstallFontSubstitutions();
    TfrmMain& f = shown();
    const QPoint inBar(1, f.Splitter1->height() / 3);
    QTest::mouseMove(f.Splitter1, inBar);
    QTRY_VERIFY_WITH_TIMEOUT(f.Splitter1->FadeLevel() == 100 && !f.Splitter1->Fading(), 2000);
    QTest::qWait(30);
    const QImage shot = f.grab().toImage();
    const QString path = QStringLiteral(VELA_SCREENSHOT_DIR "/main-window-splitter-hover.png");
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    // The hover gradient runs from light green at the top to blue at the bottom.
    const int x = f.Splitter1->x() + 3;
    EXPECT_EQ(shot.pixelColor(x, 0), QColor(179, 217, 181));
    const QColor bottom = shot.pixelColor(x, f.Splitter1->height() - 1);
    EXPECT_NEAR(bottom.red(), 118, 1);
    EXPECT_NEAR(bottom.blue(), 190, 1);
    // Splitter2 stays in its normal look: button face with its grip.
    EXPECT_EQ(shot.pixelColor(f.pnlMemo->x() + 2, f.Splitter2->y() + 3),
              f.Splitter2->palette().color(QPalette::Button));
}

} // namespace
