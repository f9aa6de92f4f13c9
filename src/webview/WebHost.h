#pragma once

#include "PrintOptions.h"
#include "WebHostCore.h"
#include "WebHostOptions.h"

#include <QPointer>
#include <QStringList>
#include <memory>

// The browser host the main window places: option objects, the dialog hook on the owner
// form, the user-agent token, the navigation sound, the proxy, text size, printing.
// Loaded() must be called once the host sits in its form and its options are set.
class TWebHost : public TCustomWebHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TWebHost)

public:
    static constexpr const char* AboutText = " Vela/browser";

    explicit TWebHost(QWidget* parent = nullptr);
    ~TWebHost() override;

    // Load completion: message handler, script errors, dialog hook, user agent, proxy, sound.
    void Loaded();

    QString About() const { return m_about; }
    void SetAbout(const QString& v) { m_about = v; }
    QString UserAgent() const { return m_userAgent; }
    void SetUserAgent(const QString& v) { m_userAgent = v; }
    QString HostCSS() const { return m_hostCss; }
    void SetHostCSS(const QString& v);
    QString HostNS() const { return m_hostNs; }
    void SetHostNS(const QString& v) { m_hostNs = v; }
    bool EnableMessageHandler() const { return m_enableMessageHandler; }
    void SetEnableMessageHandler(bool v) { m_enableMessageHandler = v; }
    TContextMenuItems DisabledPopupMenuItems() const { return m_disabledPopupMenuItems; }
    void SetDisabledPopupMenuItems(const TContextMenuItems& v) { m_disabledPopupMenuItems = v; }

    TDisableErrors* DisableErrors() const { return m_disableErrors.get(); }
    TDialogBoxes* DialogBoxes() const { return m_dialogBoxes.get(); }
    TPrintOptions* PrintOptions() const { return m_printOptions.get(); }
    TProxySettings* ProxySettings() const { return m_proxySettings.get(); }
    TShortCuts* ShortCuts() const { return m_shortCuts.get(); }
    TVisualEffects* VisualEffects() const { return m_visualEffects.get(); }

    // Navigates to the address; a blank text does nothing. Failures raise EOleSysError.
    void NavigateUrl(const QString& url);

    // Waits, serving the event loop, until the page is complete; false after WaitTimeout().
    bool WaitUntilReady();
    // The bound of WaitUntilReady in milliseconds (30 s by default).
    int WaitTimeout() const { return m_waitTimeoutMs; }
    void SetWaitTimeout(int milliseconds) { m_waitTimeoutMs = milliseconds; }
    // Waits for the page, then prints it after the print dialog. A page that is still not
    // complete after WaitTimeout() raises VelaError; a page that is not HTML is not printed.
    void PrintDocument();
    // Opens the print preview of the page at once.
    void ShowPrintPreview();

    // Status kept for the application.
    bool iNavi = false, iBegin = false, iReload = false, iLoaded = false, iGetIcon = false,
         iProcess = false, iGoBack = false, iGoForward = false, iHtmSelect = false;
    QString iTitle, iPageRank, iHtmText;
    QStringList iHistory;

    std::function<void(TWebHost*, bool& canClose)> OnCloseQuery;
    std::function<void(TWebHost*, QWidget* dialog)> OnShowDialog;
    std::function<void(TWebHost*)> OnWindowClose;
    std::function<void(TWebHost*, int shift, int x, int y)> OnMouseEnter;
    std::function<void(TWebHost*, int shift, int x, int y)> OnMouseLeave;
    std::function<void(TWebHost*, int shift, int x, int y)> OnMouseDown;
    std::function<void(TWebHost*, int shift, int x, int y)> OnMouseMove;
    std::function<void(TWebHost*, int shift, int x, int y)> OnMouseUp;

    HRESULT GetHostInfo(DocHostUIInfo& info) override;

    // Whether this host hooked its owner form (one host per process does).
    bool HooksOwner() const { return m_hooks; }

protected:
    bool popupFilteringWanted() const override;
    void filterPopupMenu(int kind, QMenu* menu, QObject* commandTarget) override;
    void closeRequested() override;
    void documentStarting() override;
    void browserCreated() override;
    void pageMouseEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool ownerActivationChanged();
    void registerUserAgent();
    // The page's user agent: the profile's own plus every registered token.
    void applyUserAgent();
    void fireMouse(const std::function<void(TWebHost*, int, int, int)>& handler, QPoint pos);
    // Whether the shown document is HTML, waiting for a type the page has not answered yet;
    // raises when it stays unknown.
    bool htmlDocumentShown(WebBrowser2* browser);

    QString m_about;
    QString m_userAgent;
    QString m_hostCss;
    QString m_hostNs;
    bool m_enableMessageHandler = true;
    TContextMenuItems m_disabledPopupMenuItems;
    std::unique_ptr<TPrintOptions> m_printOptions;
    std::unique_ptr<TProxySettings> m_proxySettings;
    std::unique_ptr<TShortCuts> m_shortCuts;
    std::unique_ptr<TDisableErrors> m_disableErrors;
    std::unique_ptr<TDialogBoxes> m_dialogBoxes;
    std::unique_ptr<TVisualEffects> m_visualEffects;
    QPointer<QWidget> m_hookedOwner;
    bool m_hooks = false;
    int m_waitTimeoutMs = 30000;
    bool m_loaded = false;
};

// Unit start-up and shutdown of the browser host; main() calls WebToolsInitialization and
// then WebHostInitialization at start, and WebHostFinalization then WebToolsFinalization
// at the end, after the main window is gone.
void WebHostInitialization();
void WebHostFinalization();
