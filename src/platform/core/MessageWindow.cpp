#include "MessageWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimerEvent>

namespace {

const QEvent::Type PostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage final : public QEvent {
public:
    explicit PostedMessage(const Message& m) : QEvent(PostedMessageEvent), message(m) {}
    Message message;
};

} // namespace

MessageWindow::MessageWindow(QObject* parent) : QObject(parent) {}

MessageWindow::~MessageWindow() = default;

void MessageWindow::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    QCoreApplication::postEvent(this, new PostedMessage(Message{msg, wParam, lParam, 0}));
}

std::intptr_t MessageWindow::Send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Message m{msg, wParam, lParam, 0};
    WindowProc(m);
    return m.Result;
}

void MessageWindow::SetTimer(std::uintptr_t id, int milliseconds) {
    KillTimer(id);
    const int qtId = startTimer(milliseconds, Qt::PreciseTimer);
    if (qtId != 0)
        m_timers.insert(id, qtId);
}

void MessageWindow::KillTimer(std::uintptr_t id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    killTimer(it.value());
    m_timers.erase(it);
}

void MessageWindow::WindowProc(Message&) {}

void MessageWindow::customEvent(QEvent* event) {
    if (event->type() != PostedMessageEvent)
        return QObject::customEvent(event);
    WindowProc(static_cast<PostedMessage*>(event)->message);
}

void MessageWindow::timerEvent(QTimerEvent* event) {
    for (auto it = m_timers.cbegin(); it != m_timers.cend(); ++it) {
        if (it.value() == event->timerId()) {
            Message m{WM_TIMER, it.key(), 0, 0};
            WindowProc(m);
            return;
        }
    }
}

std::uint32_t GetTickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(clock.elapsed());
}

void ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
