#include "PagePrint.h"

#include "EventWait.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageRanges>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QPrinter>
#include <QSaveFile>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

namespace {

// Set on a view while the engine lays its page out.
constexpr const char* kLayoutBusy = "velaPageLayoutBusy";

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

QPageRanges chosenPages(const QPrinter* printer) {
    return printer->printRange() == QPrinter::PageRange ? printer->pageRanges() : QPageRanges();
}

} // namespace

QByteArray LayOutPage(QWebEngineView* view, const QPageLayout& layout, const QPageRanges& ranges,
                      QString* error) {
    if (!view) {
        fail(error, QStringLiteral("There is no page to print."));
        return {};
    }
    QPointer<QWebEngineView> guard(view);
    const auto busy = [&guard] { return guard && guard->property(kLayoutBusy).toBool(); };
    if (busy() && !ServeEventsUntil([&] { return !busy(); }, PageLayoutTimeoutMs)) {
        fail(error, QStringLiteral("An earlier print of the page did not end; this one was "
                                   "not started."));
        return {};
    }
    if (!guard) {
        fail(error, QStringLiteral("The page was closed before it was printed."));
        return {};
    }
    struct Result {
        QByteArray pdf;
        bool done = false;
    };
    auto result = std::make_shared<Result>();
    view->setProperty(kLayoutBusy, true);
    // The flag is cleared by the engine's answer itself: a request queued inside this wait
    // runs before this wait can return.
    view->page()->printToPdf(
        [result, guard](const QByteArray& data) {
            result->pdf = data;
            result->done = true;
            if (guard)
                guard->setProperty(kLayoutBusy, false);
        },
        layout, ranges);
    ServeEventsUntil([&] { return result->done || !guard; }, PageLayoutTimeoutMs);
    if (!guard) {
        fail(error, QStringLiteral("The page was closed before it was printed."));
        return {};
    }
    if (!result->done) {
        fail(error, QStringLiteral("The page was not laid out for printing within %1 seconds.")
                        .arg(PageLayoutTimeoutMs / 1000));
        return {};
    }
    if (result->pdf.isEmpty()) {
        fail(error, ranges.isEmpty()
                        ? QStringLiteral("The page could not be laid out for printing.")
                        : QStringLiteral("The chosen pages (%1) could not be laid out for "
                                         "printing; the page may have fewer.")
                              .arg(ranges.toString()));
    }
    return result->pdf;
}

bool DrawPdfPages(const QByteArray& pdf, QPrinter* printer, QString* error,
                  const PageResolution& resolution, bool withCopies) {
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    ServeEventsUntil([&] { return document.status() != QPdfDocument::Status::Loading; }, 10000);
    const int pages = document.status() == QPdfDocument::Status::Ready ? document.pageCount() : 0;
    if (pages <= 0)
        return fail(error, QStringLiteral("The laid-out page could not be read for printing."));
    int copies = 1;
    bool collate = true;
    if (withCopies && !printer->supportsMultipleCopies()) {
        copies = qMax(1, printer->copyCount());
        collate = printer->collateCopies();
    }
    QPainter painter;
    if (!painter.begin(printer))
        return fail(error, QStringLiteral("The printer could not be started."));
    const int deviceDpi = printer->resolution();
    // The painter's origin is the printable area's corner; the laid-out pages are whole sheets.
    const QPointF origin =
        printer->fullPage() ? QPointF()
                            : -QPointF(printer->pageLayout().paintRectPixels(deviceDpi).topLeft());
    bool first = true;
    const auto drawPage = [&](int page) {
        if (!first && !printer->newPage())
            return false;
        first = false;
        const QSizeF points = document.pagePointSize(page);
        const int wanted = resolution ? resolution(page) : MaxRasterDpi;
        const int dpi = qBound(12, qMin(wanted, deviceDpi), MaxRasterDpi);
        QImage image = document.render(page, (points * dpi / 72.0).toSize());
        if (image.isNull())
            return false;
        // Paper has no transparency: without it a printer takes no mask with each page.
        image.convertTo(QImage::Format_RGB32);
        painter.drawImage(QRectF(origin, points * deviceDpi / 72.0), image);
        return true;
    };
    const int outer = collate ? copies : pages;
    const int inner = collate ? pages : copies;
    for (int i = 0; i < outer; ++i) {
        for (int j = 0; j < inner; ++j) {
            if (!drawPage(collate ? j : i)) {
                painter.end();
                return fail(
                    error,
                    QStringLiteral("Page %1 could not be printed.").arg((collate ? j : i) + 1));
            }
        }
    }
    if (!painter.end())
        return fail(error, QStringLiteral("The printer did not take the pages."));
    return true;
}

bool PrintPageTo(QWebEngineView* view, QPrinter* printer, QString* error, bool drawPages) {
    if (!view || !printer)
        return fail(error, QStringLiteral("There is no page to print."));
    const QByteArray pdf = LayOutPage(view, printer->pageLayout(), chosenPages(printer), error);
    if (pdf.isEmpty())
        return false;
    // Copies of a file are drawn: the laid-out pages cannot be repeated as they are.
    const bool toPdfFile = !drawPages && printer->outputFormat() == QPrinter::PdfFormat &&
                           !printer->outputFileName().isEmpty() && printer->copyCount() <= 1;
    if (!toPdfFile)
        return DrawPdfPages(pdf, printer, error);
    // An existing file is replaced only by a complete one.
    QSaveFile file(printer->outputFileName());
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit())
        return fail(error, QStringLiteral("Cannot write \"%1\": %2")
                               .arg(printer->outputFileName(), file.errorString()));
    return true;
}
