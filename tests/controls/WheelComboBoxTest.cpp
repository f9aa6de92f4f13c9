#include "WheelComboBox.h"

#include "Eventually.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// A form with a combo box of many items, handlers recording what they hear.
class WheelComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        form->resize(300, 200);
        combo = new TWheelComboBox(form.get());
        combo->setGeometry(20, 20, 120, 22);
        for (int i = 0; i < 200; ++i)
            combo->addItem(QStringLiteral("item %1").arg(i));
        combo->setCurrentIndex(5);
        combo->OnMouseWheel = [this](QObject* sender, int wheel) {
            EXPECT_EQ(sender, combo);
            wheels.push_back(wheel);
        };
        combo->OnCloseUp = [this](QObject*) { ++closeUps; };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // One notch of the wheel over the widget: away from the user (+120) or toward (-120).
    static void turn(QWidget* target, int delta) {
        const QPointF local(target->width() / 2, target->height() / 2);
        QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    void open() {
        combo->showPopup();
        ASSERT_EVENTUALLY(combo->view()->isVisible(), 5000);
    }

    std::unique_ptr<QWidget> form;
    TWheelComboBox* combo = nullptr;
    std::vector<int> wheels;
    int closeUps = 0;
};

TEST_F(WheelComboBoxTest, InactiveWheelKeepsTheSelectionButIsStillReported) {
    QSignalSpy changes(combo, &QComboBox::currentIndexChanged);
    QSignalSpy activations(combo, &QComboBox::activated);
    combo->SetWheelActive(false);
    turn(combo, -120);
    turn(combo, 120);
    EXPECT_EQ(combo->currentIndex(), 5);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(activations.count(), 0);
    EXPECT_EQ(wheels, (std::vector<int>{1, -1}));

    combo->SetWheelActive(true);
    turn(combo, -120);
    EXPECT_EQ(combo->currentIndex(), 6) << "toward the user: a later item";
    EXPECT_EQ(activations.count(), 1) << "the change event fires";
    EXPECT_EQ(wheels.back(), 1);
}

TEST_F(WheelComboBoxTest, OpenListScrollsUnderTheWheelWhateverWheelActiveSays) {
    combo->SetWheelActive(false);
    open();
    EXPECT_TRUE(combo->DroppedDown());
    QScrollBar* bar = combo->view()->verticalScrollBar();
    const int before = bar->value();
    ASSERT_GT(bar->maximum(), before) << bar->maximum();
    turn(combo->view()->viewport(), -120);
    EXPECT_GT(bar->value(), before);
    EXPECT_EQ(combo->currentIndex(), 5);
    EXPECT_EQ(wheels, std::vector<int>{1});
    combo->hidePopup();
}

TEST_F(WheelComboBoxTest, EveryClosingOfTheListFiresCloseUpOnce) {
    open();
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    ASSERT_EVENTUALLY(!combo->view()->isVisible(), 5000);
    EXPECT_EQ(closeUps, 1) << "closed without a change";
    EXPECT_EQ(combo->currentIndex(), 5);

    open();
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    ASSERT_EVENTUALLY(!combo->view()->isVisible(), 5000);
    EXPECT_EQ(combo->currentIndex(), 6);
    EXPECT_EQ(closeUps, 2) << "closed with a change";

    open();
    const QRect item = combo->view()->visualRect(combo->view()->currentIndex());
    QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, item.center());
    ASSERT_EVENTUALLY(!combo->view()->isVisible(), 5000);
    QTest::qWait(20);
    EXPECT_EQ(closeUps, 3) << "the same item clicked";

    open();
    combo->view()->window()->close(); // as a click elsewhere closes the popup
    EXPECT_EQ(closeUps, 4) << "closed from outside";
    EXPECT_FALSE(combo->DroppedDown());
    combo->hide();
    EXPECT_EQ(closeUps, 4) << "hiding the box is no closing of its list";
}

TEST_F(WheelComboBoxTest, EnterAndLeaveReportShiftAndClientPosition) {
    struct Crossing {
        TShiftState shift;
        int x, y;
    };
    std::vector<Crossing> enters, leaves;
    combo->OnMouseEnter = [&](QObject*, TShiftState s, int x, int y) {
        enters.push_back({s, x, y});
    };
    combo->OnMouseLeave = [&](QObject*, TShiftState s, int x, int y) {
        leaves.push_back({s, x, y});
    };
    QTest::mouseMove(form.get(), QPoint(5, 5));
    // Shift goes down through the window, so that the platform knows it is held.
    QTest::keyPress(form->windowHandle(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::mouseMove(combo, QPoint(10, 7));
    ASSERT_EQ(enters.size(), 1u);
    EXPECT_EQ(enters[0].x, 10);
    EXPECT_EQ(enters[0].y, 7);
    EXPECT_EQ(enters[0].shift, TShiftState(ssShift));
    QTest::keyRelease(form->windowHandle(), Qt::Key_Shift);
    QTest::mouseMove(form.get(), QPoint(200, 150));
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].x, 180);
    EXPECT_EQ(leaves[0].y, 130);
    EXPECT_EQ(leaves[0].shift, TShiftState());
}

TEST_F(WheelComboBoxTest, WithoutHandlersOnlyTheStandardWheelHandlingRemains) {
    combo->OnMouseWheel = nullptr;
    combo->OnCloseUp = nullptr;
    QTest::mouseMove(combo, QPoint(10, 7));
    turn(combo, 120);
    QTest::mouseMove(form.get(), QPoint(200, 150));
    EXPECT_EQ(combo->currentIndex(), 4);
    open();
    combo->hidePopup();
}

TEST_F(WheelComboBoxTest, OwnerDrawingGetsTheClosedFieldAndTheListItems) {
    struct Drawn {
        int index;
        TOwnerDrawState state;
    };
    std::vector<Drawn> drawn;
    combo->SetStyle(csOwnerDrawFixed);
    combo->SetItemHeight(16);
    combo->OnDrawItem = [&](QWidget* control, int index, const QRect& rect, TOwnerDrawState state,
                            QPainter& canvas) {
        EXPECT_EQ(control, combo);
        drawn.push_back({index, state});
        canvas.fillRect(rect, state & odComboBoxEdit ? Qt::green : Qt::blue);
    };
    const QImage closed = combo->grab().toImage();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().index, 5);
    EXPECT_TRUE(drawn.back().state & odComboBoxEdit);
    EXPECT_EQ(closed.pixelColor(10, combo->height() / 2), QColor(Qt::green));

    drawn.clear();
    open();
    QTest::qWait(30);
    combo->view()->viewport()->repaint();
    EXPECT_EQ(combo->view()->visualRect(combo->model()->index(0, 0)).height(), 16);
    const auto current = std::find_if(drawn.begin(), drawn.end(), [](const Drawn& d) {
        return d.index == 5 && !(d.state & odComboBoxEdit);
    });
    ASSERT_NE(current, drawn.end());
    EXPECT_TRUE(current->state & odSelected);
    combo->hidePopup();
}

} // namespace
