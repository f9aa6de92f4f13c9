// Time from NavigateUrl to OnDownloadComplete of the browser host for a local 100 KB page,
// against a bare QWebEngineView loading the same page (load to loadFinished), alternating
// in the same run. Prints medians and the ratio.
#include "HttpServer.h"
#include "WebBenchApplication.h"
#include "WebHost.h"
#include "WebTools.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray page100k() {
    QByteArray html = "<html><head><title>bench</title></head><body>";
    int i = 0;
    while (html.size() < 100 * 1024)
        html += "<p>Paragraph " + QByteArray::number(i++) +
                " of the benchmark page, with some words to lay out and render.</p>\n";
    return html + "</body></html>";
}

// Runs the event loop until done() holds; returns the elapsed milliseconds, or -1.
double timeUntil(const std::function<void()>& start, const bool& done, int timeoutMs = 30000) {
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    clock.start();
    start();
    poll.start(0);
    if (!done)
        loop.exec();
    return done ? clock.nsecsElapsed() / 1e6 : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    WebBenchApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    WebToolsInitialization();
    WebHostInitialization();

    HttpServer server;
    if (!server.Start())
        return 1;
    server.Route("/page.html", HttpServer::Response{200, "text/html", page100k()});

    QWidget form;
    auto* layout = new QHBoxLayout(&form);
    auto* host = new TWebHost(&form);
    auto* bare = new QWebEngineView(&form);
    layout->addWidget(host);
    layout->addWidget(bare);
    form.resize(1600, 800);
    form.show();
    host->Loaded();

    bool hostDone = false;
    bool bareDone = false;
    host->OnDownloadComplete = [&](TWebControl*) { hostDone = true; };
    QObject::connect(bare, &QWebEngineView::loadFinished, [&](bool) { bareDone = true; });

    std::vector<double> hostTimes;
    std::vector<double> bareTimes;
    int n = 0;
    auto runHost = [&] {
        hostDone = false;
        const QString url = server.Url(QStringLiteral("/page.html?h%1").arg(++n));
        return timeUntil([&] { host->NavigateUrl(url); }, hostDone);
    };
    auto runBare = [&] {
        bareDone = false;
        const QUrl url(server.Url(QStringLiteral("/page.html?b%1").arg(++n)));
        return timeUntil([&] { bare->load(url); }, bareDone);
    };
    for (int i = 0; i < 3; ++i) { // warm-up: processes, caches, fonts
        runHost();
        runBare();
    }
    for (int i = 0; i < rounds; ++i) {
        // Alternate the order so that neither side always runs second.
        if (i % 2 == 0) {
            hostTimes.push_back(runHost());
            bareTimes.push_back(runBare());
        } else {
            bareTimes.push_back(runBare());
            hostTimes.push_back(runHost());
        }
    }
    const double h = median(hostTimes);
    const double b = median(bareTimes);
    std::printf("rounds: %d, page: %d bytes\n", rounds, int(page100k().size()));
    std::printf("TWebHost NavigateUrl -> OnDownloadComplete: median %.1f ms (min %.1f)\n", h,
                *std::min_element(hostTimes.begin(), hostTimes.end()));
    std::printf("QWebEngineView load -> loadFinished:        median %.1f ms (min %.1f)\n", b,
                *std::min_element(bareTimes.begin(), bareTimes.end()));
    std::printf("ratio: %.2f\n", b > 0 ? h / b : 0.0);
    delete host;
    WebHostFinalization();
    WebToolsFinalization();
    return 0;
}
