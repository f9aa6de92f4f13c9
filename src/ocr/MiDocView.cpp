#include "MiDocView.h"

#include "MiDocument.h"
#include "PageImage.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

TMiDocView::TMiDocView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
}

TMiDocView::~TMiDocView() = default;

void TMiDocView::SetFitMode(int mode) {
    if (mode < FitWidth || mode > FitPage || mode == m_fitMode)
        return;
    m_fitMode = mode;
    relayout();
}

void TMiDocView::SetDocument(const MiDocument& document) {
    SetPage(PageImage(document));
}

void TMiDocView::SetPage(const QImage& page) {
    m_page = page;
    m_regions.clear();
    m_marked = QRect();
    relayout();
}

void TMiDocView::SetRegions(const QList<QRect>& regions) {
    m_regions = regions;
    viewport()->update();
}

void TMiDocView::SetMarked(const QRect& rect) {
    m_marked = rect;
    if (!rect.isNull()) {
        // Scrolled so that the place stands a little inside the view where it can.
        const QRect shown = toViewport(rect);
        const QRect view = viewport()->rect().adjusted(8, 8, -8, -8);
        if (shown.bottom() > view.bottom() || shown.top() < view.top())
            verticalScrollBar()->setValue(verticalScrollBar()->value() + shown.center().y() -
                                          view.center().y());
        if (shown.right() > view.right() || shown.left() < view.left())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shown.center().x() -
                                            view.center().x());
    }
    viewport()->update();
}

QRect TMiDocView::toViewport(const QRect& pageRect) const {
    const QPoint origin = PageOrigin();
    const QPointF topLeft = QPointF(pageRect.topLeft()) * m_scale + origin;
    const QPointF bottomRight =
        QPointF(pageRect.topLeft() + QPoint(pageRect.width(), pageRect.height())) * m_scale +
        origin;
    return QRectF(topLeft, bottomRight).toAlignedRect();
}

QRect TMiDocView::toPage(const QRect& viewportRect) const {
    const QPointF origin = PageOrigin();
    const QPointF from = (QPointF(viewportRect.topLeft()) - origin) / m_scale;
    const QPointF to = (QPointF(viewportRect.bottomRight() + QPoint(1, 1)) - origin) / m_scale;
    return QRectF(from, to).toAlignedRect().intersected(m_page.rect());
}

void TMiDocView::SetProgress(int percent) {
    percent = percent < 0 ? -1 : std::min(percent, 100);
    if (percent == m_progress)
        return;
    m_progress = percent;
    viewport()->update();
}

void TMiDocView::SetProgressPage(int page, int count) {
    if (count < 2)
        page = count = 0;
    if (page == m_progressPage && count == m_progressPages)
        return;
    m_progressPage = page;
    m_progressPages = count;
    viewport()->update();
}

void TMiDocView::ClearPage() {
    m_page = QImage();
    relayout();
}

// The scale and the scroll bars follow from the widget's size alone (never from the
// viewport, which shrinks when a bar appears), so showing a bar cannot flip the layout.
void TMiDocView::relayout() {
    m_scaled = QPixmap();
    if (m_page.isNull()) {
        m_scale = 0;
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->update();
        return;
    }
    const QSize area = contentsRect().size();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const double iw = m_page.width();
    const double ih = m_page.height();
    bool vbar = false;
    bool hbar = false;
    double scale = 1;
    switch (m_fitMode) {
    case FitWidth:
        scale = area.width() / iw;
        if (ih * scale > area.height()) {
            vbar = true;
            scale = std::max(1, area.width() - bar) / iw;
        }
        break;
    case FitHeight:
        scale = area.height() / ih;
        if (iw * scale > area.width()) {
            hbar = true;
            scale = std::max(1, area.height() - bar) / ih;
        }
        break;
    default:
        scale = std::min(area.width() / iw, area.height() / ih);
        break;
    }
    m_scale = std::max(scale, 1e-4);
    setVerticalScrollBarPolicy(vbar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(hbar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);

    const QSize shown(std::max(1, int(std::lround(iw * m_scale))),
                      std::max(1, int(std::lround(ih * m_scale))));
    const QSize view = viewport()->size();
    verticalScrollBar()->setRange(0, std::max(0, shown.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(std::max(1, view.height() / 20));
    horizontalScrollBar()->setRange(0, std::max(0, shown.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(std::max(1, view.width() / 20));
    viewport()->update();
}

QPoint TMiDocView::PageOrigin() const {
    if (m_page.isNull())
        return {};
    const QSize shown(int(std::lround(m_page.width() * m_scale)),
                      int(std::lround(m_page.height() * m_scale)));
    const QSize view = viewport()->size();
    const int x = shown.width() < view.width() ? (view.width() - shown.width()) / 2
                                               : -horizontalScrollBar()->value();
    const int y = shown.height() < view.height() ? (view.height() - shown.height()) / 2
                                                 : -verticalScrollBar()->value();
    return {x, y};
}

void TMiDocView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    if (m_page.isNull()) {
        paintProgress(painter);
        return;
    }
    const QSize shown(std::max(1, int(std::lround(m_page.width() * m_scale))),
                      std::max(1, int(std::lround(m_page.height() * m_scale))));
    // Scaling a full page is the slow part of painting; do it once per size.
    if (m_scaled.size() != shown)
        m_scaled = QPixmap::fromImage(
            m_page.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.drawPixmap(PageOrigin(), m_scaled);
    paintOutlines(painter);
    paintProgress(painter);
}

void TMiDocView::paintOutlines(QPainter& painter) const {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 90, 220), 2));
    for (const QRect& region : m_regions)
        painter.drawRect(toViewport(region));
    if (!m_marked.isNull()) {
        painter.setPen(QPen(QColor(230, 0, 0), 2));
        painter.drawRect(toViewport(m_marked).adjusted(-2, -2, 2, 2));
    }
    if (!m_dragged.isNull()) {
        painter.setPen(QPen(QColor(0, 90, 220), 1, Qt::DashLine));
        painter.drawRect(m_dragged);
    }
    painter.restore();
}

// A dark band across the middle of the pane with the percentage and a bar, readable over
// any page.
void TMiDocView::paintProgress(QPainter& painter) const {
    if (m_progress < 0)
        return;
    const QRect view = viewport()->rect();
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    QRect band(0, 0, std::min(view.width() - 16, 24 * line), 3 * line);
    band.moveCenter(view.center());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(band, line / 2, line / 2);
    const QRect inner = band.adjusted(line / 2, line / 4, -line / 2, -line / 4);
    painter.setPen(Qt::white);
    painter.drawText(QRect(inner.left(), inner.top(), inner.width(), line),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     m_progressPages > 1 ? QStringLiteral("認識中 %1/%2 %3%")
                                               .arg(m_progressPage)
                                               .arg(m_progressPages)
                                               .arg(m_progress)
                                         : QStringLiteral("認識中 %1%").arg(m_progress));
    painter.drawText(QRect(inner.left(), inner.top(), inner.width(), line),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Esc: 中止"));
    const QRect bar(inner.left(), inner.bottom() - line + line / 4, inner.width(), line / 2);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);
    painter.fillRect(bar.left() + 1, bar.top() + 1, (bar.width() - 1) * m_progress / 100,
                     bar.height() - 1, QColor(120, 190, 255));
    painter.restore();
}

void TMiDocView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TMiDocView::scrollContentsBy(int, int) {
    viewport()->update();
}

void TMiDocView::contextMenuEvent(QContextMenuEvent* event) {
    if (m_popupMenu) {
        m_popupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    QAbstractScrollArea::contextMenuEvent(event);
}

bool TMiDocView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TMiDocView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_page.isNull()) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragFrom = event->position().toPoint();
    m_dragged = QRect();
    event->accept();
}

void TMiDocView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_page.isNull()) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    m_dragged = QRect(m_dragFrom, event->position().toPoint()).normalized();
    viewport()->update();
    event->accept();
}

void TMiDocView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_page.isNull()) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const QRect dragged = QRect(m_dragFrom, event->position().toPoint()).normalized();
    m_dragged = QRect();
    viewport()->update();
    event->accept();
    // A click, or a rectangle too small to hold a letter, is no region.
    const QRect region = toPage(dragged);
    if (dragged.width() < 6 || dragged.height() < 6 || region.width() < 4 || region.height() < 4)
        return;
    if (OnRegionDrawn)
        OnRegionDrawn(region, event->modifiers() & Qt::ControlModifier);
}
