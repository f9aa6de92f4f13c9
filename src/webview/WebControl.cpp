// The control itself: its view and page made on first use, its event table and forwarded
// properties, the programming interface and the input it watches.
#include "BrowserSettings.h"
#include "PageActionTexts.h"
#include "WebControlParts.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

Q_LOGGING_CATEGORY(lcWebControl, "vela.webview", QtWarningMsg)

namespace {

// Zoom factors of the five text sizes, smallest to largest.
constexpr double kTextSizeZoom[] = {0.7, 0.85, 1.0, 1.15, 1.3};

} // namespace

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

void TWebControl::applyZoom(int textSize) {
    m_zoom = std::clamp(textSize, 0, 4);
    if (m_page)
        m_page->setZoomFactor(kTextSizeZoom[m_zoom]);
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
