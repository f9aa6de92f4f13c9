#include "WebTestSupport.h"

#include "WebTools.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

struct Globals {
    QTemporaryDir dir;
    std::unique_ptr<HttpServer> server;
};

Globals& globals() {
    static Globals g;
    return g;
}

class WebEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Registry::SetDefaultFileName(TestRegistryFile());
        WebToolsInitialization();
        WebHostInitialization();
        globals().server = std::make_unique<HttpServer>();
        ASSERT_TRUE(globals().server->Start());
    }
    void TearDown() override {
        WebHostFinalization();
        WebToolsFinalization();
        globals().server.reset();
    }
};

const auto* s_environment = ::testing::AddGlobalTestEnvironment(new WebEnvironment);

} // namespace

HttpServer& TestServer() {
    return *globals().server;
}

QString TestRegistryFile() {
    return globals().dir.filePath(QStringLiteral("registry.json"));
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    return QTest::qWaitFor(pred, timeoutMs);
}

void WebHostTest::SetUp() {
    form = std::make_unique<QWidget>();
    form->setWindowTitle(QStringLiteral("Owner form"));
    auto* layout = new QVBoxLayout(form.get());
    layout->setContentsMargins(0, 0, 0, 0);
    host = new TWebHost(form.get());
    layout->addWidget(host);
    form->resize(800, 600);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    host->Loaded();
}

void WebHostTest::TearDown() {
    form.reset();
    QApplication::processEvents();
}

bool LoadIn(TWebHost* host, const QString& url, int timeoutMs) {
    bool done = false;
    auto previous = host->OnDownloadComplete;
    host->OnDownloadComplete = [&](TWebControl* sender) {
        done = true;
        if (previous)
            previous(sender);
    };
    host->NavigateUrl(url);
    const bool ok = WaitFor([&] { return done; }, timeoutMs);
    host->OnDownloadComplete = previous;
    return ok;
}

bool WebHostTest::Load(const QString& url, int timeoutMs) {
    return LoadIn(host, url, timeoutMs);
}

QVariant WebHostTest::Eval(const QString& script) {
    QVariant result;
    bool done = false;
    host->Page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    WaitFor([&] { return done; }, 10000);
    return result;
}

QWidget* WebHostTest::PageWidget() const {
    return host->View()->focusProxy();
}
