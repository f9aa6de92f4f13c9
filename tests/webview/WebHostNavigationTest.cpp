// Navigation, the control's events and documents, against the local test server.
#include "WebTestSupport.h"
#include "WebTools.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QLayout>
#include <QPrinter>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

namespace {

const QByteArray kPage =
    "<html><head><title>Hello page</title></head><body><p id='t'>Hello from the test server</p>"
    "</body></html>";

// A 1x1 PNG.
const QByteArray kPng = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUl"
                                               "EQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");

void routeBasics() {
    static bool done = false;
    if (done)
        return;
    done = true;
    TestServer().Route("/hello.html", HttpServer::Response{200, "text/html; charset=utf-8", kPage});
    TestServer().Route("/plain.txt", HttpServer::Response{200, "text/plain", "just text"});
    TestServer().Route("/dot.png", HttpServer::Response{200, "image/png", kPng});
}

class NavigationTest : public WebHostTest {
protected:
    void SetUp() override {
        routeBasics();
        WebHostTest::SetUp();
    }
};

TEST_F(NavigationTest, BlankAddressDoesNothing) {
    int before = 0;
    host->OnBeforeNavigate2 = [&](TWebControl*, QObject*, const QVariant&, const QVariant&,
                                  const QVariant&, const QVariant&, const QVariant&,
                                  bool&) { ++before; };
    const int requests = TestServer().Requests().size();
    EXPECT_NO_THROW(host->NavigateUrl(QString()));
    EXPECT_NO_THROW(host->NavigateUrl(QStringLiteral("   \t ")));
    QTest::qWait(300);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(TestServer().Requests().size(), requests);
    EXPECT_EQ(host->ReadyState(), READYSTATE_UNINITIALIZED);
}

TEST_F(NavigationTest, EventsFireInNavigationOrder) {
    QStringList order;
    host->OnBeforeNavigate2 = [&](TWebControl*, QObject*, const QVariant& url, const QVariant&,
                                  const QVariant&, const QVariant&, const QVariant&, bool&) {
        order << QStringLiteral("BeforeNavigate2");
        EXPECT_TRUE(url.toString().endsWith(QLatin1String("/hello.html")));
    };
    host->OnDownloadBegin = [&](TWebControl*) { order << QStringLiteral("DownloadBegin"); };
    host->OnNavigateComplete2 = [&](TWebControl*, QObject*, const QVariant&) {
        order << QStringLiteral("NavigateComplete2");
    };
    host->OnDownloadComplete = [&](TWebControl* sender) {
        order << QStringLiteral("DownloadComplete");
        // The document is known by the time the main window's handler runs.
        EXPECT_TRUE(HasHtmlDocument(sender));
        EXPECT_EQ(sender->ReadyState(), READYSTATE_COMPLETE);
    };
    host->OnDocumentComplete = [&](TWebControl*, QObject*, const QVariant& url) {
        order << QStringLiteral("DocumentComplete");
        EXPECT_TRUE(url.toString().endsWith(QLatin1String("/hello.html")));
    };
    QString title;
    host->OnTitleChange = [&](TWebControl*, const QString& t) { title = t; };
    host->NavigateUrl(TestServer().Url(QStringLiteral("/hello.html")));
    ASSERT_TRUE(WaitFor([&] { return order.contains(QStringLiteral("DocumentComplete")); }));
    EXPECT_EQ(order, (QStringList{"BeforeNavigate2", "DownloadBegin", "NavigateComplete2",
                                  "DownloadComplete", "DocumentComplete"}));
    EXPECT_EQ(title, QStringLiteral("Hello page"));
}

TEST_F(NavigationTest, CancelledNavigationLoadsNothing) {
    host->OnBeforeNavigate2 = [&](TWebControl*, QObject*, const QVariant&, const QVariant&,
                                  const QVariant&, const QVariant&, const QVariant&,
                                  bool& cancel) { cancel = true; };
    const int requests = TestServer().RequestCount("/hello.html");
    host->NavigateUrl(TestServer().Url(QStringLiteral("/hello.html")));
    QTest::qWait(500);
    EXPECT_EQ(TestServer().RequestCount("/hello.html"), requests);
    EXPECT_FALSE(HasHtmlDocument(host));
    EXPECT_NE(host->ReadyState(), READYSTATE_LOADING);
}

// Neither the program nor a page leads the browser to the user's files: the main frame opens
// http, https, about and data addresses only.
TEST_F(NavigationTest, TheMainFrameOpensNoLocalFile) {
    QTemporaryDir dir;
    QFile secret(dir.filePath(QStringLiteral("secret.html")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("<html><body>SECRET</body></html>");
    secret.close();
    const QUrl file = QUrl::fromLocalFile(secret.fileName());
    ASSERT_TRUE(Load(QStringLiteral("data:text/html,<p>inline</p>")));
    EXPECT_TRUE(HasHtmlDocument(host));
    host->NavigateUrl(file.toString());
    QTest::qWait(1000);
    EXPECT_NE(host->Page()->url(), file);
    EXPECT_EQ(host->Page()->url().scheme(), QStringLiteral("data"));
    EXPECT_FALSE(TWebControl::MainFrameAllowed(QUrl(QStringLiteral("view-source:http://a/"))));
}

TEST_F(NavigationTest, HtmlDocumentOnlyForHtmlPages) {
    EXPECT_FALSE(HasHtmlDocument(nullptr));
    EXPECT_FALSE(HasHtmlDocument(host)); // nothing loaded yet
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    EXPECT_TRUE(HasHtmlDocument(host));
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/plain.txt"))));
    EXPECT_FALSE(HasHtmlDocument(host));
    EXPECT_EQ(host->Document().MimeType, QStringLiteral("text/plain"));
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/dot.png"))));
    EXPECT_FALSE(HasHtmlDocument(host));
    EXPECT_FALSE(host->Document().Empty);
}

TEST_F(NavigationTest, UserAgentTokenReachesTheServer) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    const auto& requests = TestServer().Requests();
    ASSERT_FALSE(requests.isEmpty());
    const QByteArray agent = requests.last().Headers.value("user-agent");
    EXPECT_TRUE(agent.contains("Tarn's Vela/browser")) << agent.constData();
    EXPECT_TRUE(PostPlatformTokens().contains(QStringLiteral("Tarn's Vela/browser")));
}

TEST_F(NavigationTest, HostStyleSheetReachesEveryPage) {
    host->SetHostCSS(QStringLiteral("body { background-color: rgb(1, 2, 3); }"));
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    ASSERT_TRUE(WaitFor(
        [&] {
            return Eval("getComputedStyle(document.body).backgroundColor").toString() ==
                   QLatin1String("rgb(1, 2, 3)");
        },
        5000));
}

TEST_F(NavigationTest, ScriptsAndImagesFollowTheDownloadOptions) {
    TestServer().Route(
        "/script.html",
        HttpServer::Response{200, "text/html",
                             "<html><body><script>document.title='ran'</script>x</body></html>"});
    host->SetDownloadOptions({DownloadImages, DontExecuteScripts});
    EXPECT_EQ(host->DownloadControlFlags(), 0x90u);
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/script.html"))));
    EXPECT_NE(host->Page()->title(), QStringLiteral("ran"));
    host->SetDownloadOptions({DownloadImages});
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/script.html?again"))));
    EXPECT_TRUE(WaitFor([&] { return host->Page()->title() == QLatin1String("ran"); }, 5000));
}

TEST_F(NavigationTest, PageSurvivesReparenting) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    Eval(QStringLiteral("window.marker = 42"));
    QWidget other;
    other.resize(400, 300);
    host->setParent(&other);
    other.show();
    host->FocusParent();
    EXPECT_EQ(host->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(Eval(QStringLiteral("window.marker")).toInt(), 42);
    EXPECT_TRUE(HasHtmlDocument(host));
    host->setParent(form.get());
    form->layout()->addWidget(host);
    EXPECT_EQ(Eval(QStringLiteral("window.marker")).toInt(), 42);
}

TEST_F(NavigationTest, UnreachableAddressReportsErrorAndCompletes) {
    // A port that was just free: nothing listens there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("http://127.0.0.1:%1/gone.html").arg(probe.serverPort());
    probe.close();
    int errors = 0;
    int documents = 0;
    QVariant status;
    host->OnNavigateError = [&](TWebControl*, QObject*, const QVariant&, const QVariant&,
                                const QVariant& code, bool&) {
        ++errors;
        status = code;
    };
    host->OnDocumentComplete = [&](TWebControl*, QObject*, const QVariant&) { ++documents; };
    ASSERT_TRUE(Load(url));
    EXPECT_EQ(errors, 1);
    EXPECT_NE(status.toInt(), 0);
    EXPECT_EQ(documents, 0);
    EXPECT_FALSE(HasHtmlDocument(host));
    EXPECT_EQ(host->ReadyState(), READYSTATE_COMPLETE);
}

TEST_F(NavigationTest, MalformedAddressRaises) {
    EXPECT_THROW(host->NavigateUrl(QStringLiteral("http://")), EOleSysError);
    WebBrowser2* browser = host->GetBrowserInterface();
    EXPECT_EQ(browser, host->GetBrowserInterface());
    EXPECT_THROW(host->ExecWB(browser, 9999, OLECMDEXECOPT_DODEFAULT, QVariant()), EOleSysError);
    try {
        host->ExecWB(browser, OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, 7);
        FAIL() << "an out-of-range text size was accepted";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), E_INVALIDARG);
        EXPECT_TRUE(e.Message().contains(QLatin1String("ExecWB")));
    }
}

// Measures the longest gap between ticks of a 20 ms timer while pred is false.
int longestStall(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    ticker.start(20);
    WaitFor(pred, timeoutMs);
    return static_cast<int>(worst);
}

TEST_F(NavigationTest, PageThatNeverFinishesDoesNotHangPrinting) {
    TestServer().Route(
        "/never.html",
        HttpServer::Response{200, "text/html",
                             QByteArray("<html><body><p>") + QByteArray(4000, 'x') + "</p>", true});
    host->NavigateUrl(TestServer().Url(QStringLiteral("/never.html")));
    host->SetWaitTimeout(1500);
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    EXPECT_THROW(host->PrintDocument(), VelaError);
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_GE(ticks, 10) << "the event loop stood still during the wait";
    host->Stop(host->GetBrowserInterface());
    EXPECT_TRUE(WaitFor([&] { return host->ReadyState() == READYSTATE_COMPLETE; }, 10000));
}

TEST_F(NavigationTest, HugePageKeepsTheInterfaceResponsive) {
    QByteArray big = "<html><body>";
    const QByteArray para = "<p>" + QByteArray(1000, 'y') + "</p>\n";
    while (big.size() < 50 * 1024 * 1024)
        big += para;
    big += "</body></html>";
    TestServer().Route("/huge.html", HttpServer::Response{200, "text/html", big});
    host->NavigateUrl(TestServer().Url(QStringLiteral("/huge.html")));
    const int stall = longestStall([&] { return host->ReadyState() == READYSTATE_COMPLETE; }, 8000);
    EXPECT_LT(stall, 3000); // a hang would be the whole wait
    host->Stop(host->GetBrowserInterface());
    ASSERT_TRUE(WaitFor([&] { return host->ReadyState() == READYSTATE_COMPLETE; }, 30000));
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html")), 60000));
    EXPECT_TRUE(HasHtmlDocument(host));
}

const QByteArray kPopups =
    "<html><body><script>for (var i = 0; i < 100; ++i) window.open('/hello.html?' + i, 'w' + i);"
    "</script>popups</body></html>";

TEST_F(NavigationTest, HundredWindowsWithoutTakerAreRefused) {
    TestServer().Route("/popups.html", HttpServer::Response{200, "text/html", kPopups});
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/popups.html"))));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(HasHtmlDocument(host));
    EXPECT_EQ(Eval(QStringLiteral("document.body.innerText")).toString(), QStringLiteral("popups"));
}

TEST_F(NavigationTest, HundredWindowsWithTakerKeepTheInterfaceResponsive) {
    TestServer().Route("/popups.html", HttpServer::Response{200, "text/html", kPopups});
    int requested = 0;
    host->OnNewWindow2 = [&](TWebControl*, QWebEnginePage*&, bool& cancel) {
        ++requested;
        cancel = requested % 2 == 0;
    };
    host->NavigateUrl(TestServer().Url(QStringLiteral("/popups.html")));
    const int stall = longestStall([&] { return requested >= 100; }, 20000);
    EXPECT_GT(requested, 0);
    EXPECT_LT(stall, 2000);
    // The page can be left while it is still opening windows.
    host->OnNewWindow2 = nullptr;
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    ASSERT_TRUE(WaitFor([&] {
        return HasHtmlDocument(host) && host->Page()->url().path() == QLatin1String("/hello.html");
    }));
}

TEST_F(NavigationTest, NewWindowGoesWhereTheHandlerSays) {
    TestServer().Route(
        "/opener.html",
        HttpServer::Response{
            200, "text/html",
            "<html><body><script>window.open('/hello.html?popup')</script></body></html>"});
    QWebEnginePage target;
    host->OnNewWindow3 = [&](TWebControl*, QWebEnginePage*& page, bool&, unsigned, const QString&,
                             const QString& url) {
        EXPECT_TRUE(url.endsWith(QLatin1String("/hello.html?popup")));
        page = &target;
    };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/opener.html"))));
    EXPECT_TRUE(WaitFor([&] { return target.url().toString().endsWith(QLatin1String("?popup")); }));
}

} // namespace

namespace {

TEST_F(NavigationTest, RefreshAndUnloadGoThroughTheCommandTarget) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    int refreshes = 0;
    host->OnRefresh = [&](TCustomWebHost*, int command, bool& cancel) {
        EXPECT_EQ(command, 2300);
        ++refreshes;
        cancel = true;
    };
    const int before = TestServer().RequestCount("/hello.html");
    host->ExecWB(host->GetBrowserInterface(), OLECMDID_REFRESH, OLECMDEXECOPT_DODEFAULT,
                 QVariant());
    QTest::qWait(500);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(TestServer().RequestCount("/hello.html"), before);
    host->OnRefresh = nullptr;
    int unloads = 0;
    host->OnUnload = [&](TCustomWebHost*) { ++unloads; };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/plain.txt"))));
    EXPECT_EQ(unloads, 1);
}

TEST_F(NavigationTest, DownloadsAskTheControlAndTheHost) {
    TestServer().Route(
        "/file.bin", HttpServer::Response{200, "application/octet-stream", QByteArray(1000, 'b')});
    int asked = 0;
    int taken = 0;
    // The control's event and the host's download manager share the name.
    host->TWebControl::OnFileDownload = [&](TWebControl*, bool activeDocument, bool& cancel) {
        EXPECT_FALSE(activeDocument);
        ++asked;
        cancel = true;
    };
    host->NavigateUrl(TestServer().Url(QStringLiteral("/file.bin")));
    ASSERT_TRUE(WaitFor([&] { return asked == 1; }));
    // A host download manager that takes the download over answers first.
    host->OnFileDownload = [&](TCustomWebHost*, const QString& url, const QString&) {
        EXPECT_TRUE(url.endsWith(QLatin1String("/file.bin?2")));
        ++taken;
        return S_OK;
    };
    host->NavigateUrl(TestServer().Url(QStringLiteral("/file.bin?2")));
    ASSERT_TRUE(WaitFor([&] { return taken == 1; }));
    QTest::qWait(200);
    EXPECT_EQ(asked, 1);
}

} // namespace

namespace {

// A page whose script holds the page's thread for longer than the type check waits: the
// answer to "what document is this" comes late.
const QByteArray kBusyPage =
    "<html><body><p>Busy page text</p><script>"
    "window.addEventListener('load', function () {"
    "  setTimeout(function () { var t = Date.now(); while (Date.now() - t < 4200) {} }, 0); });"
    "</script></body></html>";

} // namespace

TEST_F(NavigationTest, ALateAnswerStillMakesTheDocumentHtmlAndPrintDoesNotSkipIt) {
    TestServer().Route("/busy.html", HttpServer::Response{200, "text/html", kBusyPage});
    host->Printer()->setOutputFormat(QPrinter::PdfFormat);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("busy.pdf"));
    host->Printer()->setOutputFileName(pdf);
    host->OnShowDialog = [](TWebHost*, QWidget* dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->accept();
        });
    };
    // The same address twice, as a second translation in one run does.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/busy.html")))) << round;
        QFile::remove(pdf);
        EXPECT_NO_THROW(host->PrintDocument()) << round;
        EXPECT_TRUE(QFile::exists(pdf)) << "an HTML page was skipped, round " << round;
        EXPECT_TRUE(HasHtmlDocument(host)) << round;
    }
}

TEST_F(NavigationTest, FragmentNavigationsComplete) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/hello.html"))));
    // Counted for the whole test: a late completion must not reach a finished loop's counter.
    int completes = 0;
    host->OnDownloadComplete = [&completes](TWebControl*) { ++completes; };
    for (const char* fragment : {"#first", "#second", "#second"}) {
        completes = 0;
        host->NavigateUrl(TestServer().Url(QStringLiteral("/hello.html")) +
                          QLatin1String(fragment));
        EXPECT_TRUE(WaitFor([&] { return host->ReadyState() == READYSTATE_COMPLETE; }, 3000))
            << fragment;
        EXPECT_EQ(completes, 1) << fragment;
        EXPECT_TRUE(HasHtmlDocument(host)) << fragment;
    }
    // A fragment link clicked in the page completes as well.
    host->SetWaitTimeout(3000);
    Eval(QStringLiteral("location.hash = 'third'"));
    EXPECT_TRUE(WaitFor([&] { return host->Page()->url().fragment() == QLatin1String("third"); }));
    EXPECT_TRUE(host->WaitUntilReady());
    host->OnDownloadComplete = nullptr;
}
