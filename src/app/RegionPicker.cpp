#include "RegionPicker.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

RegionPicker::RegionPicker(ScreenGrab::Desktop desktop)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      m_desktop(std::move(desktop)) {
    setObjectName(QStringLiteral("RegionPicker"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(m_desktop.Geometry);
}

RegionPicker::~RegionPicker() = default;

QImage RegionPicker::Pick() {
    QEventLoop loop;
    m_loop = &loop;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        showFullScreen();
    else
        show();
    raise();
    activateWindow();
    // Outside a window manager's care the keys come only when taken.
    grabKeyboard();
    loop.exec();
    releaseKeyboard();
    m_loop = nullptr;
    hide();
    return m_result;
}

void RegionPicker::finish(const QRect& rect) {
    if (!rect.isNull()) {
        const double sx = double(m_desktop.Image.width()) / width();
        const double sy = double(m_desktop.Image.height()) / height();
        const QRect pixels =
            QRectF(rect.x() * sx, rect.y() * sy, rect.width() * sx, rect.height() * sy)
                .toAlignedRect()
                .intersected(m_desktop.Image.rect());
        m_result = m_desktop.Image.copy(pixels);
    }
    if (m_loop)
        m_loop->quit();
}

void RegionPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), m_desktop.Image);
    // Dimmed outside the rectangle, which stands out in its own colours.
    QRegion dim(rect());
    if (!m_rect.isNull())
        dim -= QRegion(m_rect);
    painter.setClipRegion(dim);
    painter.fillRect(rect(), QColor(0, 0, 0, 90));
    painter.setClipping(false);
    if (!m_rect.isNull()) {
        painter.setPen(QPen(QColor(0, 120, 255), 1));
        painter.drawRect(m_rect.adjusted(0, 0, -1, -1));
    } else {
        const QString hint = QStringLiteral("読み取る範囲をドラッグしてください（Esc: 取消）");
        const QRect box = fontMetrics().boundingRect(hint).adjusted(-8, -4, 8, 4);
        const QRect at(QPoint((width() - box.width()) / 2, 16), box.size());
        painter.fillRect(at, QColor(0, 0, 0, 170));
        painter.setPen(Qt::white);
        painter.drawText(at, Qt::AlignCenter, hint);
    }
}

void RegionPicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_from = event->position().toPoint();
    m_rect = QRect();
    update();
}

void RegionPicker::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    m_rect = QRect(m_from, event->position().toPoint()).normalized();
    update();
}

void RegionPicker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    m_rect = QRect(m_from, event->position().toPoint()).normalized();
    // A click is no rectangle: the user may drag again.
    if (m_rect.width() < 4 || m_rect.height() < 4) {
        m_rect = QRect();
        update();
        return;
    }
    finish(m_rect);
}

void RegionPicker::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        finish(QRect());
    else
        QWidget::keyPressEvent(event);
}
