#pragma once

#include "OleSysError.h"
#include "WebBrowser2.h"

#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QWebEngineView;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineDownloadRequest;
class QWebEngineNewWindowRequest;
class QContextMenuEvent;
class QKeyEvent;
class WebEnginePage;
class WebEngineView;

// Dispatch ids of the browser events and properties keep the platform's values.
namespace DispId {
constexpr int StatusTextChange = 102, ProgressChange = 108, CommandStateChange = 105,
              DownloadBegin = 106, DownloadComplete = 104, TitleChange = 113, PropertyChange = 112,
              BeforeNavigate2 = 250, NewWindow2 = 251, NavigateComplete2 = 252,
              DocumentComplete = 259, Quit = 253, OnVisible = 254, OnToolBar = 255, OnMenuBar = 256,
              OnStatusBar = 257, OnFullScreen = 258, OnTheaterMode = 260, OnAddressBar = 261,
              WindowSetResizable = 262, WindowSetLeft = 264, WindowSetTop = 265,
              WindowSetWidth = 266, WindowSetHeight = 267, WindowClosing = 263,
              ClientToHostWindow = 268, SetSecureLockIcon = 269, FileDownload = 270,
              NavigateError = 271, PrintTemplateInstantiation = 225, PrintTemplateTeardown = 226,
              UpdatePageStatus = 227, PrivacyImpactedStateChange = 272, NewWindow3 = 273;
constexpr int Visible = 402, StatusBar = 403, StatusText = 404, ToolBar = 405, MenuBar = 406,
              FullScreen = 407, Offline = 550, Silent = 551, RegisterAsBrowser = 552,
              RegisterAsDropTarget = 553, TheaterMode = 554, AddressBar = 555, Resizable = 556;
constexpr int Application = 200, Document = 203, ReadyState = -525;
} // namespace DispId

// Command-state ids of OnCommandStateChange.
constexpr int CSC_NAVIGATEFORWARD = 1;
constexpr int CSC_NAVIGATEBACK = 2;

// Kinds of page dialog the control shows for a page.
enum class PageDialogKind { Alert, Confirm, Prompt, ScriptError };

// A script error as the page reports it.
struct ScriptErrorInfo {
    int Line = 0;
    int Character = 0;
    int Code = 0;
    QString Url;
    QString Message;
};

// The browser control: a Qt WebEngine view with the event table, forwarded properties and
// programming interface of the platform's browser control. Events with no WebEngine
// counterpart exist and can be assigned but never fire. The host site (TCustomWebHost)
// answers the control's questions by overriding the protected hooks.
class TWebControl : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TWebControl)

public:
    struct EventEntry {
        const char* Name;
        int DispId;
    };
    static const std::array<EventEntry, 34>& EventTable();

    explicit TWebControl(QWidget* parent = nullptr);
    ~TWebControl() override;

    // Whether the event with this dispatch id has a handler.
    bool IsEventAssigned(int dispId) const;

    // The main frame goes only to http, https, about and data addresses: neither a page nor a
    // link may lead the browser to the user's files or to other schemes. AllowLocalFile lets
    // the one local file the user named open as well (its host turns its scripts off).
    static bool MainFrameAllowed(const QUrl& url);
    void AllowLocalFile(const QUrl& file) { m_allowedLocalFile = file; }

    std::function<void(TWebControl*, const QString& text)> OnStatusTextChange;
    std::function<void(TWebControl*, int progress, int progressMax)> OnProgressChange;
    std::function<void(TWebControl*, int command, bool enable)> OnCommandStateChange;
    std::function<void(TWebControl*)> OnDownloadBegin;
    std::function<void(TWebControl*)> OnDownloadComplete;
    std::function<void(TWebControl*, const QString& text)> OnTitleChange;
    std::function<void(TWebControl*, const QString& property)> OnPropertyChange;
    std::function<void(TWebControl*, QObject* pDisp, const QVariant& url, const QVariant& flags,
                       const QVariant& targetFrameName, const QVariant& postData,
                       const QVariant& headers, bool& cancel)>
        OnBeforeNavigate2;
    std::function<void(TWebControl*, QWebEnginePage*& ppDisp, bool& cancel)> OnNewWindow2;
    std::function<void(TWebControl*, QObject* pDisp, const QVariant& url)> OnNavigateComplete2;
    std::function<void(TWebControl*, QObject* pDisp, const QVariant& url)> OnDocumentComplete;
    std::function<void(TWebControl*)> OnQuit;
    std::function<void(TWebControl*, bool visible)> OnVisible;
    std::function<void(TWebControl*, bool toolBar)> OnToolBar;
    std::function<void(TWebControl*, bool menuBar)> OnMenuBar;
    std::function<void(TWebControl*, bool statusBar)> OnStatusBar;
    std::function<void(TWebControl*, bool fullScreen)> OnFullScreen;
    std::function<void(TWebControl*, bool theaterMode)> OnTheaterMode;
    std::function<void(TWebControl*, bool addressBar)> OnAddressBar;
    std::function<void(TWebControl*, bool resizable)> OnWindowSetResizable;
    std::function<void(TWebControl*, int left)> OnWindowSetLeft;
    std::function<void(TWebControl*, int top)> OnWindowSetTop;
    std::function<void(TWebControl*, int width)> OnWindowSetWidth;
    std::function<void(TWebControl*, int height)> OnWindowSetHeight;
    std::function<void(TWebControl*, bool isChildWindow, bool& cancel)> OnWindowClosing;
    std::function<void(TWebControl*, int& cx, int& cy)> OnClientToHostWindow;
    std::function<void(TWebControl*, int secureLockIcon)> OnSetSecureLockIcon;
    std::function<void(TWebControl*, bool activeDocument, bool& cancel)> OnFileDownload;
    std::function<void(TWebControl*, QObject* pDisp, const QVariant& url, const QVariant& frame,
                       const QVariant& statusCode, bool& cancel)>
        OnNavigateError;
    std::function<void(TWebControl*, QObject* pDisp)> OnPrintTemplateInstantiation;
    std::function<void(TWebControl*, QObject* pDisp)> OnPrintTemplateTeardown;
    std::function<void(TWebControl*, QObject* pDisp, const QVariant& nPage, const QVariant& fDone)>
        OnUpdatePageStatus;
    std::function<void(TWebControl*, bool impacted)> OnPrivacyImpactedStateChange;
    std::function<void(TWebControl*, QWebEnginePage*& ppDisp, bool& cancel, unsigned flags,
                       const QString& urlContext, const QString& url)>
        OnNewWindow3;

    // Forwarded properties (by dispatch id); kept by the control, not by the form.
    QVariant GetProperty(int dispId) const;
    void SetProperty(int dispId, const QVariant& value);
    bool Visible() const { return GetProperty(DispId::Visible).toBool(); }
    void SetVisible(bool v) { SetProperty(DispId::Visible, v); }
    bool StatusBar() const { return GetProperty(DispId::StatusBar).toBool(); }
    void SetStatusBar(bool v) { SetProperty(DispId::StatusBar, v); }
    QString StatusText() const { return GetProperty(DispId::StatusText).toString(); }
    void SetStatusText(const QString& v) { SetProperty(DispId::StatusText, v); }
    bool ToolBar() const { return GetProperty(DispId::ToolBar).toBool(); }
    void SetToolBar(bool v) { SetProperty(DispId::ToolBar, v); }
    bool MenuBar() const { return GetProperty(DispId::MenuBar).toBool(); }
    void SetMenuBar(bool v) { SetProperty(DispId::MenuBar, v); }
    bool FullScreen() const { return GetProperty(DispId::FullScreen).toBool(); }
    void SetFullScreen(bool v) { SetProperty(DispId::FullScreen, v); }
    bool Offline() const { return GetProperty(DispId::Offline).toBool(); }
    void SetOffline(bool v) { SetProperty(DispId::Offline, v); }
    bool Silent() const { return GetProperty(DispId::Silent).toBool(); }
    void SetSilent(bool v) { SetProperty(DispId::Silent, v); }
    bool RegisterAsBrowser() const { return GetProperty(DispId::RegisterAsBrowser).toBool(); }
    void SetRegisterAsBrowser(bool v) { SetProperty(DispId::RegisterAsBrowser, v); }
    bool RegisterAsDropTarget() const { return GetProperty(DispId::RegisterAsDropTarget).toBool(); }
    void SetRegisterAsDropTarget(bool v) { SetProperty(DispId::RegisterAsDropTarget, v); }
    bool TheaterMode() const { return GetProperty(DispId::TheaterMode).toBool(); }
    void SetTheaterMode(bool v) { SetProperty(DispId::TheaterMode, v); }
    bool AddressBar() const { return GetProperty(DispId::AddressBar).toBool(); }
    void SetAddressBar(bool v) { SetProperty(DispId::AddressBar, v); }
    bool Resizable() const { return GetProperty(DispId::Resizable).toBool(); }
    void SetResizable(bool v) { SetProperty(DispId::Resizable, v); }

    // The control's programming interface, created on first use and kept.
    WebBrowser2* GetBrowserInterface();

    // Wrappers that raise EOleSysError when the control answers a failure code.
    void Stop(WebBrowser2* browser);
    void Navigate2(WebBrowser2* browser, const QVariant& url, const QVariant& flags,
                   const QVariant& targetFrameName, const QVariant& postData,
                   const QVariant& headers);
    void ExecWB(WebBrowser2* browser, int cmdId, int cmdExecOpt, const QVariant& input);

    int ReadyState() const { return m_readyState; }
    WebDocument Document() const;
    // Waits, serving the event loop, until a loaded document's type is known (a busy page
    // answers late); false when it is still unknown after the time.
    bool WaitForDocumentType(int timeoutMs);

    // The view and page are made on first use: a proxy set while the host loads has to be in
    // place before the page's profile starts.
    QWebEngineView* View() const;
    QWebEnginePage* Page() const;
    bool HasBrowser() const { return m_page != nullptr; }
    // The printer that print and preview use; it keeps the page setup between calls.
    QPrinter* Printer();
    // The text size (0 smallest to 4 largest) applied as the page's zoom.
    int Zoom() const { return m_zoom; }

protected:
    // Hooks the host site overrides. The defaults are the control's own behaviour.
    virtual bool beforeNavigate(const QUrl& url, int navigationType, bool isMainFrame);
    virtual void newWindowRequested(QWebEngineNewWindowRequest& request);
    virtual void fileDownloadRequested(QWebEngineDownloadRequest* download);
    virtual void showContextMenu(QContextMenuEvent* event);
    // True when the key is swallowed.
    virtual bool translateAccelerator(QKeyEvent* event);
    // True when the drag event was handled by the host.
    virtual bool dragEvent(QEvent* event);
    // Mouse events in the page (press, release, move, double click).
    virtual void pageMouseEvent(QEvent* event);
    virtual void scriptErrorReported(const ScriptErrorInfo& error);
    // False cancels the reload.
    virtual bool refreshRequested(int command);
    virtual void geometryRequested(const QRect& geometry);
    // The page asked to close its window and nobody cancelled it.
    virtual void closeRequested();
    // Called before each main-frame document starts loading.
    virtual void documentStarting() {}
    // The view and page have just been made.
    virtual void browserCreated() {}
    virtual void pageDialog(PageDialogKind kind, const QString& message,
                            const QString& defaultValue, bool* accepted, QString* result);
    void showStandardContextMenu(QContextMenuEvent* event);
    void setReadyState(int state) { m_readyState = state; }
    void applyZoom(int textSize);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class WebEnginePage;
    friend class WebEngineView;
    friend class WebBrowser2;

    void ensureBrowser();
    void applyDropTarget();
    void answerProxyChallenge(class QAuthenticator* authenticator, const QString& proxyHost);
    void connectPage();
    void watchChild(QObject* child);
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void completeLoad(int generation, const QString& mimeType, bool ok);
    void startProbe(int generation);
    void lateDocumentType(int generation, const QString& mimeType);
    void completeSameDocument();
    void fireNavigateComplete();
    HRESULT navigate(const QVariant& url, const QVariant& postData, const QVariant& headers);
    HRESULT execCommand(int cmdId, int cmdExecOpt, const QVariant& input, QVariant* output);
    HRESULT printCommand(int cmdId, int cmdExecOpt);

    std::shared_ptr<QWebEngineProfile> m_profile;
    WebEngineView* m_view = nullptr;
    WebEnginePage* m_page = nullptr;
    std::unique_ptr<WebBrowser2> m_browser;
    std::unique_ptr<QPrinter> m_printer;
    QHash<int, QVariant> m_properties;
    WebDocument m_document;
    int m_readyState = READYSTATE_UNINITIALIZED;
    int m_generation = 0;
    // The address of a navigation that only changes the fragment, until it completes.
    QUrl m_sameDocumentTarget;
    QUrl m_allowedLocalFile;
    // How long a same-document navigation to the shown address waits for the engine.
    static constexpr int kSameDocumentSettleMs = 100;
    int m_probeGeneration = -1;
    int m_awaitingProbe = -1;
    std::optional<QString> m_probeMimeType;
    int m_zoom = 2;
    bool m_navigateCompleteFired = false;
    bool m_rendererGone = false;
    bool m_loadStopped = false;
    bool m_proxyCredentialsOffered = false;
    int m_lastErrorCode = 0;
    QString m_lastFailure; // why the last print failed
    bool m_canGoBack = false;
    bool m_canGoForward = false;
};
