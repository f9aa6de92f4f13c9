#include "MiDocView.h"

#include "MiDocument.h"
#include "PageImage.h"

#include <QContextMenuEvent>
#include <QMenu>
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
    relayout();
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
    paintProgress(painter);
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
