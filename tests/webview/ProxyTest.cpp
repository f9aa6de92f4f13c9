// The proxy a host sets at load carries its pages, also when WebEngine is already running.
#include "WebTestSupport.h"
#include "WebTools.h"

#include <QApplication>
#include <QNetworkProxy>
#include <QVBoxLayout>
#include <QWebEnginePage>

namespace {

constexpr auto kProxiedUrl = "http://vela-proxy.test/page";

class ProxyTest : public WebHostTest {
protected:
    void SetUp() override {
        WebHostTest::SetUp();
        ASSERT_TRUE(proxy.Start());
        // The fixture's host has WebEngine running before any proxy exists.
        TestServer().Route("/plain", HttpServer::Response{200, "text/html", "<p>plain</p>"});
        ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/plain"))));
    }
    void TearDown() override {
        other.reset();
        // Puts back the process proxy the hosts set, as the unit does at shutdown.
        WebHostFinalization();
        WebHostInitialization();
        WebHostTest::TearDown();
    }

    // A second form whose host loads with the given proxy settings.
    TWebHost* LoadedHostWithProxy(const QString& user, const QString& password) {
        other = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(other.get());
        auto* second = new TWebHost(other.get());
        layout->addWidget(second);
        second->ProxySettings()->AutoLoadProxy = true;
        second->ProxySettings()->Address = QStringLiteral("127.0.0.1");
        second->ProxySettings()->Port = proxy.Port();
        second->ProxySettings()->UserName = user;
        second->ProxySettings()->Password = password;
        other->resize(400, 300);
        other->show();
        second->Loaded();
        return second;
    }

    // Navigates and returns the page's text once the download completes.
    static QString LoadedText(TWebHost* h, const QString& url) {
        if (!LoadIn(h, url))
            return QStringLiteral("(no completion)");
        QString text;
        bool got = false;
        h->Page()->toPlainText([&](const QString& t) {
            text = t;
            got = true;
        });
        WaitFor([&] { return got; }, 10000);
        return text;
    }

    int ProxiedRequests() const {
        int n = 0;
        for (const HttpServer::Request& r : proxy.Requests())
            n += r.Target == kProxiedUrl;
        return n;
    }

    HttpServer proxy;
    std::unique_ptr<QWidget> other;
};

TEST_F(ProxyTest, PagesGoThroughTheProxyUntilItIsReset) {
    proxy.Route("/page", HttpServer::Response{200, "text/html", "<p>through the proxy</p>"});
    TWebHost* second = LoadedHostWithProxy(QStringLiteral("vela"), QStringLiteral("wrong"));
    EXPECT_EQ(LoadedText(second, QString::fromLatin1(kProxiedUrl)).trimmed(),
              QStringLiteral("through the proxy"));
    EXPECT_EQ(ProxiedRequests(), 1);

    // Once the unit has reset the proxy, a new host goes direct: the made-up host name
    // does not resolve and the proxy sees nothing more.
    WebHostFinalization();
    WebHostInitialization();
    other.reset();
    auto third = std::make_unique<QWidget>();
    auto* direct = new TWebHost(third.get());
    direct->Loaded();
    int error = 0;
    direct->OnNavigateError = [&](TWebControl*, QObject*, const QVariant&, const QVariant&,
                                  const QVariant& status, bool&) { error = status.toInt(); };
    LoadedText(direct, QString::fromLatin1(kProxiedUrl));
    EXPECT_NE(error, 0);
    EXPECT_EQ(ProxiedRequests(), 1);
}

// A proxy that wants "vela" with password "s3cret".
void RequireCredentials(HttpServer& proxy) {
    const QByteArray expected = "Basic " + QByteArray("vela:s3cret").toBase64();
    proxy.Route("/page", [expected](const HttpServer::Request& request) {
        if (request.Headers.value("proxy-authorization") == expected)
            return HttpServer::Response{200, "text/html", "<p>signed in</p>"};
        HttpServer::Response challenge{407, "text/html", "<p>who are you</p>"};
        challenge.ExtraHeaders << std::pair{QByteArray("Proxy-Authenticate"),
                                            QByteArray("Basic realm=\"vela\"")};
        return challenge;
    });
}

TEST_F(ProxyTest, CredentialsAnswerTheProxysChallenge) {
    RequireCredentials(proxy);
    TWebHost* second = LoadedHostWithProxy(QStringLiteral("vela"), QStringLiteral("s3cret"));
    EXPECT_EQ(LoadedText(second, QString::fromLatin1(kProxiedUrl)).trimmed(),
              QStringLiteral("signed in"));
}

TEST_F(ProxyTest, RefusedCredentialsAreNotOfferedAgainAndAgain) {
    RequireCredentials(proxy);
    TWebHost* second = LoadedHostWithProxy(QStringLiteral("vela"), QStringLiteral("wrong"));
    const QString text = LoadedText(second, QString::fromLatin1(kProxiedUrl)).trimmed();
    // The proxy's refusal is what the page shows, after one try without and one with them.
    EXPECT_EQ(text, QStringLiteral("who are you"));
    EXPECT_EQ(ProxiedRequests(), 2);
}

} // namespace
