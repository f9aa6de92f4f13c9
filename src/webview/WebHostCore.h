#pragma once

#include "WebControl.h"
#include "WebHostTypes.h"

#include <QPoint>
#include <QUuid>
#include <QVariantMap>

class QMenu;
class QDropEvent;

// What the host tells the control about itself (the host-information record).
struct DocHostUIInfo {
    quint32 cbSize = 20;
    quint32 dwFlags = 0;
    quint32 dwDoubleClick = 0;
    QString pchHostCss;
    QString pchHostNS;
};

// Command groups of the command target.
extern const QUuid CGID_Explorer;
extern const QUuid CGID_DocHostCommandHandler;

constexpr int DISPID_AMBIENT_DLCONTROL = -5512;
constexpr int DISPID_AMBIENT_USERMODE = -709;

// The browser control's host site: answers the control's questions from the option sets
// and events below, filters context menus and control keys, decides on script errors,
// new windows and downloads, and chooses the drop target of the page.
class TCustomWebHost : public TWebControl {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCustomWebHost)

public:
    explicit TCustomWebHost(QWidget* parent = nullptr);
    ~TCustomWebHost() override;

    TDownloadControlOptions DownloadOptions() const { return m_downloadOptions; }
    void SetDownloadOptions(const TDownloadControlOptions& options);
    TUserInterfaceOptions UserInterfaceOptions() const { return m_userInterfaceOptions; }
    void SetUserInterfaceOptions(const TUserInterfaceOptions& options);
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString& v) { m_helpFile = v; }
    QString OptionKeyPath() const { return m_optionKeyPath; }
    void SetOptionKeyPath(const QString& v) { m_optionKeyPath = v; }
    bool OverrideOptionKeyPath() const { return m_overrideOptionKeyPath; }
    void SetOverrideOptionKeyPath(bool v) { m_overrideOptionKeyPath = v; }
    TDropHandlingType DropHandlingType() const { return m_dropHandlingType; }
    void SetDropHandlingType(TDropHandlingType v);
    TMenuContexts DisabledPopupMenus() const { return m_disabledPopupMenus; }
    void SetDisabledPopupMenus(const TMenuContexts& v) { m_disabledPopupMenus = v; }
    bool FloatingHosting() const { return m_floatingHosting; }
    void SetFloatingHosting(bool v) { m_floatingHosting = v; }
    TScriptErrorAction ScriptErrorAction() const { return m_scriptErrorAction; }
    void SetScriptErrorAction(TScriptErrorAction v) { m_scriptErrorAction = v; }

    // The flag words composed from the option sets, and the control-key mask.
    quint32 DownloadControlFlags() const { return m_downloadFlags; }
    quint32 HostUIFlags() const { return m_hostUIFlags; }
    QString CtrlCharMask() const { return m_ctrlCharMask; }
    void SetCtrlCharMask(const QString& mask) { m_ctrlCharMask = mask; }

    // Gives the page keyboard focus when there is a document.
    void FocusDocument();
    // Fits the component into its parent and focuses the parent.
    void FocusParent();

    // A script-error handler sees "errorline", "errorUrl", "errorMessage", "errorCode" and
    // "errorCharacter" and may change ScriptErrorAction for later errors.
    void SetScriptErrorHandler(std::function<void(TCustomWebHost*, const QVariantMap&)> handler) {
        m_scriptErrorHandler = std::move(handler);
    }

    // The host callbacks as the control calls them.
    virtual HRESULT GetHostInfo(DocHostUIInfo& info);
    HRESULT AmbientProperty(int dispId, QVariant& value, bool write);
    HRESULT GetOptionKeyPath(QString* path, bool override) const;
    HRESULT Exec(const QUuid& group, int cmdId, int cmdExecOpt, const QVariant& input,
                 QVariant* output);
    QObject* QueryService(HostService service);
    HRESULT ShowContextMenu(int kind, const QPoint& globalPos, QObject* commandTarget);

    std::function<HRESULT(TCustomWebHost*, const QString& name, int& dispId)> OnGetIDsOfNames;
    std::function<HRESULT(TCustomWebHost*, int index, QObject*& typeInfo)> OnGetTypeInfo;
    std::function<HRESULT(TCustomWebHost*, int& count)> OnGetTypeInfoCount;
    std::function<HRESULT(TCustomWebHost*, int dispId, bool write, QVariant& value)> OnInvoke;
    std::function<HRESULT(TCustomWebHost*, const QString& helpFile, int command)> OnShowHelpRequest;
    std::function<HRESULT(TCustomWebHost*, const QString& text, const QString& caption, int type,
                          int& result)>
        OnShowMessage;
    std::function<HRESULT(TCustomWebHost*, QObject* dataIn, QObject*& dataOut)> OnFilterDataObject;
    std::function<HRESULT(TCustomWebHost*, QObject*& external)> OnGetExternal;
    std::function<HRESULT(TCustomWebHost*, DocHostUIInfo& info)> OnGetHostInfo;
    std::function<HRESULT(TCustomWebHost*, bool enable)> OnEnableModeless;
    std::function<HRESULT(TCustomWebHost*, int percent)> OnZoomPercentChange;
    std::function<HRESULT(TCustomWebHost*, QObject*& dropTarget)> OnGetDropTarget;
    std::function<HRESULT(TCustomWebHost*)> OnHideUI;
    std::function<HRESULT(TCustomWebHost*, bool activate)> OnOnDocWindowActivate;
    std::function<HRESULT(TCustomWebHost*, bool activate)> OnOnFrameWindowActivate;
    std::function<HRESULT(TCustomWebHost*, const QRect& border, bool frameWindow)> OnResizeBorder;
    std::function<HRESULT(TCustomWebHost*, int kind, const QPoint& pos, QObject* commandTarget)>
        OnShowContextMenu;
    std::function<HRESULT(TCustomWebHost*, int id)> OnShowUI;
    std::function<HRESULT(TCustomWebHost*, QKeyEvent* key)> OnTranslateAccelerator;
    std::function<HRESULT(TCustomWebHost*, const QString& url, QString& translated)> OnTranslateUrl;
    std::function<HRESULT(TCustomWebHost*)> OnUpdateUI;
    std::function<HRESULT(TCustomWebHost*, QDropEvent* event)> OnDragEnter;
    std::function<HRESULT(TCustomWebHost*)> OnDragLeave;
    std::function<HRESULT(TCustomWebHost*, QDropEvent* event)> OnDragOver2;
    std::function<HRESULT(TCustomWebHost*, QDropEvent* event)> OnDropEvent;
    std::function<void(TCustomWebHost*, int command, bool& cancel)> OnRefresh;
    std::function<void(TCustomWebHost*)> OnUnload;
    std::function<void(TCustomWebHost*, const QUuid& group, int cmdId, int cmdExecOpt,
                       const QVariant& input, QVariant* output, HRESULT& result)>
        OnCommandExec;
    std::function<QObject*(TCustomWebHost*, HostService service)> OnQueryService;
    std::function<HRESULT(TCustomWebHost*, const QString& url, const QString& name,
                          const QString& urlContext, bool userInitiated)>
        OnEvaluateNewWindow;
    std::function<HRESULT(TCustomWebHost*, const QString& url, const QString& mimeType)>
        OnFileDownload;
    std::function<void(TCustomWebHost*, int kind, QMenu* menu, QObject* commandTarget)>
        OnFilterPopupMenu;
    std::function<void(TCustomWebHost*, QChar key)> OnMaskedCtrlChar;
    std::function<void(TCustomWebHost*, int x, int y)> OnMove;
    std::function<void(TCustomWebHost*, int x, int y)> OnMoveBy;
    std::function<void(TCustomWebHost*, int cx, int cy)> OnResize;
    std::function<void(TCustomWebHost*, int cx, int cy)> OnResizeBy;

protected:
    // The host's own decisions, in the order the host site introduces them.
    virtual HRESULT controlKeyFilter(QKeyEvent* key);
    virtual HRESULT scriptErrorDecision(const QVariant& input, QVariant* output);
    virtual QObject* serviceLookup(HostService service);
    virtual bool popupFilteringWanted() const;
    virtual void filterPopupMenu(int kind, QMenu* menu, QObject* commandTarget);

    // Re-reads the flag words and host information and applies them to the page.
    void applyHostSettings();

    bool beforeNavigate(const QUrl& url, int navigationType, bool isMainFrame) override;
    void newWindowRequested(QWebEngineNewWindowRequest& request) override;
    void fileDownloadRequested(QWebEngineDownloadRequest* download) override;
    void showContextMenu(QContextMenuEvent* event) override;
    bool translateAccelerator(QKeyEvent* event) override;
    bool dragEvent(QEvent* event) override;
    void scriptErrorReported(const ScriptErrorInfo& error) override;
    bool refreshRequested(int command) override;
    void geometryRequested(const QRect& geometry) override;
    void documentStarting() override;
    void browserCreated() override;
    void pageDialog(PageDialogKind kind, const QString& message, const QString& defaultValue,
                    bool* accepted, QString* result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static int menuKind(const class QWebEngineContextMenuRequest* request);
    void notifyAmbientChange(int dispId);
    void stopScripts();
    void updateHostStyle(const QString& css);

    TDownloadControlOptions m_downloadOptions;
    TUserInterfaceOptions m_userInterfaceOptions;
    QString m_helpFile;
    QString m_optionKeyPath;
    bool m_overrideOptionKeyPath = false;
    TDropHandlingType m_dropHandlingType = ddtMS;
    TMenuContexts m_disabledPopupMenus;
    bool m_floatingHosting = false;
    TScriptErrorAction m_scriptErrorAction = eaContinue;
    quint32 m_downloadFlags = 0;
    quint32 m_hostUIFlags = 0;
    QString m_ctrlCharMask;
    bool m_userMode = true;
    bool m_scriptsCancelled = false;
    QString m_appliedCss;
    std::function<void(TCustomWebHost*, const QVariantMap&)> m_scriptErrorHandler;
};
