#pragma once

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <QWindow>

// Drags and drops through the top-level window, so Qt itself routes them to the widget
// under the point, exactly as a drag from the file manager arrives.
namespace DropSimulation {

inline QMimeData* filesMime(const QStringList& files) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls.append(QUrl::fromLocalFile(f));
    mime->setUrls(urls);
    return mime;
}

// Enters at point (form coordinates) and drops when the target accepts; returns whether
// the drag was accepted.
inline bool Drop(QWidget* form, const QPoint& point, QMimeData* mime) {
    QWindow* window = form->window()->windowHandle();
    const QPoint at = form->mapTo(form->window(), point);
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(window, &leave);
        delete mime;
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    delete mime;
    return true;
}

inline bool DropFiles(QWidget* form, const QPoint& point, const QStringList& files) {
    return Drop(form, point, filesMime(files));
}

} // namespace DropSimulation
