#include "PreviewArea.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

PreviewArea::PreviewArea(const QRectF& limits, QWidget* parent)
    : QWidget(parent), m_limits(limits), m_area(limits) {
    setObjectName(QStringLiteral("SanePreview"));
    setMinimumSize(160, 160);
    setCursor(Qt::CrossCursor);
}

void PreviewArea::SetImage(const QImage& image) {
    m_image = image;
    update();
}

void PreviewArea::SetArea(const QRectF& mm) {
    m_area = mm.normalized();
    update();
}

// The page keeps its proportions, centred in the widget.
QRectF PreviewArea::pageRect() const {
    const double scale = std::min(width() / m_limits.width(), height() / m_limits.height());
    const QSizeF size(m_limits.width() * scale, m_limits.height() * scale);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

QPointF PreviewArea::toMm(const QPointF& point) const {
    const QRectF page = pageRect();
    const double x = std::clamp((point.x() - page.left()) / page.width(), 0.0, 1.0);
    const double y = std::clamp((point.y() - page.top()) / page.height(), 0.0, 1.0);
    return {m_limits.left() + x * m_limits.width(), m_limits.top() + y * m_limits.height()};
}

QRectF PreviewArea::toWidget(const QRectF& mm) const {
    const QRectF page = pageRect();
    const double sx = page.width() / m_limits.width(), sy = page.height() / m_limits.height();
    return {page.left() + (mm.left() - m_limits.left()) * sx,
            page.top() + (mm.top() - m_limits.top()) * sy, mm.width() * sx, mm.height() * sy};
}

void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF page = pageRect();
    if (m_image.isNull())
        painter.fillRect(page, palette().base());
    else
        painter.drawImage(page, m_image);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(page.adjusted(0, 0, -1, -1));
    // The part that will not be scanned is dimmed.
    const QRectF area = toWidget(m_area).intersected(page);
    QPainterPath outside;
    outside.addRect(page);
    QPainterPath inside;
    inside.addRect(area);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 90));
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
    painter.drawRect(area);
}

void PreviewArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_start = toMm(event->position());
    SetArea(QRectF(m_start, m_start));
}

void PreviewArea::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging)
        SetArea(QRectF(m_start, toMm(event->position())));
}

void PreviewArea::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    SetArea(QRectF(m_start, toMm(event->position())));
    // A click without a drag chooses the whole page again.
    if (m_area.width() < 1 || m_area.height() < 1)
        m_area = m_limits;
    update();
    if (OnAreaChosen)
        OnAreaChosen(m_area);
}
