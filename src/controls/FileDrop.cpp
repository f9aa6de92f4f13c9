#include "FileDrop.h"

#include "ErrorDisplay.h"
#include "VelaError.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

TFileDrop::TFileDrop(QObject* owner) : QObject(owner) {}

TFileDrop::~TFileDrop() {
    UnhookWindow();
}

void TFileDrop::SetAccept(bool accept) {
    if (accept == m_accept)
        return;
    m_accept = accept;
    if (m_hooked)
        m_hooked->setAcceptDrops(accept);
}

void TFileDrop::SetControl(QWidget* control) {
    UnhookWindow();
    if (m_controlWatch)
        disconnect(m_controlWatch);
    m_control = control;
    if (control)
        m_controlWatch =
            connect(control, &QObject::destroyed, this, [this] { controlDestroyed(); });
    HookWindow();
}

void TFileDrop::Loaded() {
    if (!m_control)
        SetControl(nullptr);
}

// The window is going away, so there is nothing left to unhook.
void TFileDrop::controlDestroyed() {
    m_control = nullptr;
    m_accept = false;
}

QWidget* TFileDrop::targetWindow() const {
    if (m_control)
        return m_control;
    auto* form = qobject_cast<QWidget*>(parent());
    return form && form->isWindow() ? form : nullptr;
}

void TFileDrop::HookWindow() {
    QWidget* target = targetWindow();
    if (!target)
        throw VelaError(QStringLiteral("Invalidate Window Handle in FileDrop"));
    m_hooked = target;
    m_previousAcceptDrops = target->acceptDrops();
    target->setAcceptDrops(m_accept);
    // Drags reach the innermost widget that takes drops (a text edit, say), not the
    // target; the application's filter sees them all and keeps those inside the target.
    qApp->installEventFilter(this);
}

void TFileDrop::UnhookWindow() {
    if (m_hooked) {
        if (targetWindow() == m_hooked)
            m_hooked->setAcceptDrops(m_previousAcceptDrops);
        qApp->removeEventFilter(this);
    }
    m_hooked = nullptr;
}

bool TFileDrop::isInsideHooked(QObject* receiver) const {
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget && m_hooked && (widget == m_hooked || m_hooked->isAncestorOf(widget));
}

QStringList TFileDrop::LocalFiles(const QDropEvent& event) {
    QStringList files;
    const QMimeData* mime = event.mimeData();
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

bool TFileDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    if (!isInsideHooked(watched))
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = LocalFiles(*drop);
    // Other drags (text dragged inside the window) go on to their widget.
    if (files.isEmpty())
        return false;
    if (!m_accept) {
        drop->ignore();
        return true;
    }
    if (type != QEvent::Drop) {
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    const QPoint point =
        static_cast<QWidget*>(watched)->mapTo(m_hooked.data(), drop->position().toPoint());
    try {
        DropFiles(files, point);
    } catch (...) {
        ShowCurrentException();
    }
    return true;
}

void TFileDrop::DropFiles(const QStringList& files, const QPoint& point) {
    if (!OnFileDrop)
        return;
    OnFileDrop(this, int(files.size()), files, point.x(), point.y());
}
