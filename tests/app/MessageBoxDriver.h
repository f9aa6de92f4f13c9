#pragma once

#include "MessageBox.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using Act = std::function<void(TfrmMessageBox*)>;

// Runs act on the box once it is up and active. Waiting ends after five seconds, and a box
// still up five seconds after act is closed, so that a failing test cannot hang.
inline void whenUp(const Act& act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, ticks, act] {
        auto* box = qobject_cast<TfrmMessageBox*>(QApplication::activeModalWidget());
        if (++*ticks > 500 || (box && box->isActiveWindow())) {
            poll->stop();
            poll->deleteLater();
        }
        if (!box || !box->isActiveWindow() || *ticks > 500)
            return;
        QTimer::singleShot(5000, box, [box] { box->done(-1); });
        act(box);
    });
    poll->start();
}

// A key as the window system delivers it: to the box's focus widget.
inline void press(TfrmMessageBox* box, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(box->windowHandle(), key, modifiers);
}
