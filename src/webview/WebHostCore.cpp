#include "WebHostCore.h"

#include "PageDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

const QUuid CGID_Explorer(QStringLiteral("{000214D0-0000-0000-C000-000000000046}"));
const QUuid CGID_DocHostCommandHandler(QStringLiteral("{F38BC242-B950-11D1-8918-00C04FC2C836}"));

namespace {

constexpr auto kHostStyleScript = "vela-host-css";

} // namespace

TCustomWebHost::TCustomWebHost(QWidget* parent) : TWebControl(parent) {
    m_scriptErrorAction = eaContinue;
    SetDownloadOptions({DownloadImages, DownloadVideos, DownloadBGSounds});
    SetUserInterfaceOptions({});
    SetDropHandlingType(ddtMS);
    m_ctrlCharMask = QStringLiteral("N");
}

TCustomWebHost::~TCustomWebHost() = default;

void TCustomWebHost::SetDownloadOptions(const TDownloadControlOptions& options) {
    m_downloadOptions = options;
    quint32 word = 0;
    for (int i = 0; i <= WorkOffline; ++i) {
        if (options.Contains(static_cast<TDownloadControlOption>(i)))
            word += kDownloadControlFlags[i];
    }
    m_downloadFlags = word;
    // The control asks again even when the value did not change.
    notifyAmbientChange(DISPID_AMBIENT_DLCONTROL);
}

void TCustomWebHost::SetUserInterfaceOptions(const TUserInterfaceOptions& options) {
    m_userInterfaceOptions = options;
    quint32 word = 0;
    for (int i = 0; i <= ForceUserActivationOnActiveXJava; ++i) {
        if (options.Contains(static_cast<TUserInterfaceOption>(i)))
            word += kUserInterfaceFlags[i];
    }
    m_hostUIFlags = word;
    notifyAmbientChange(DISPID_AMBIENT_DLCONTROL);
}

void TCustomWebHost::notifyAmbientChange(int) {
    applyHostSettings();
}

void TCustomWebHost::browserCreated() {
    m_appliedCss.clear();
    applyHostSettings();
}

void TCustomWebHost::applyHostSettings() {
    if (!HasBrowser())
        return; // browserCreated() applies them
    QVariant value;
    AmbientProperty(DISPID_AMBIENT_DLCONTROL, value, false);
    const quint32 dl = value.toUInt();
    DocHostUIInfo info;
    GetHostInfo(info);
    QWebEngineSettings* s = Page()->settings();
    s->setAttribute(QWebEngineSettings::AutoLoadImages, dl & DLCTL_DLIMAGES);
    s->setAttribute(QWebEngineSettings::JavascriptEnabled,
                    !(dl & DLCTL_NO_SCRIPTS) && !m_scriptsCancelled);
    s->setAttribute(QWebEngineSettings::PluginsEnabled,
                    !(dl & (DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS)));
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, !(dl & DLCTL_VIDEOS));
    // Script pop-ups are only let through when someone takes new windows; otherwise each
    // one would cost a discarded page.
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows,
                    IsEventAssigned(DispId::NewWindow2) || IsEventAssigned(DispId::NewWindow3) ||
                        bool(OnEvaluateNewWindow) ||
                        m_userInterfaceOptions.Contains(ForceSameWindowNavigation));
    s->setAttribute(QWebEngineSettings::ShowScrollBars, !(info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO));
    // A local page never reads other local files, whatever the host's flags say.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled,
                    !(info.dwFlags & DOCHOSTUIFLAG_ACTIVATE_CLIENTHIT_ONLY));
    QString css = info.pchHostCss;
    if (info.dwFlags & DOCHOSTUIFLAG_DIALOG)
        css += QStringLiteral("\n*{-webkit-user-select:none;user-select:none}");
    updateHostStyle(css);
}

void TCustomWebHost::updateHostStyle(const QString& css) {
    if (css == m_appliedCss)
        return;
    m_appliedCss = css;
    QWebEngineScriptCollection& scripts = Page()->scripts();
    for (const QWebEngineScript& old : scripts.find(QString::fromLatin1(kHostStyleScript)))
        scripts.remove(old);
    if (css.isEmpty())
        return;
    // The host's sheet goes first in the head, so the page's own rules win over it.
    const QString literal =
        QString::fromUtf8(QJsonDocument(QJsonArray{css}).toJson(QJsonDocument::Compact));
    QWebEngineScript script;
    script.setName(QString::fromLatin1(kHostStyleScript));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(
        QStringLiteral(
            "(function(){var s=document.createElement('style');s.textContent=%1[0];"
            "var "
            "p=document.head||document.documentElement;if(p)p.insertBefore(s,p.firstChild);})();")
            .arg(literal));
    scripts.insert(script);
}

void TCustomWebHost::SetDropHandlingType(TDropHandlingType v) {
    m_dropHandlingType = v;
    // The page is the drop target for ddtMS and the host's handlers take the drops for
    // ddtMy and ddtCustom; ddtNo refuses drops.
    SetRegisterAsDropTarget(v != ddtNo);
}

HRESULT TCustomWebHost::GetHostInfo(DocHostUIInfo& info) {
    info.cbSize = 20;
    info.dwFlags = m_hostUIFlags;
    info.dwDoubleClick = 0;
    if (OnGetHostInfo)
        return OnGetHostInfo(this, info);
    return S_OK;
}

HRESULT TCustomWebHost::AmbientProperty(int dispId, QVariant& value, bool write) {
    if (dispId == DISPID_AMBIENT_DLCONTROL && !write) {
        value = m_downloadFlags;
        return S_OK;
    }
    if (dispId == DISPID_AMBIENT_USERMODE) {
        if (write)
            m_userMode = value.toBool();
        else
            value = m_userMode;
        return S_OK;
    }
    // Nothing else is known here; the platform's default would answer "member not found".
    if (OnInvoke)
        return OnInvoke(this, dispId, write, value);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT TCustomWebHost::GetOptionKeyPath(QString* path, bool override) const {
    if (path) {
        *path = !m_optionKeyPath.isEmpty() && override == m_overrideOptionKeyPath ? m_optionKeyPath
                                                                                  : QString();
    }
    return S_OK;
}

HRESULT TCustomWebHost::Exec(const QUuid& group, int cmdId, int cmdExecOpt, const QVariant& input,
                             QVariant* output) {
    HRESULT result = OLECMDERR_E_NOTSUPPORTED;
    if (group == CGID_Explorer && cmdId == 37 && OnUnload) {
        OnUnload(this);
        return S_OK;
    }
    if (group == CGID_DocHostCommandHandler) {
        if (cmdId == 40)
            return scriptErrorDecision(input, output);
        if ((cmdId == 2300 || cmdId == 6041 || cmdId == 6042) && OnRefresh) {
            bool cancel = false;
            OnRefresh(this, cmdId, cancel);
            if (cancel)
                return S_OK;
        }
    }
    if (OnCommandExec)
        OnCommandExec(this, group, cmdId, cmdExecOpt, input, output, result);
    return result;
}

HRESULT TCustomWebHost::scriptErrorDecision(const QVariant& input, QVariant* output) {
    HRESULT result = S_OK;
    switch (m_scriptErrorAction) {
    case eaContinue:
        if (output)
            *output = true;
        break;
    case eaCancel:
        if (output)
            *output = false;
        break;
    case eaAskUser:
        result = S_FALSE;
        break;
    }
    if (m_scriptErrorHandler)
        m_scriptErrorHandler(this, input.toMap());
    return result;
}

QObject* TCustomWebHost::QueryService(HostService service) {
    return serviceLookup(service);
}

QObject* TCustomWebHost::serviceLookup(HostService service) {
    switch (service) {
    case HostService::NewWindowManager:
        if (OnEvaluateNewWindow)
            return this;
        break;
    case HostService::DownloadManager:
        if (OnFileDownload)
            return this;
        break;
    case HostService::WindowServices:
        if (m_floatingHosting || OnMove || OnMoveBy || OnResize || OnResizeBy)
            return this;
        break;
    case HostService::Other:
        break;
    }
    return OnQueryService ? OnQueryService(this, service) : nullptr;
}

bool TCustomWebHost::popupFilteringWanted() const {
    return bool(OnFilterPopupMenu);
}

void TCustomWebHost::filterPopupMenu(int kind, QMenu* menu, QObject* commandTarget) {
    if (OnFilterPopupMenu)
        OnFilterPopupMenu(this, kind, menu, commandTarget);
}

int TCustomWebHost::menuKind(const QWebEngineContextMenuRequest* request) {
    if (!request)
        return rcmDefault;
    if (request->isContentEditable())
        return rcmControl;
    if (!request->linkUrl().isEmpty())
        return rcmAnchor;
    if (request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage)
        return rcmImage;
    if (!request->selectedText().isEmpty())
        return rcmSelText;
    if (request->mediaType() != QWebEngineContextMenuRequest::MediaTypeNone)
        return rcmUnKnown;
    return rcmDefault;
}

void TCustomWebHost::showContextMenu(QContextMenuEvent* event) {
    const int kind = menuKind(View()->lastContextMenuRequest());
    if (ShowContextMenu(kind, event->globalPos(), Page()) == S_FALSE)
        showStandardContextMenu(event);
}

HRESULT TCustomWebHost::ShowContextMenu(int kind, const QPoint& globalPos, QObject* commandTarget) {
    if (OnShowContextMenu)
        return OnShowContextMenu(this, kind, globalPos, commandTarget);
    if (m_disabledPopupMenus.Contains(rcmAll) ||
        (kind >= 0 && kind < rcmAll &&
         m_disabledPopupMenus.Contains(static_cast<TMenuContext>(kind))))
        return S_OK;
    if (!popupFilteringWanted())
        return S_FALSE;
    // WebEngine's standard menu stands for the platform's menu resource.
    QMenu* menu = View()->createStandardContextMenu();
    if (!menu)
        return S_FALSE;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    filterPopupMenu(kind, menu, commandTarget);
    menu->popup(globalPos);
    return S_OK;
}

HRESULT TCustomWebHost::controlKeyFilter(QKeyEvent* key) {
    if (!m_ctrlCharMask.isEmpty() && key->type() == QEvent::KeyPress &&
        (key->modifiers() & Qt::ControlModifier) && key->key() > 0 && key->key() < 0x80) {
        const QChar ch(key->key());
        if (m_ctrlCharMask.contains(ch)) {
            if (OnMaskedCtrlChar)
                OnMaskedCtrlChar(this, ch);
            return S_OK;
        }
    }
    if (OnTranslateAccelerator)
        return OnTranslateAccelerator(this, key);
    return S_FALSE;
}

bool TCustomWebHost::translateAccelerator(QKeyEvent* event) {
    return controlKeyFilter(event) == S_OK;
}

bool TCustomWebHost::dragEvent(QEvent* event) {
    if (m_dropHandlingType != ddtMy && m_dropHandlingType != ddtCustom)
        return false;
    QObject* target = this;
    if (m_dropHandlingType == ddtCustom && OnGetDropTarget)
        OnGetDropTarget(this, target);
    // The host is the drop target: the event ends here and does not go on to the page.
    if (event->type() != QEvent::DragLeave)
        static_cast<QDropEvent*>(event)->acceptProposedAction();
    if (target && target != this) {
        QCoreApplication::sendEvent(target, event);
        return true;
    }
    switch (event->type()) {
    case QEvent::DragEnter:
        if (OnDragEnter)
            OnDragEnter(this, static_cast<QDropEvent*>(event));
        break;
    case QEvent::DragMove:
        if (OnDragOver2)
            OnDragOver2(this, static_cast<QDropEvent*>(event));
        break;
    case QEvent::DragLeave:
        if (OnDragLeave)
            OnDragLeave(this);
        break;
    case QEvent::Drop:
        if (OnDropEvent)
            OnDropEvent(this, static_cast<QDropEvent*>(event));
        break;
    default:
        break;
    }
    return true;
}

void TCustomWebHost::scriptErrorReported(const ScriptErrorInfo& error) {
    const QVariantMap values{{QStringLiteral("errorline"), error.Line},
                             {QStringLiteral("errorUrl"), error.Url},
                             {QStringLiteral("errorMessage"), error.Message},
                             {QStringLiteral("errorCode"), error.Code},
                             {QStringLiteral("errorCharacter"), error.Character}};
    QVariant goOn;
    const HRESULT hr = Exec(CGID_DocHostCommandHandler, 40, 0, values, &goOn);
    if (hr == S_OK) {
        if (!goOn.toBool())
            stopScripts();
        return;
    }
    TWebControl::scriptErrorReported(error);
}

void TCustomWebHost::stopScripts() {
    m_scriptsCancelled = true;
    // Turning scripts off does not end the timers already set; clear those first, in the
    // page's own world, then turn scripts off for the rest of the page.
    QPointer<TCustomWebHost> self(this);
    Page()->runJavaScript(
        QStringLiteral("(function(){var last=setTimeout(function(){},0);"
                       "for(var i=last;i>0;--i){clearTimeout(i);clearInterval(i);}})();"),
        QWebEngineScript::MainWorld, [self](const QVariant&) {
            if (self && self->m_scriptsCancelled)
                self->Page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled,
                                                       false);
        });
}

bool TCustomWebHost::refreshRequested(int command) {
    return Exec(CGID_DocHostCommandHandler, command, 0, QVariant(), nullptr) != S_OK;
}

void TCustomWebHost::geometryRequested(const QRect& geometry) {
    if (QueryService(HostService::WindowServices)) {
        QWidget* form = window();
        const QRect current = form ? form->geometry() : QRect();
        if (geometry.topLeft() != current.topLeft()) {
            if (m_floatingHosting && form && form != this)
                form->move(geometry.topLeft());
            if (OnMove)
                OnMove(this, geometry.x(), geometry.y());
        }
        if (geometry.size() != current.size()) {
            if (m_floatingHosting && form && form != this)
                form->resize(geometry.size());
            if (OnResize)
                OnResize(this, geometry.width(), geometry.height());
        }
    }
    TWebControl::geometryRequested(geometry);
}

bool TCustomWebHost::beforeNavigate(const QUrl& url, int navigationType, bool isMainFrame) {
    if (!isMainFrame && (m_downloadFlags & DLCTL_NO_FRAMEDOWNLOAD))
        return false;
    if (isMainFrame && OnTranslateUrl) {
        QString translated;
        if (OnTranslateUrl(this, url.toString(), translated) == S_OK && !translated.isEmpty() &&
            QUrl(translated) != url) {
            Page()->load(QUrl(translated));
            return false;
        }
    }
    return TWebControl::beforeNavigate(url, navigationType, isMainFrame);
}

void TCustomWebHost::documentStarting() {
    if (!Document().Empty)
        Exec(CGID_Explorer, 37, 0, QVariant(), nullptr);
    // A script cancel holds for one page only; the host is asked again for the next one.
    m_scriptsCancelled = false;
    applyHostSettings();
}

void TCustomWebHost::newWindowRequested(QWebEngineNewWindowRequest& request) {
    if (QueryService(HostService::NewWindowManager)) {
        const HRESULT hr = OnEvaluateNewWindow(this, request.requestedUrl().toString(), QString(),
                                               Page()->url().toString(), request.isUserInitiated());
        if (hr == S_FALSE)
            return; // blocked
    }
    if (m_userInterfaceOptions.Contains(ForceSameWindowNavigation)) {
        Page()->load(request.requestedUrl());
        return;
    }
    TWebControl::newWindowRequested(request);
}

void TCustomWebHost::fileDownloadRequested(QWebEngineDownloadRequest* download) {
    if (QueryService(HostService::DownloadManager)) {
        const HRESULT hr = OnFileDownload(this, download->url().toString(), download->mimeType());
        if (hr == S_OK) {
            // The host took the download over.
            download->cancel();
            return;
        }
    }
    TWebControl::fileDownloadRequested(download);
}

void TCustomWebHost::pageDialog(PageDialogKind kind, const QString& message,
                                const QString& defaultValue, bool* accepted, QString* result) {
    if (OnShowMessage && kind != PageDialogKind::Prompt) {
        int answer = 0;
        const int type =
            kind == PageDialogKind::Alert ? 0x30 : 0x21; // MB_ICONWARNING, MB_OKCANCEL|question
        if (OnShowMessage(this, message, QString::fromLatin1(PageDialog::DefaultCaption), type,
                          answer) == S_OK) {
            if (accepted)
                *accepted = answer == 1 || answer == 6; // IDOK, IDYES
            return;
        }
    }
    QPointer<TCustomWebHost> self(this);
    if (OnEnableModeless)
        OnEnableModeless(this, false);
    TWebControl::pageDialog(kind, message, defaultValue, accepted, result);
    if (self && OnEnableModeless)
        OnEnableModeless(this, true);
}

void TCustomWebHost::FocusDocument() {
    if (Document().Empty)
        return;
    View()->setFocus(Qt::OtherFocusReason);
}

void TCustomWebHost::FocusParent() {
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    setGeometry(0, 0, parent->width(), parent->height());
    update();
    parent->setFocus(Qt::OtherFocusReason);
}

bool TCustomWebHost::eventFilter(QObject* watched, QEvent* event) {
    if (!HasBrowser() || watched != View()) {
        if (event->type() == QEvent::FocusIn && OnShowUI)
            OnShowUI(this, 0);
        else if (event->type() == QEvent::FocusOut && OnHideUI)
            OnHideUI(this);
    }
    return TWebControl::eventFilter(watched, event);
}

void TCustomWebHost::resizeEvent(QResizeEvent* event) {
    TWebControl::resizeEvent(event);
    if (OnResizeBorder)
        OnResizeBorder(this, rect(), true);
}

void TCustomWebHost::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && OnOnFrameWindowActivate)
        OnOnFrameWindowActivate(this, isActiveWindow());
    TWebControl::changeEvent(event);
}
