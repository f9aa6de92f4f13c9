#include "PagePreview.h"

#include "PagePrint.h"

#include <QGraphicsView>
#include <QPageRanges>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QWebEngineView>

PagePreview::PagePreview(QWebEngineView* view, QPrintPreviewDialog* dialog)
    : QObject(dialog), m_view(view), m_widget(dialog->findChild<QPrintPreviewWidget*>()) {
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, &PagePreview::Paint);
    m_settle.setSingleShot(true);
    m_settle.setInterval(150);
    connect(&m_settle, &QTimer::timeout, this, &PagePreview::currentPageMoved);
    if (!m_widget)
        return;
    connect(m_widget, &QPrintPreviewWidget::previewChanged, &m_settle, qOverload<>(&QTimer::start));
    for (QScrollBar* bar : m_widget->findChildren<QScrollBar*>())
        connect(bar, &QScrollBar::valueChanged, &m_settle, qOverload<>(&QTimer::start));
}

int PagePreview::currentPage() const {
    return m_widget ? qMax(0, m_widget->currentPage() - 1) : 0;
}

void PagePreview::Paint(QPrinter* printer) {
    m_failure.clear();
    if (m_pdf.isEmpty() || !m_layout.isEquivalentTo(printer->pageLayout())) {
        m_layout = printer->pageLayout();
        m_pdf = LayOutPage(m_view, m_layout, QPageRanges(), &m_failure);
        if (m_pdf.isEmpty())
            return;
    }
    m_sharpFrom = currentPage() - 1;
    m_sharpTo = currentPage() + 1;
    DrawPdfPages(
        m_pdf, printer, &m_failure,
        [this](int page) {
            return page >= m_sharpFrom && page <= m_sharpTo ? SharpDpi : ThumbnailDpi;
        },
        false);
}

void PagePreview::currentPageMoved() {
    const int page = currentPage();
    if (m_widget && !m_pdf.isEmpty() && (page < m_sharpFrom + 1 || page > m_sharpTo - 1))
        m_widget->updatePreview();
}
