#include "MessageWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <gtest/gtest.h>

#include <vector>

namespace {

class Recorder final : public MessageWindow {
public:
    std::vector<Message> seen;

protected:
    void WindowProc(Message& m) override {
        seen.push_back(m);
        m.Result = static_cast<std::intptr_t>(m.WParam) * 2;
    }
};

void pumpFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(MessageWindow, PostedMessagesArriveLaterInOrderAndSentOnesAtOnce) {
    Recorder w;
    w.Post(WM_USER + 1, 1, 10);
    w.Post(WM_USER + 2, 2, 20);
    EXPECT_TRUE(w.seen.empty());
    EXPECT_EQ(w.Send(WM_USER + 3, 21), 42);
    ASSERT_EQ(w.seen.size(), 1u);
    QCoreApplication::processEvents();
    ASSERT_EQ(w.seen.size(), 3u);
    EXPECT_EQ(w.seen[1].Msg, WM_USER + 1);
    EXPECT_EQ(w.seen[2].LParam, 20);
}

TEST(MessageWindow, MessagesPostedToADestroyedWindowAreDropped) {
    auto* w = new Recorder;
    w->Post(WM_USER, 0, 0);
    delete w;
    QCoreApplication::processEvents(); // must not touch the freed window
    SUCCEED();
}

TEST(MessageWindow, TimerTicksCarryTheirIdAndStopWhenKilled) {
    Recorder w;
    w.SetTimer(7, 10);
    w.SetTimer(7, 10); // restarting keeps one timer
    pumpFor(60);
    w.KillTimer(7);
    ASSERT_FALSE(w.seen.empty());
    for (const auto& m : w.seen) {
        EXPECT_EQ(m.Msg, WM_TIMER);
        EXPECT_EQ(m.WParam, 7u);
    }
    const auto ticks = w.seen.size();
    pumpFor(40);
    EXPECT_EQ(w.seen.size(), ticks);
    EXPECT_FALSE(w.HasTimer(7));
}
