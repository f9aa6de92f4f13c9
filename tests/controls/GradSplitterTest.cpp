#include "GradSplitter.h"

#include "Eventually.h"

#include <QHBoxLayout>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

const TColor BarColour = RGBColor(244, 244, 247);
const TColor OverFrom = RGBColor(179, 217, 181);
const TColor OverTo = RGBColor(118, 148, 190);

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// The window's bar settings.
void configure(TGradSplitter& s) {
    s.SetThickness(4);
    s.SetColor(BarColour);
    s.SetGradientType(gtVertical);
    s.Colors().SetDefaultFrom(clBtnFace);
    s.Colors().SetDefaultTo(clBtnFace);
    s.Colors().SetOverFrom(OverFrom);
    s.Colors().SetOverTo(OverTo);
}

TEST(GradDrawCore, EveryKindAgainstComputedPixels) {
    QImage image = MakeBarImage(20, 10);
    const TColor to = RGBColor(200, 100, 40);
    const auto draw = [&](TGradientType kind) {
        image.fill(Qt::magenta);
        DrawGradient(image, {0, 0, 20, 10}, clBlack, to, kind);
    };
    draw(gtHorizontal); // extent 20
    EXPECT_EQ(image.pixelColor(5, 3), rgb(50, 25, 10));
    EXPECT_EQ(image.pixelColor(19, 0), rgb(190, 95, 38));
    draw(gtVertical); // extent 10
    EXPECT_EQ(image.pixelColor(5, 3), rgb(60, 30, 12));
    draw(gtFromTopLeft); // extent round(sqrt(500)) = 22, distance 5
    EXPECT_EQ(image.pixelColor(3, 4), rgb(45, 23, 9));
    EXPECT_EQ(image.pixelColor(0, 0), rgb(0, 0, 0));
    draw(gtFromTopRight);
    EXPECT_EQ(image.pixelColor(16, 3), rgb(45, 23, 9));
    draw(gtRadial); // extent 11 from the centre (10, 5)
    EXPECT_EQ(image.pixelColor(10, 5), rgb(0, 0, 0));
    EXPECT_EQ(image.pixelColor(13, 9), rgb(91, 45, 18));
    draw(gtDoubleHorz); // extent 10: from colour in the middle, to colour at the edges
    EXPECT_EQ(image.pixelColor(10, 4), rgb(0, 0, 0));
    EXPECT_EQ(image.pixelColor(0, 4), rgb(200, 100, 40));
    EXPECT_EQ(image.pixelColor(7, 4), rgb(60, 30, 12));
    draw(gtDoubleVert); // extent 5
    EXPECT_EQ(image.pixelColor(3, 5), rgb(0, 0, 0));
    EXPECT_EQ(image.pixelColor(3, 0), rgb(200, 100, 40));
    EXPECT_EQ(image.pixelColor(3, 8), rgb(120, 60, 24));

    // Only the rectangle is painted, and one reaching past the image is cut at its edges.
    image.fill(Qt::magenta);
    DrawGradient(image, {-5, 2, 30, 4}, clBlack, to, gtHorizontal);
    EXPECT_EQ(image.pixelColor(0, 1), QColor(Qt::magenta));
    EXPECT_EQ(image.pixelColor(0, 2), rgb(29, 14, 6)); // 5 of 35 along
    EXPECT_EQ(image.pixelColor(0, 4), QColor(Qt::magenta));
    // A rectangle one pixel high has no extent to divide by: the from colour.
    DrawGradient(image, {0, 9, 20, 10}, RGBColor(1, 2, 3), to, gtDoubleVert);
    EXPECT_EQ(image.pixelColor(7, 9), rgb(1, 2, 3));
}

TEST(GradDrawCore, BlendAtHalfRoundsHalfToEvenAndTakesHoverFromItsOrigin) {
    QImage normal = MakeBarImage(8, 8), hover = MakeBarImage(8, 8), target = MakeBarImage(8, 8);
    normal.fill(rgb(10, 10, 200));
    hover.fill(rgb(21, 19, 100));
    hover.setPixelColor(0, 0, rgb(0, 0, 0));
    target.fill(Qt::magenta);
    BlendBitmaps(target, normal, hover, 50, {0, 0, 8, 8}, 0);
    EXPECT_EQ(target.pixelColor(5, 5), rgb(16, 14, 150)); // 15.5 -> 16, 14.5 -> 14
    EXPECT_EQ(target.pixelColor(0, 0), rgb(5, 5, 100));

    target.fill(Qt::magenta);
    BlendBitmaps(target, normal, hover, 50, {2, 3, 8, 8}, 0);
    EXPECT_EQ(target.pixelColor(2, 3), rgb(5, 5, 100)) << "hover (0,0) lands on the corner";
    EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::magenta));
    target.fill(Qt::magenta);
    BlendBitmaps(target, normal, hover, 250, {0, 0, 8, 8}, 0);
    EXPECT_EQ(target.pixelColor(5, 5), rgb(21, 19, 100)) << "above 100 counts as 100";
}

TEST(GradSplitter, WindowBarHasItsGripAtXZeroAndVerticalHoverRows) {
    TGradSplitter s;
    configure(s);
    s.resize(4, 446);
    const QImage normal = s.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(normal.size(), QSize(4, 446));
    const QColor face = s.palette().color(QPalette::Button);
    // The first dot at (0, 183), the last at (0, 261); each dot: white, grey, light grey.
    for (int y : {183, 186, 261}) {
        EXPECT_EQ(normal.pixelColor(0, y), rgb(255, 255, 255)) << y;
        EXPECT_EQ(normal.pixelColor(1, y), rgb(128, 128, 128)) << y;
        EXPECT_EQ(normal.pixelColor(0, y + 1), rgb(128, 128, 128)) << y;
        EXPECT_EQ(normal.pixelColor(1, y + 1), rgb(128, 128, 128)) << y;
        EXPECT_EQ(normal.pixelColor(2, y + 1), rgb(255, 255, 255)) << y;
        EXPECT_EQ(normal.pixelColor(1, y + 2), rgb(192, 192, 192)) << y;
    }
    for (int y : {0, 182, 264, 445})
        EXPECT_EQ(normal.pixelColor(0, y), face) << y;
    EXPECT_EQ(normal.pixelColor(3, 200), face);

    const QImage& hover = s.HoverImage();
    EXPECT_EQ(hover.pixelColor(3, 0), rgb(179, 217, 181));
    EXPECT_EQ(hover.pixelColor(3, 100), rgb(165, 202, 183));
    EXPECT_EQ(hover.pixelColor(3, 445), rgb(118, 148, 190));
    EXPECT_EQ(hover.pixelColor(0, 183), rgb(255, 255, 255)) << "the grip on both images";
}

TEST(GradSplitter, WithoutDrawAllOnlyTheBandRoundTheGripCarriesTheGradient) {
    TGradSplitter s;
    configure(s);
    s.resize(4, 446);
    s.grab();
    s.SetDrawAll(false);
    const QImage& hover = s.HoverImage();
    EXPECT_EQ(hover.pixelColor(3, 182), rgb(244, 244, 247));
    EXPECT_EQ(hover.pixelColor(3, 183), rgb(179, 217, 181)) << "the band starts at y - 40";
    EXPECT_EQ(hover.pixelColor(3, 262), rgb(119, 149, 190)) << "79 of 80 along";
    EXPECT_EQ(hover.pixelColor(3, 263), rgb(244, 244, 247));
    EXPECT_EQ(hover.pixelColor(3, 0), rgb(244, 244, 247));

    // A bar shorter than the band: the band is cut at the image's edges.
    s.resize(4, 30);
    s.grab(); // a hidden widget takes its new size when it paints
    EXPECT_EQ(s.HoverImage().height(), 30);
    EXPECT_EQ(s.HoverImage().pixelColor(3, 0), rgb(160, 195, 184)); // 25 of 80 along
}

TEST(GradSplitter, RealigningFromLeftToTopTurnsTheGrip) {
    TGradSplitter s;
    configure(s);
    s.resize(4, 446);
    EXPECT_EQ(s.GripAlign(), gaVertical);
    s.SetAlign(alTop);
    s.resize(446, 4);
    s.grab();
    EXPECT_EQ(s.GripAlign(), gaHorizontal);
    EXPECT_EQ(s.height(), 4);
    const QImage& normal = s.NormalImage();
    ASSERT_EQ(normal.size(), QSize(446, 4));
    // Grip centre (223, 0): dots from x 183 to 261 along the top row.
    EXPECT_EQ(normal.pixelColor(183, 0), rgb(255, 255, 255));
    EXPECT_EQ(normal.pixelColor(261, 0), rgb(255, 255, 255));
    EXPECT_EQ(normal.pixelColor(184, 1), rgb(128, 128, 128));
    EXPECT_EQ(normal.pixelColor(182, 0), s.palette().color(QPalette::Button));
    EXPECT_EQ(s.cursor().shape(), Qt::SplitVCursor);
}

// A row of a fixed-width pane, the bar and a pane that takes the rest.
class SplitterDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        auto* row = new QHBoxLayout(form.get());
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        pane = new QWidget;
        pane->setFixedWidth(200);
        bar = new TGradSplitter;
        configure(*bar);
        bar->SetMinSize(180);
        bar->SetAutoSnap(false);
        bar->SetResizeStyle(rsUpdate);
        rest = new QWidget;
        row->addWidget(pane);
        row->addWidget(bar);
        row->addWidget(rest, 1);
        bar->OnMoved = [this](QObject* sender) {
            EXPECT_EQ(sender, bar);
            ++moved;
        };
        form->resize(600, 300);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // The bar moves under the mouse: positions are the form's, given to the bar.
    QPoint inBar() const { return QPoint(201, 150); }
    QPoint onBar(QPoint formPos) const { return bar->mapFrom(form.get(), formPos); }

    std::unique_ptr<QWidget> form;
    QWidget* pane = nullptr;
    TGradSplitter* bar = nullptr;
    QWidget* rest = nullptr;
    int moved = 0;
};

TEST_F(SplitterDragTest, DragIsLiveAndClampedAtBothEndsWithOneMovedPerDrag) {
    QTest::mousePress(bar, Qt::LeftButton, {}, onBar(inBar()));
    QTest::mouseMove(bar, onBar(inBar() + QPoint(30, 0)));
    EXPECT_EQ(pane->width(), 230) << "live";
    EXPECT_EQ(bar->x(), 230);
    QTest::mouseMove(bar, onBar(inBar() - QPoint(21, 0)));
    EXPECT_EQ(pane->width(), 180) << "never below MinSize";
    QTest::mouseMove(bar, onBar(inBar() + QPoint(1000, 0)));
    EXPECT_EQ(pane->width(), 600 - 4 - 180) << "leaves MinSize for the rest";
    EXPECT_EQ(rest->width(), 180);
    EXPECT_EQ(moved, 0);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, onBar(inBar() + QPoint(1000, 0)));
    EXPECT_EQ(moved, 1);
}

TEST_F(SplitterDragTest, EscapeEndsTheDragKeepingTheSizeReached) {
    auto* focus = new QWidget(rest);
    focus->setFocusPolicy(Qt::StrongFocus);
    focus->setFocus();
    QTest::mousePress(bar, Qt::LeftButton, {}, onBar(inBar()));
    QTest::mouseMove(bar, onBar(inBar() + QPoint(50, 0)));
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(pane->width(), 250);
    QTest::mouseMove(bar, onBar(inBar() + QPoint(20, 0)));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, onBar(inBar() + QPoint(20, 0)));
    EXPECT_EQ(pane->width(), 250) << "the drag is over";
    EXPECT_EQ(moved, 1);
}

TEST_F(SplitterDragTest, FadeStopsAtTheEndsUnderQuickInAndOut) {
    const QPoint outside = inBar() - QPoint(100, 0);
    for (int i = 0; i < 12; ++i) {
        QTest::mouseMove(bar, onBar(inBar()));
        QTest::qWait(i % 3 == 0 ? 45 : 15);
        EXPECT_GE(bar->FadeLevel(), 0);
        EXPECT_LE(bar->FadeLevel(), 100);
        QTest::mouseMove(bar, onBar(outside));
        QTest::qWait(10);
        EXPECT_GE(bar->FadeLevel(), 0);
        EXPECT_LE(bar->FadeLevel(), 100);
    }
    ASSERT_EVENTUALLY(!bar->Fading(), 1000);
    EXPECT_EQ(bar->FadeLevel(), 0);

    QTest::mouseMove(bar, onBar(inBar()));
    ASSERT_EVENTUALLY(!bar->Fading(), 1000);
    EXPECT_EQ(bar->FadeLevel(), 100);
    // At the end of the fade the bar shows the hover image.
    const QImage shown = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixelColor(3, 10), bar->HoverImage().pixelColor(3, 10));
    EXPECT_EQ(shown.pixelColor(3, 10), rgb(177, 215, 181)) << "10 of 300 along";
}

} // namespace
