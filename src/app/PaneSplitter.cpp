#include "PaneSplitter.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

PaneSplitter::PaneSplitter(Qt::Orientation bar, QWidget* pane, QWidget* rest, int minSize,
                           QWidget* parent)
    : QWidget(parent), m_bar(bar), m_pane(pane), m_rest(rest), m_minSize(minSize) {
    if (bar == Qt::Vertical) {
        setFixedWidth(4);
        setCursor(Qt::SplitHCursor);
    } else {
        setFixedHeight(4);
        setCursor(Qt::SplitVCursor);
    }
}

void PaneSplitter::SetPaneExtent(int extent) {
    if (m_bar == Qt::Vertical)
        m_pane->setFixedWidth(extent);
    else
        m_pane->setFixedHeight(extent);
}

int PaneSplitter::PaneExtent() const {
    return extentOf(m_pane);
}

int PaneSplitter::DraggedExtent(int paneStart, int restStart, int delta, int minSize) {
    const int maxExtent = paneStart + restStart - minSize;
    int extent = paneStart + delta;
    extent = std::min(extent, maxExtent);
    return std::max(extent, std::min(minSize, paneStart + restStart));
}

int PaneSplitter::along(const QPoint& p) const {
    return m_bar == Qt::Vertical ? p.x() : p.y();
}

int PaneSplitter::extentOf(const QWidget* w) const {
    return m_bar == Qt::Vertical ? w->width() : w->height();
}

void PaneSplitter::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(0xF4, 0xF4, 0xF7));
}

void PaneSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_pressPos = along(event->globalPosition().toPoint());
    m_paneStart = extentOf(m_pane);
    m_restStart = extentOf(m_rest);
}

void PaneSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    const int delta = along(event->globalPosition().toPoint()) - m_pressPos;
    const int extent = DraggedExtent(m_paneStart, m_restStart, delta, m_minSize);
    if (extent != extentOf(m_pane))
        SetPaneExtent(extent);
}

void PaneSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    if (OnMoved)
        OnMoved(this);
}
