#include "BrowserSettings.h"

#include "registry/Registry.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QWebEngineProfile>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

std::optional<QNetworkProxy>& savedProxy() {
    static std::optional<QNetworkProxy> proxy;
    return proxy;
}

struct ProxyCredentials {
    QString Host;
    QString UserName;
    QString Password;
};

std::optional<ProxyCredentials>& proxyCredentials() {
    static std::optional<ProxyCredentials> credentials;
    return credentials;
}

struct Profiles {
    std::shared_ptr<QWebEngineProfile> Current;
    bool ProxyChanged = false;
};

Profiles& profiles() {
    static Profiles p;
    return p;
}

// Pages made from now on need a profile that reads the proxy afresh.
void retireBrowserProfile() {
    profiles().Current.reset();
    profiles().ProxyChanged = true;
}

} // namespace

namespace {

// The user's own ways of turning the sandbox off; the engine takes the variable with any
// value, which is why only "1" is left in place (see PrepareWebEngineEnvironment).
bool sandboxFlagGiven() {
    return qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
        .split(QLatin1Char(' '), Qt::SkipEmptyParts)
        .contains(QLatin1String("--no-sandbox"));
}

bool sandboxTurnedOff() {
    return qEnvironmentVariable("QTWEBENGINE_DISABLE_SANDBOX") == QLatin1String("1") ||
           sandboxFlagGiven();
}

} // namespace

void PrepareWebEngineEnvironment() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The sandbox is never turned off behind the user's back, and whenever it is off, it is
    // said. The engine would take QTWEBENGINE_DISABLE_SANDBOX with any value, "0" too.
    const QString variable = qEnvironmentVariable("QTWEBENGINE_DISABLE_SANDBOX");
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") &&
        variable != QLatin1String("1")) {
        std::fprintf(stderr,
                     "%s: QTWEBENGINE_DISABLE_SANDBOX=%s is ignored: only 1 turns the browser's "
                     "sandbox off\n",
                     program_invocation_short_name, qPrintable(variable));
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    }
    if (sandboxTurnedOff())
        std::fprintf(stderr, "%s: the browser runs without its sandbox (%s)\n",
                     program_invocation_short_name,
                     sandboxFlagGiven() ? "--no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS"
                                        : "QTWEBENGINE_DISABLE_SANDBOX=1");
    else if (!BrowserCanStart())
        std::fprintf(
            stderr,
            "%s: running as root, where the browser's sandbox cannot start: the web view "
            "stays empty. Run it as an ordinary user, or set QTWEBENGINE_DISABLE_SANDBOX=1 "
            "to run the browser without its sandbox\n",
            program_invocation_short_name);
}

bool BrowserCanStart() {
    return ::geteuid() != 0 || sandboxTurnedOff();
}

QString BrowserBlockedMessage() {
    return QStringLiteral(
        "root で動いているため、ブラウザーを起動できません（ブラウザーのサンドボックスは root では"
        "動きません）。翻訳・プレビュー・印刷にはブラウザーが要ります。\r一般ユーザーで起動するか、"
        "サンドボックスなしで動かすなら環境変数 QTWEBENGINE_DISABLE_SANDBOX=1 を設定して起動して"
        "ください。");
}

std::shared_ptr<QWebEngineProfile> BrowserProfile() {
    Profiles& p = profiles();
    if (!p.Current) {
        if (p.ProxyChanged)
            p.Current = std::make_shared<QWebEngineProfile>();
        else
            p.Current = std::shared_ptr<QWebEngineProfile>(QWebEngineProfile::defaultProfile(),
                                                           [](QWebEngineProfile*) {});
    }
    return p.Current;
}

void ReleaseBrowserProfile() {
    profiles().Current.reset();
}

QString ComposeUserAgent(const QString& base, const QStringList& tokens) {
    QStringList parts;
    for (const QString& t : tokens) {
        if (!t.trimmed().isEmpty())
            parts << t.trimmed();
    }
    if (parts.isEmpty())
        return base;
    const QString extra = parts.join(QStringLiteral("; "));
    const qsizetype close = base.indexOf(')');
    if (base.indexOf('(') < 0 || close < 0)
        return base + QStringLiteral(" (") + extra + ')';
    return base.left(close) + QStringLiteral("; ") + extra + base.mid(close);
}

bool RegisterUserAgentToken(const QString& token) {
    Registry registry;
    if (!registry.OpenKey(QString::fromLatin1(kPostPlatformKey), true))
        return false;
    return registry.SetValue(QString::fromLatin1(kPostPlatformKey), token, QString());
}

void RemoveUserAgentToken(const QString& token) {
    Registry registry;
    if (!registry.OpenKey(QString::fromLatin1(kUserAgentKey), false))
        return;
    registry.DeleteValue(QString::fromLatin1(kPostPlatformKey), token);
    if (!registry.ValueExists(QString::fromLatin1(kPostPlatformKey), QString()))
        registry.SetValue(QString::fromLatin1(kPostPlatformKey), QString(), QString());
}

QStringList PostPlatformTokens() {
    QStringList tokens = Registry().ValueNames(QString::fromLatin1(kPostPlatformKey));
    tokens.removeAll(QString());
    return tokens;
}

void DisableNavigationSound(bool disable) {
    Registry registry;
    const QString key = QString::fromLatin1(kNavigatingSoundKey);
    if (disable) {
        if (!registry.KeyExists(key + QStringLiteral("\\.Current")))
            return;
        if (registry.OpenKey(key, true))
            registry.RenameKey(key, QStringLiteral(".Current"), QStringLiteral("Old_Current"));
    } else {
        if (!registry.KeyExists(key + QStringLiteral("\\Old_Current")))
            return;
        if (registry.OpenKey(key, false))
            registry.RenameKey(key, QStringLiteral("Old_Current"), QStringLiteral(".Current"));
    }
}

bool NavigationSoundEnabled() {
    const auto sound = Registry().Value(
        QString::fromLatin1(kNavigatingSoundKey) + QStringLiteral("\\.Current"), QString());
    return sound && !sound->isEmpty();
}

void SetProcessProxy(const QString& host, int port, const QString& userName,
                     const QString& password) {
    if (!savedProxy())
        savedProxy() = QNetworkProxy::applicationProxy();
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, host, static_cast<quint16>(port)));
    retireBrowserProfile();
    if (userName.isEmpty())
        proxyCredentials().reset();
    else
        proxyCredentials() = ProxyCredentials{host, userName, password};
}

void ResetProcessProxy() {
    if (!savedProxy())
        return;
    QNetworkProxy::setApplicationProxy(*savedProxy());
    savedProxy().reset();
    retireBrowserProfile();
    proxyCredentials().reset();
}

std::optional<std::pair<QString, QString>> ProcessProxyCredentials(const QString& proxyHost) {
    const auto& credentials = proxyCredentials();
    if (!credentials || credentials->Host.compare(proxyHost, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return std::pair{credentials->UserName, credentials->Password};
}
