#pragma once

// The browser's process-wide settings, below the control and the host that both use them:
// the engine's environment, the profile pages start in, the process proxy, and the current
// user's settings the host touches (user-agent tokens, the navigation sound).

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

class QWebEngineProfile;

// Registry keys of the current user that the browser host touches.
inline constexpr const char* kUserAgentKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
inline constexpr const char* kPostPlatformKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
inline constexpr const char* kNavigatingSoundKey = "AppEvents\\Schemes\\Apps\\Explorer\\Navigating";

// Call before the QApplication exists: WebEngine needs shared OpenGL contexts. Chromium's
// sandbox cannot run as root; it is turned off only by the user's QTWEBENGINE_DISABLE_SANDBOX=1
// (another value is dropped) or --no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS, and standard error
// says so (or, as root without either, that the web view stays empty).
void PrepareWebEngineEnvironment();
// False as root with the sandbox on: the engine would then end the whole program, so nothing
// of it may be made.
bool BrowserCanStart();
// Why the browser does not start, and how to let it, as the window tells it.
QString BrowserBlockedMessage();

// The user agent with the additional tokens inside its first parenthesised part, where the
// platform puts the "Post Platform" tokens.
QString ComposeUserAgent(const QString& base, const QStringList& tokens);

// Writes the token as a value name with empty data under "Post Platform"; false when the key
// cannot be opened.
bool RegisterUserAgentToken(const QString& token);
// Removes the token from "Post Platform" when "User Agent" opens; the key stays, with an
// empty default value.
void RemoveUserAgentToken(const QString& token);
// The tokens registered under "Post Platform" by anyone.
QStringList PostPlatformTokens();

// Turns the navigation click sound off (".Current" renamed "Old_Current") or back on.
void DisableNavigationSound(bool disable);
// Whether a navigation click sound is configured.
bool NavigationSoundEnabled();

// Sets the process proxy; ResetProcessProxy puts back the proxy that was in force before.
void SetProcessProxy(const QString& host, int port, const QString& userName,
                     const QString& password);
void ResetProcessProxy();
// The profile new pages start in. WebEngine reads the process proxy when a profile starts,
// so pages made after the proxy changed get a fresh off-the-record profile; until then it is
// the default one. Pages made earlier see the change after their next request.
std::shared_ptr<QWebEngineProfile> BrowserProfile();
// The user name and password set for this proxy host, if any. They are kept out of the
// application proxy, where WebEngine would offer them again after every refusal.
std::optional<std::pair<QString, QString>> ProcessProxyCredentials(const QString& proxyHost);

// Lets go of the profile new pages would start in; pages still alive keep theirs.
void ReleaseBrowserProfile();
