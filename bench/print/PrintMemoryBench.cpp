// Peak memory of the program while it prints a 6-page page: to a PDF file (the vector path,
// the reference), to a raster printer (a printer that is drawn on, as a real printer is;
// here one that writes its drawn pages to a PDF file) and to the print preview, moving
// through every page. Each kind runs in a process of its own, started by this program, so
// that each peak is its own; the figures are above the program's idle memory with the page
// shown. Usage: bench_print_memory [pages]
#include "HttpServer.h"
#include "PagePrint.h"
#include "WebBenchApplication.h"
#include "WebHost.h"
#include "WebTools.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// A translated page of the given number of printed pages.
QByteArray longPage(int pages) {
    QByteArray html = "<html><head><meta charset='utf-8'></head><body>";
    for (int i = 1; i <= pages; ++i) {
        html += "<div style='page-break-after:always'><h1>Page " + QByteArray::number(i) + "</h1>";
        for (int j = 0; j < 12; ++j)
            html += "<p>Translated line " + QByteArray::number(j) +
                    " of the long page, <a href='#'>with a link</a> and words enough to fill "
                    "the line \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.</p>";
        html += "</div>";
    }
    return html + "</body></html>";
}

qint64 statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

void resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// One kind of printing in this process; prints "idle_kb peak_kb milliseconds".
int runKind(const QString& kind, int pages) {
    HttpServer server;
    if (!server.Start())
        return 2;
    server.Route("/long.html", HttpServer::Response{200, "text/html", longPage(pages)});
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* host = new TWebHost(&form);
    layout->addWidget(host);
    form.resize(800, 600);
    form.show();
    host->Loaded();
    bool loaded = false;
    host->OnDownloadComplete = [&](TWebControl*) { loaded = true; };
    host->NavigateUrl(server.Url(QStringLiteral("/long.html")));
    if (!QTest::qWaitFor([&] { return loaded; }, 30000))
        return 3;
    QTest::qWait(1000);
    QTemporaryDir dir;
    const qint64 idle = statusKb("VmRSS:");
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    if (kind == QLatin1String("pdf") || kind == QLatin1String("raster")) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
        QString error;
        ok = PrintPageTo(host->View(), &printer, &error, kind == QLatin1String("raster"));
        if (!ok)
            fprintf(stderr, "%s\n", qPrintable(error));
    } else {
        int shown = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* preview = w->findChild<QPrintPreviewWidget*>();
                if (!preview || !w->isVisible() || w->property("seen").toBool())
                    continue;
                w->setProperty("seen", true);
                (void)QTest::qWaitFor([&] { return preview->pageCount() > 0; }, 30000);
                shown = preview->pageCount();
                for (int page = 1; page <= shown; ++page) {
                    preview->setCurrentPage(page);
                    QTest::qWait(400);
                }
                static_cast<QDialog*>(w)->reject();
            }
        });
        answer.start(20);
        host->ShowPrintPreview();
        ok = shown == pages;
    }
    printf("%lld %lld %lld\n", idle, statusKb("VmHWM:"), static_cast<long long>(clock.elapsed()));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    WebBenchApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == QLatin1String("--kind")) {
        WebToolsInitialization();
        WebHostInitialization();
        const int result = runKind(args[2], args.size() > 3 ? args[3].toInt() : 6);
        WebHostFinalization();
        WebToolsFinalization();
        return result;
    }
    const int pages = args.size() > 1 ? qMax(1, args[1].toInt()) : 6;
    printf("%d-page page; memory above the program's idle memory with the page shown\n", pages);
    double reference = 0;
    for (const char* kind : {"pdf", "raster", "preview"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--kind"), QLatin1String(kind), QString::number(pages)});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            printf("%-8s failed (exit %d)\n", kind, child.exitCode());
            continue;
        }
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() < 3)
            continue;
        const double idleMb = f[0].toDouble() / 1024, peakMb = f[1].toDouble() / 1024;
        const double above = peakMb - idleMb;
        if (reference == 0)
            reference = qMax(1.0, above);
        printf("%-8s idle %6.0f MB  peak %6.0f MB  above idle %6.0f MB  (%.1fx the PDF file)  "
               "%5.0f ms\n",
               kind, idleMb, peakMb, above, above / reference, f[2].toDouble());
    }
    return 0;
}
