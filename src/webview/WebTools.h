#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

class QWidget;
class QWebEngineProfile;
class TWebControl;
class TCustomWebHost;

// Registry keys of the current user that the browser host touches.
inline constexpr const char* kUserAgentKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
inline constexpr const char* kPostPlatformKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
inline constexpr const char* kNavigatingSoundKey = "AppEvents\\Schemes\\Apps\\Explorer\\Navigating";

// Call before the QApplication exists: WebEngine needs shared OpenGL contexts. Chromium's
// sandbox cannot run as root; it is turned off only by the user's QTWEBENGINE_DISABLE_SANDBOX=1,
// and standard error says so (or, as root without it, that pages will not load).
void PrepareWebEngineEnvironment();

// Unit start-up and shutdown of the web tools (nothing to initialise on this platform; kept
// so that main() calls every unit in the same order).
void WebToolsInitialization();
void WebToolsFinalization();

// The window class a top-level window stands for: the class a window names in its
// "windowClassName" property (the browser's page dialogs, the program's own forms such as its
// message box), else "#32770" for any dialog and the Qt class name for other windows.
QString WindowClassName(const QWidget* window);

// A dialog caption as the host re-captions it: the first "Microsoft " goes, the first
// "Internet Explorer" becomes newCaption, and newCaption is put in front when still absent.
QString ReplaceDialogCaption(const QString& caption, const QString& newCaption);

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

// False when browser is absent or shows no document; true for an HTML document.
bool HasHtmlDocument(TWebControl* browser);
// When the browser shows an HTML document: FocusDocument if activateDocument, else FocusParent.
void FocusWebDocument(TCustomWebHost* browser, bool activateDocument);
