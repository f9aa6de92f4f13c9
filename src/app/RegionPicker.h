#pragma once

#include "ScreenGrab.h"

#include <QPoint>
#include <QWidget>

class QEventLoop;

// The desktop's picture shown over the whole desktop, on which the user drags the rectangle to
// read; Escape cancels.
class RegionPicker final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RegionPicker)

public:
    explicit RegionPicker(ScreenGrab::Desktop desktop);
    ~RegionPicker() override;

    // Shows the picture and waits for the user; the part of the picture under the rectangle
    // (device pixels), null when cancelled.
    QImage Pick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void finish(const QRect& rect);

    ScreenGrab::Desktop m_desktop;
    QPoint m_from;
    QRect m_rect;
    bool m_dragging = false;
    QImage m_result;
    QEventLoop* m_loop = nullptr;
};
