#pragma once

#include <QHash>
#include <QObject>

#include <cstdint>

// Message numbers keep the platform's values.
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_USER = 0x0400;

struct Message {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// A hidden window: receives posted and sent messages and timer ticks through WindowProc.
// Messages posted to a window that is destroyed before delivery are dropped.
class MessageWindow : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageWindow)

public:
    explicit MessageWindow(QObject* parent = nullptr);
    ~MessageWindow() override;

    // Queued: delivered later from the event loop.
    void Post(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Direct: WindowProc runs before this returns.
    std::intptr_t Send(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Starts or restarts the timer with this id; each tick arrives as WM_TIMER with WParam = id.
    void SetTimer(std::uintptr_t id, int milliseconds);
    void KillTimer(std::uintptr_t id);
    bool HasTimer(std::uintptr_t id) const { return m_timers.contains(id); }

protected:
    virtual void WindowProc(Message& message);
    void customEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QHash<std::uintptr_t, int> m_timers; // our id -> Qt timer id
};

// Milliseconds from a monotonic clock (the tick count).
std::uint32_t GetTickCount();
// Runs the pending events of the thread once (processing pending messages).
void ProcessMessages();
