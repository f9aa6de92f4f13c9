#include "WebControl.h"

#include "EventWait.h"
#include "PageActionTexts.h"
#include "PageDialog.h"
#include "PagePrint.h"
#include "WebTools.h"

#include <QAction>
#include <QAuthenticator>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

Q_LOGGING_CATEGORY(lcWebControl, "vela.webview", QtWarningMsg)

namespace {

// Zoom factors of the five text sizes, smallest to largest.
constexpr double kTextSizeZoom[] = {0.7, 0.85, 1.0, 1.15, 1.3};

// How long the document probe after a load may take before the load completes without it.
constexpr int kProbeTimeoutMs = 3000;

} // namespace

// The WebEngine page: hands the questions a page asks to the control.
class WebEnginePage final : public QWebEnginePage {
public:
    WebEnginePage(QWebEngineProfile* profile, TWebControl* control)
        : QWebEnginePage(profile, nullptr), m_control(control) {}

    void triggerAction(WebAction action, bool checked = false) override {
        if (action == Reload && !m_control->refreshRequested(2300))
            return;
        if (action == ReloadAndBypassCache && !m_control->refreshRequested(6042))
            return;
        QWebEnginePage::triggerAction(action, checked);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        return m_control->beforeNavigate(url, static_cast<int>(type), isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl&, const QString& msg) override {
        m_control->pageDialog(PageDialogKind::Alert, msg, QString(), nullptr, nullptr);
    }
    bool javaScriptConfirm(const QUrl&, const QString& msg) override {
        bool accepted = false;
        m_control->pageDialog(PageDialogKind::Confirm, msg, QString(), &accepted, nullptr);
        return accepted;
    }
    bool javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                          QString* result) override {
        bool accepted = false;
        m_control->pageDialog(PageDialogKind::Prompt, msg, defaultValue, &accepted, result);
        return accepted;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override {
        // Uncaught exceptions reach the console as errors starting with "Uncaught".
        if (level != ErrorMessageLevel || !message.startsWith(QLatin1String("Uncaught")))
            return;
        ScriptErrorInfo info;
        info.Line = lineNumber;
        info.Url = sourceID;
        info.Message = message;
        m_control->scriptErrorReported(info);
    }

private:
    TWebControl* m_control;
};

// The WebEngine view: hands its context menu to the control.
class WebEngineView final : public QWebEngineView {
public:
    WebEngineView(TWebControl* control) : QWebEngineView(control), m_control(control) {}
    void defaultContextMenu(QContextMenuEvent* event) { QWebEngineView::contextMenuEvent(event); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override { m_control->showContextMenu(event); }

private:
    TWebControl* m_control;
};

const std::array<TWebControl::EventEntry, 34>& TWebControl::EventTable() {
    static const std::array<EventEntry, 34> table{{
        {"OnStatusTextChange", DispId::StatusTextChange},
        {"OnProgressChange", DispId::ProgressChange},
        {"OnCommandStateChange", DispId::CommandStateChange},
        {"OnDownloadBegin", DispId::DownloadBegin},
        {"OnDownloadComplete", DispId::DownloadComplete},
        {"OnTitleChange", DispId::TitleChange},
        {"OnPropertyChange", DispId::PropertyChange},
        {"OnBeforeNavigate2", DispId::BeforeNavigate2},
        {"OnNewWindow2", DispId::NewWindow2},
        {"OnNavigateComplete2", DispId::NavigateComplete2},
        {"OnDocumentComplete", DispId::DocumentComplete},
        {"OnQuit", DispId::Quit},
        {"OnVisible", DispId::OnVisible},
        {"OnToolBar", DispId::OnToolBar},
        {"OnMenuBar", DispId::OnMenuBar},
        {"OnStatusBar", DispId::OnStatusBar},
        {"OnFullScreen", DispId::OnFullScreen},
        {"OnTheaterMode", DispId::OnTheaterMode},
        {"OnAddressBar", DispId::OnAddressBar},
        {"OnWindowSetResizable", DispId::WindowSetResizable},
        {"OnWindowSetLeft", DispId::WindowSetLeft},
        {"OnWindowSetTop", DispId::WindowSetTop},
        {"OnWindowSetWidth", DispId::WindowSetWidth},
        {"OnWindowSetHeight", DispId::WindowSetHeight},
        {"OnWindowClosing", DispId::WindowClosing},
        {"OnClientToHostWindow", DispId::ClientToHostWindow},
        {"OnSetSecureLockIcon", DispId::SetSecureLockIcon},
        {"OnFileDownload", DispId::FileDownload},
        {"OnNavigateError", DispId::NavigateError},
        {"OnPrintTemplateInstantiation", DispId::PrintTemplateInstantiation},
        {"OnPrintTemplateTeardown", DispId::PrintTemplateTeardown},
        {"OnUpdatePageStatus", DispId::UpdatePageStatus},
        {"OnPrivacyImpactedStateChange", DispId::PrivacyImpactedStateChange},
        {"OnNewWindow3", DispId::NewWindow3},
    }};
    return table;
}

TWebControl::TWebControl(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_properties.insert(DispId::Visible, true);
    m_properties.insert(DispId::RegisterAsDropTarget, true);
    m_properties.insert(DispId::Resizable, true);
}

TWebControl::~TWebControl() {
    // The view and page go before the rest of the control, so that none of their last
    // signals reaches a half-destroyed host; the profile must outlive its page.
    if (m_page)
        m_page->disconnect(this);
    if (m_profile)
        m_profile->disconnect(this);
    delete m_view;
}

void TWebControl::ensureBrowser() {
    if (m_page)
        return;
    m_profile = BrowserProfile();
    m_view = new WebEngineView(this);
    m_page = new WebEnginePage(m_profile.get(), this);
    m_page->setParent(m_view);
    m_view->setPage(m_page);
    GiveJapaneseActionTexts(m_page);
    layout()->addWidget(m_view);
    setFocusProxy(m_view);
    m_view->setVisible(Visible());
    applyDropTarget();
    m_view->installEventFilter(this);
    for (QObject* child : m_view->children())
        watchChild(child);
    connectPage();
    if (m_zoom != 2)
        applyZoom(m_zoom);
    browserCreated();
}

void TWebControl::connectPage() {
    QWebEnginePage* page = m_page;
    connect(page, &QWebEnginePage::loadStarted, this, &TWebControl::onLoadStarted);
    // The loading info carries the error code, and for failures it arrives after
    // loadFinished; so the end of a load is taken from it.
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        qCDebug(lcWebControl) << "loading" << info.status() << info.url() << info.errorCode()
                              << info.errorDomain() << info.isErrorPage();
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            // An HTTP error page loads like any page; the error is reported all the same.
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                info.errorCode() >= 400)
                m_lastErrorCode = info.errorCode();
            onLoadFinished(true);
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            m_lastErrorCode = info.errorCode();
            onLoadFinished(false);
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            m_loadStopped = true;
            onLoadFinished(false);
            break;
        default:
            break;
        }
    });
    connect(page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        if (OnProgressChange)
            OnProgressChange(this, progress, 100);
    });
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (m_readyState != READYSTATE_LOADING)
            return;
        if (!m_sameDocumentTarget.isEmpty() && url == m_sameDocumentTarget) {
            completeSameDocument();
            return;
        }
        fireNavigateComplete();
        // The new document is committed: ask for its type now, so that the answer is
        // usually in by the time the load ends.
        startProbe(m_generation);
    });
    connect(page, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (OnTitleChange)
            OnTitleChange(this, title);
    });
    connect(page, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        m_properties.insert(DispId::StatusText, url);
        if (OnStatusTextChange)
            OnStatusTextChange(this, url);
    });
    connect(page, &QWebEnginePage::visibleChanged, this, [this](bool visible) {
        if (OnVisible)
            OnVisible(this, visible);
    });
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        bool cancel = false;
        if (OnWindowClosing)
            OnWindowClosing(this, false, cancel);
        if (!cancel)
            closeRequested();
    });
    connect(page, &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) {
                m_properties.insert(DispId::FullScreen, request.toggleOn());
                if (OnFullScreen) {
                    OnFullScreen(this, request.toggleOn());
                    request.accept();
                } else {
                    request.reject();
                }
            });
    connect(page, &QWebEnginePage::geometryChangeRequested, this,
            [this](const QRect& geometry) { geometryRequested(geometry); });
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) { newWindowRequested(request); });
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator, const QString& proxyHost) {
                answerProxyChallenge(authenticator, proxyHost);
            });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    m_rendererGone = true;
            });
    connect(m_profile.get(), &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest* download) {
                if (download->page() == m_page)
                    fileDownloadRequested(download);
            });
    for (auto [action, command] : {std::pair{QWebEnginePage::Back, CSC_NAVIGATEBACK},
                                   std::pair{QWebEnginePage::Forward, CSC_NAVIGATEFORWARD}}) {
        QAction* a = page->action(action);
        connect(a, &QAction::changed, this, [this, a, command] {
            bool& state = command == CSC_NAVIGATEBACK ? m_canGoBack : m_canGoForward;
            if (state == a->isEnabled())
                return;
            state = a->isEnabled();
            if (OnCommandStateChange)
                OnCommandStateChange(this, command, state);
        });
    }
}

void TWebControl::answerProxyChallenge(QAuthenticator* authenticator, const QString& proxyHost) {
    // The credentials go once per navigation. Anything else is refused with a null
    // authenticator: one merely left empty is sent as an empty login and asked again.
    const auto credentials = ProcessProxyCredentials(proxyHost);
    if (!credentials || m_proxyCredentialsOffered) {
        *authenticator = QAuthenticator();
        return;
    }
    m_proxyCredentialsOffered = true;
    authenticator->setUser(credentials->first);
    authenticator->setPassword(credentials->second);
}

void TWebControl::watchChild(QObject* child) {
    if (child && child->isWidgetType())
        child->installEventFilter(this);
}

bool TWebControl::IsEventAssigned(int dispId) const {
    switch (dispId) {
    case DispId::StatusTextChange:
        return bool(OnStatusTextChange);
    case DispId::ProgressChange:
        return bool(OnProgressChange);
    case DispId::CommandStateChange:
        return bool(OnCommandStateChange);
    case DispId::DownloadBegin:
        return bool(OnDownloadBegin);
    case DispId::DownloadComplete:
        return bool(OnDownloadComplete);
    case DispId::TitleChange:
        return bool(OnTitleChange);
    case DispId::PropertyChange:
        return bool(OnPropertyChange);
    case DispId::BeforeNavigate2:
        return bool(OnBeforeNavigate2);
    case DispId::NewWindow2:
        return bool(OnNewWindow2);
    case DispId::NavigateComplete2:
        return bool(OnNavigateComplete2);
    case DispId::DocumentComplete:
        return bool(OnDocumentComplete);
    case DispId::Quit:
        return bool(OnQuit);
    case DispId::OnVisible:
        return bool(OnVisible);
    case DispId::OnToolBar:
        return bool(OnToolBar);
    case DispId::OnMenuBar:
        return bool(OnMenuBar);
    case DispId::OnStatusBar:
        return bool(OnStatusBar);
    case DispId::OnFullScreen:
        return bool(OnFullScreen);
    case DispId::OnTheaterMode:
        return bool(OnTheaterMode);
    case DispId::OnAddressBar:
        return bool(OnAddressBar);
    case DispId::WindowSetResizable:
        return bool(OnWindowSetResizable);
    case DispId::WindowSetLeft:
        return bool(OnWindowSetLeft);
    case DispId::WindowSetTop:
        return bool(OnWindowSetTop);
    case DispId::WindowSetWidth:
        return bool(OnWindowSetWidth);
    case DispId::WindowSetHeight:
        return bool(OnWindowSetHeight);
    case DispId::WindowClosing:
        return bool(OnWindowClosing);
    case DispId::ClientToHostWindow:
        return bool(OnClientToHostWindow);
    case DispId::SetSecureLockIcon:
        return bool(OnSetSecureLockIcon);
    case DispId::FileDownload:
        return bool(OnFileDownload);
    case DispId::NavigateError:
        return bool(OnNavigateError);
    case DispId::PrintTemplateInstantiation:
        return bool(OnPrintTemplateInstantiation);
    case DispId::PrintTemplateTeardown:
        return bool(OnPrintTemplateTeardown);
    case DispId::UpdatePageStatus:
        return bool(OnUpdatePageStatus);
    case DispId::PrivacyImpactedStateChange:
        return bool(OnPrivacyImpactedStateChange);
    case DispId::NewWindow3:
        return bool(OnNewWindow3);
    default:
        return false;
    }
}

QVariant TWebControl::GetProperty(int dispId) const {
    switch (dispId) {
    case DispId::ReadyState:
        return m_readyState;
    case DispId::Document:
        return QVariant::fromValue(!Document().Empty);
    default:
        return m_properties.value(dispId, false);
    }
}

void TWebControl::SetProperty(int dispId, const QVariant& value) {
    m_properties.insert(dispId, value);
    if (!m_view)
        return; // applied when the view is made
    if (dispId == DispId::Visible)
        m_view->setVisible(value.toBool());
    else if (dispId == DispId::RegisterAsDropTarget)
        applyDropTarget();
}

void TWebControl::applyDropTarget() {
    const bool on = RegisterAsDropTarget();
    m_page->settings()->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, on);
    m_view->setAcceptDrops(on);
}

WebBrowser2* TWebControl::GetBrowserInterface() {
    if (!m_browser)
        m_browser = std::make_unique<WebBrowser2>(this);
    return m_browser.get();
}

void TWebControl::Stop(WebBrowser2* browser) {
    OleCheck(browser ? browser->Stop() : E_INVALIDARG, "Stop");
}

void TWebControl::Navigate2(WebBrowser2* browser, const QVariant& url, const QVariant& flags,
                            const QVariant& targetFrameName, const QVariant& postData,
                            const QVariant& headers) {
    OleCheck(browser ? browser->Navigate2(url, flags, targetFrameName, postData, headers)
                     : E_INVALIDARG,
             "Navigate2");
}

void TWebControl::ExecWB(WebBrowser2* browser, int cmdId, int cmdExecOpt, const QVariant& input) {
    m_lastFailure.clear();
    const HRESULT hr = browser ? browser->ExecWB(cmdId, cmdExecOpt, input, nullptr) : E_INVALIDARG;
    if (!Succeeded(hr) && !m_lastFailure.isEmpty())
        throw EOleSysError(hr, QStringLiteral("ExecWB: ") + m_lastFailure);
    OleCheck(hr, "ExecWB");
}

WebDocument TWebControl::Document() const {
    return m_rendererGone ? WebDocument{} : m_document;
}

QWebEngineView* TWebControl::View() const {
    const_cast<TWebControl*>(this)->ensureBrowser();
    return m_view;
}

QWebEnginePage* TWebControl::Page() const {
    const_cast<TWebControl*>(this)->ensureBrowser();
    return m_page;
}

QPrinter* TWebControl::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

void TWebControl::applyZoom(int textSize) {
    m_zoom = std::clamp(textSize, 0, 4);
    if (m_page)
        m_page->setZoomFactor(kTextSizeZoom[m_zoom]);
}

bool TWebControl::MainFrameAllowed(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("about") || scheme == QLatin1String("data");
}

bool TWebControl::beforeNavigate(const QUrl& url, int navigationType, bool isMainFrame) {
    if (isMainFrame && !MainFrameAllowed(url) &&
        !(url.isLocalFile() &&
          url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) == m_allowedLocalFile)) {
        qCDebug(lcWebControl) << "refused main-frame navigation" << url;
        return false;
    }
    bool cancel = false;
    if (OnBeforeNavigate2) {
        OnBeforeNavigate2(this, m_page, url.toString(), navigationType,
                          isMainFrame ? QString() : QStringLiteral("_frame"), QVariant(),
                          QVariant(), cancel);
    }
    if (!cancel && isMainFrame)
        documentStarting();
    return !cancel;
}

void TWebControl::newWindowRequested(QWebEngineNewWindowRequest& request) {
    qCDebug(lcWebControl) << "new window" << request.requestedUrl() << request.destination();
    QWebEnginePage* target = nullptr;
    bool cancel = false;
    if (OnNewWindow3) {
        OnNewWindow3(this, target, cancel, request.isUserInitiated() ? 0x2 : 0x0,
                     m_page->url().toString(), request.requestedUrl().toString());
    }
    if (!cancel && OnNewWindow2)
        OnNewWindow2(this, target, cancel);
    // Without a page to open in, the request is dropped: this control shows one page.
    if (cancel || !target)
        return;
    // WebEngine hands a new window only to a page of the same profile; one made before a
    // proxy change gets the address instead.
    if (target->profile() == m_profile.get())
        request.openIn(target);
    else
        target->load(request.requestedUrl());
}

void TWebControl::fileDownloadRequested(QWebEngineDownloadRequest* download) {
    bool cancel = false;
    if (OnFileDownload)
        OnFileDownload(this, false, cancel);
    // Nobody accepts it here, so WebEngine drops the download.
    if (cancel)
        download->cancel();
}

void TWebControl::showContextMenu(QContextMenuEvent* event) {
    showStandardContextMenu(event);
}

void TWebControl::showStandardContextMenu(QContextMenuEvent* event) {
    m_view->defaultContextMenu(event);
}

bool TWebControl::translateAccelerator(QKeyEvent*) {
    return false;
}

bool TWebControl::dragEvent(QEvent*) {
    return false;
}

void TWebControl::pageMouseEvent(QEvent*) {}

void TWebControl::scriptErrorReported(const ScriptErrorInfo& error) {
    // The control on its own asks the user whether scripts may go on.
    bool goOn = true;
    pageDialog(PageDialogKind::ScriptError,
               QStringLiteral("Line: %1\nError: %2\nURL: %3\n\nDo you want to continue running "
                              "scripts on this page?")
                   .arg(error.Line)
                   .arg(error.Message, error.Url),
               QString(), &goOn, nullptr);
    if (!goOn)
        m_page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // (The host site, when there is one, also clears the page's timers.)
}

bool TWebControl::refreshRequested(int) {
    return true;
}

void TWebControl::geometryRequested(const QRect& geometry) {
    if (OnWindowSetLeft)
        OnWindowSetLeft(this, geometry.x());
    if (OnWindowSetTop)
        OnWindowSetTop(this, geometry.y());
    if (OnWindowSetWidth)
        OnWindowSetWidth(this, geometry.width());
    if (OnWindowSetHeight)
        OnWindowSetHeight(this, geometry.height());
}

void TWebControl::closeRequested() {}

void TWebControl::pageDialog(PageDialogKind kind, const QString& message,
                             const QString& defaultValue, bool* accepted, QString* result) {
    if (Silent()) {
        if (accepted)
            *accepted = kind == PageDialogKind::ScriptError;
        return;
    }
    const bool isError = kind == PageDialogKind::ScriptError;
    const auto buttons = kind == PageDialogKind::Alert ? PageDialog::OkOnly
                         : isError                     ? PageDialog::YesNo
                                                       : PageDialog::OkCancel;
    QPointer<TWebControl> self(this);
    auto* dialog = new PageDialog(
        window(),
        QString::fromLatin1(isError ? PageDialog::ScriptErrorCaption : PageDialog::DefaultCaption),
        message, buttons, kind == PageDialogKind::Prompt, defaultValue);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<PageDialog> guard(dialog);
    const int answer = dialog->exec();
    if (accepted) {
        // A script-error question closed without "No" lets the scripts go on.
        *accepted = isError ? answer != PageDialog::NoAnswer : answer == QDialog::Accepted;
    }
    if (result && guard && answer == QDialog::Accepted)
        *result = guard->InputText();
    if (guard)
        guard->deleteLater();
}

void TWebControl::completeSameDocument() {
    m_sameDocumentTarget = QUrl();
    if (m_readyState != READYSTATE_LOADING)
        return;
    m_navigateCompleteFired = false;
    m_lastErrorCode = 0;
    completeLoad(m_generation, m_document.MimeType, true);
}

void TWebControl::onLoadStarted() {
    qCDebug(lcWebControl) << "load started" << m_page->requestedUrl();
    ++m_generation;
    m_readyState = READYSTATE_LOADING;
    m_navigateCompleteFired = false;
    m_lastErrorCode = 0;
    m_loadStopped = false;
    m_proxyCredentialsOffered = false;
    if (OnDownloadBegin)
        OnDownloadBegin(this);
}

void TWebControl::fireNavigateComplete() {
    if (m_navigateCompleteFired)
        return;
    m_navigateCompleteFired = true;
    if (OnNavigateComplete2)
        OnNavigateComplete2(this, m_page, m_page->url().toString());
}

void TWebControl::startProbe(int generation) {
    m_probeGeneration = generation;
    m_probeMimeType.reset();
    // WebEngine does not say what MIME type the document has; the document itself does.
    QPointer<TWebControl> self(this);
    m_page->runJavaScript(QStringLiteral("document.contentType"),
                          QWebEngineScript::ApplicationWorld,
                          [self, generation](const QVariant& result) {
                              if (!self || self->m_probeGeneration != generation)
                                  return;
                              self->m_probeMimeType = result.toString();
                              if (self->m_awaitingProbe == generation)
                                  self->completeLoad(generation, result.toString(), true);
                              else
                                  self->lateDocumentType(generation, result.toString());
                          });
}

// A busy page answers after the load has completed without its type; the answer still
// counts for the document it was asked about.
void TWebControl::lateDocumentType(int generation, const QString& mimeType) {
    if (generation == m_generation && m_readyState == READYSTATE_COMPLETE && !m_document.Empty &&
        !m_document.TypeKnown())
        m_document.MimeType = mimeType;
}

bool TWebControl::WaitForDocumentType(int timeoutMs) {
    if (m_document.Empty || m_document.TypeKnown())
        return true;
    QPointer<TWebControl> self(this);
    const int generation = m_generation;
    // The question asked at the load may have been lost with a replaced document: ask again.
    if (!(m_probeGeneration == generation && !m_probeMimeType))
        startProbe(generation);
    ServeEventsUntil(
        [&] {
            return !self || generation != m_generation || m_document.Empty ||
                   m_document.TypeKnown();
        },
        timeoutMs);
    return self && (m_document.Empty || m_document.TypeKnown());
}

void TWebControl::onLoadFinished(bool ok) {
    m_sameDocumentTarget = QUrl();
    qCDebug(lcWebControl) << "load finished" << ok << m_page->url();
    const int generation = m_generation;
    if (!ok) {
        completeLoad(generation, QString(), false);
        return;
    }
    if (m_probeGeneration == generation && m_probeMimeType) {
        completeLoad(generation, *m_probeMimeType, true);
        return;
    }
    m_awaitingProbe = generation;
    // A reload keeps its address, so nothing asked yet; and a probe sent at commit may have
    // met the document before it was replaced.
    startProbe(generation);
    QTimer::singleShot(kProbeTimeoutMs, this, [this, generation] {
        if (m_awaitingProbe == generation)
            completeLoad(generation, QString(), true);
    });
}

void TWebControl::completeLoad(int generation, const QString& mimeType, bool ok) {
    qCDebug(lcWebControl) << "complete" << generation << m_generation << mimeType << ok;
    if (generation != m_generation || m_readyState == READYSTATE_COMPLETE)
        return;
    m_awaitingProbe = -1;
    m_rendererGone = false;
    if (ok) {
        m_document = WebDocument{false, m_page->url(), mimeType};
        if (m_lastErrorCode != 0 && OnNavigateError) {
            bool cancel = false;
            OnNavigateError(this, m_page, m_page->url().toString(), QString(), m_lastErrorCode,
                            cancel);
        }
        fireNavigateComplete();
    } else {
        m_document = WebDocument{};
        if (!m_loadStopped) {
            bool cancel = false;
            if (OnNavigateError) {
                const QString url = m_page->requestedUrl().toString();
                OnNavigateError(this, m_page, url, QString(), m_lastErrorCode, cancel);
            }
        }
    }
    m_readyState = READYSTATE_COMPLETE;
    QPointer<TWebControl> self(this);
    if (OnSetSecureLockIcon)
        OnSetSecureLockIcon(this, ok && m_page->url().scheme() == QLatin1String("https") ? 2 : 0);
    if (self && OnDownloadComplete)
        OnDownloadComplete(this);
    if (self && ok && generation == m_generation && OnDocumentComplete)
        OnDocumentComplete(this, m_page, m_page->url().toString());
}

bool TWebControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view) {
        if (event->type() == QEvent::ChildAdded)
            watchChild(static_cast<QChildEvent*>(event)->child());
        // Drags reach the view itself when the page widget does not take drops.
        const QEvent::Type type = event->type();
        if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::DragLeave ||
             type == QEvent::Drop) &&
            dragEvent(event))
            return true;
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress:
        if (translateAccelerator(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        if (dragEvent(event))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::MouseButtonDblClick:
        pageMouseEvent(event);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TWebControl::keyPressEvent(QKeyEvent* event) {
    // Keys the page did not use come back here; let them go on to the form.
    event->ignore();
}
