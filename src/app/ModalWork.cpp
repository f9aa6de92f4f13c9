#include "ModalWork.h"

#include "OcrMonitor.h"
#include "RecognitionThread.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool isDrag(QEvent::Type type) {
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

// Holds back input while installed; Escape goes to the monitor.
class InputHold final : public QObject {
public:
    explicit InputHold(OcrMonitor& monitor) : m_monitor(monitor) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }

    // Delivers what was held back, in its order, once the loop is back in charge.
    void Release() {
        qApp->removeEventFilter(this);
        for (auto& [receiver, event] : m_held) {
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
        }
        m_held.clear();
        for (const QPointer<QWidget>& window : m_closes) {
            if (window)
                QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
        m_closes.clear();
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        // The event's type first: the filter sees every event of the program, also those of
        // Qt's internal objects (single-shot timers, queued calls), which are left untouched.
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::Close && !isUserInput(type) &&
            !isDrag(type))
            return false;
        if (!receiver->isWidgetType() && !receiver->isWindowType())
            return false;
        if (type == QEvent::ShortcutOverride) {
            // Taken, so that no shortcut fires now; the key itself is held back below.
            event->accept();
            return true;
        }
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                if (type == QEvent::KeyPress)
                    m_monitor.Cancel();
                return true;
            }
        }
        if (isUserInput(type)) {
            // Held where it arrives first (the window's object, before it picks the widget),
            // so that replaying it takes the same road.
            m_held.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
            return true;
        }
        if (isDrag(type)) {
            // A drag's data lives only as long as the drag: refuse it rather than keep it.
            event->ignore();
            return true;
        }
        if (type == QEvent::Close && receiver->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(receiver);
            if (widget->isWindow()) {
                m_closes.emplace_back(widget);
                event->ignore();
                return true;
            }
        }
        return false;
    }

private:
    OcrMonitor& m_monitor;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
    std::vector<QPointer<QWidget>> m_closes;
};

} // namespace

namespace ModalWork {

void Run(RecognitionThread& thread, OcrMonitor& monitor, const std::function<void()>& work,
         const std::function<void(int percent)>& progress) {
    QEventLoop loop;
    std::exception_ptr failure;
    InputHold hold(monitor);
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] { progress(monitor.Percent()); });
    progress(monitor.Percent());
    poll.start();
    // The loop lives until this job has ended: nothing returns before the quit.
    thread.Post([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    poll.stop();
    hold.Release();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace ModalWork
