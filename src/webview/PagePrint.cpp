#include "PagePrint.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

} // namespace

bool PrintPageTo(QWebEngineView* view, QPrinter* printer, QString* error, bool drawPages) {
    if (!view || !printer)
        return fail(error, QStringLiteral("There is no page to print."));
    QPointer<QWebEngineView> guard(view);
    const bool toPdfFile = !drawPages && printer->outputFormat() == QPrinter::PdfFormat &&
                           !printer->outputFileName().isEmpty();
    if (toPdfFile) {
        QByteArray pdf;
        bool done = false;
        QEventLoop loop;
        QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
        view->page()->printToPdf(
            [&](const QByteArray& data) {
                pdf = data;
                done = true;
                loop.quit();
            },
            printer->pageLayout());
        if (!done)
            loop.exec();
        if (pdf.isEmpty())
            return fail(error, QStringLiteral("The page could not be laid out for printing."));
        QFile file(printer->outputFileName());
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
            return fail(error, QStringLiteral("Cannot write \"%1\": %2")
                                   .arg(printer->outputFileName(), file.errorString()));
        return true;
    }
    bool success = false;
    bool done = false;
    QEventLoop loop;
    QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
    const auto connection =
        QObject::connect(view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
            success = ok;
            done = true;
            loop.quit();
        });
    view->print(printer);
    if (!done)
        loop.exec();
    if (guard)
        QObject::disconnect(connection);
    if (!success)
        return fail(error, QStringLiteral("The page could not be printed."));
    return true;
}
