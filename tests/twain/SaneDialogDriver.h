#pragma once

// Drives the SANE source's window as a user does, once it is up.

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>

// Runs action on the SANE source's window once it is up.
inline void onSaneDialog(std::function<void(QDialog*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "SaneDialog" && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(static_cast<QDialog*>(w));
                return;
            }
        }
    });
    timer->start();
}

inline QPushButton* button(QWidget* dialog, const QString& text) {
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}
