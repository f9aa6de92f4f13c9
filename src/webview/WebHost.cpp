#include "WebHost.h"

#include "BrowserSettings.h"
#include "PageDialog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <cfenv>

namespace {

// Unit state: what start-up saved and what shutdown has to undo.
struct UnitState {
    std::fenv_t savedFenv{};
    bool fenvSaved = false;
    bool proxySet = false;
    bool soundDisabled = false;
    bool ownerHooked = false;
    QStringList registeredTokens;
    QString baseUserAgent;
};

UnitState& unit() {
    static UnitState state;
    return state;
}

QWebEnginePage::WebAction webActionOf(TContextMenuItem item) {
    switch (item) {
    case rcsBack:
        return QWebEnginePage::Back;
    case rcsForward:
        return QWebEnginePage::Forward;
    case rcsSavePageBkg:
        return QWebEnginePage::SavePage;
    case rcsCopyBkg:
        return QWebEnginePage::CopyImageToClipboard;
    case rcsSelectAll:
        return QWebEnginePage::SelectAll;
    case rcsPaste:
        return QWebEnginePage::Paste;
    case rcsRefresh:
        return QWebEnginePage::Reload;
    case rcsViewSource:
        return QWebEnginePage::ViewSource;
    case rcsProperties:
        return QWebEnginePage::InspectElement;
    case rcsOpenNWindow:
        return QWebEnginePage::OpenLinkInNewWindow;
    case rcsOpenLink:
        return QWebEnginePage::OpenLinkInThisWindow;
    default:
        return QWebEnginePage::NoWebAction; // no WebEngine counterpart
    }
}

int shiftState() {
    int shift = 0;
    const Qt::KeyboardModifiers mods = QApplication::queryKeyboardModifiers();
    const Qt::MouseButtons buttons = QApplication::mouseButtons();
    if (mods & Qt::ShiftModifier)
        shift |= 1;
    if (mods & Qt::AltModifier)
        shift |= 2;
    if (mods & Qt::ControlModifier)
        shift |= 4;
    if (buttons & Qt::LeftButton)
        shift |= 8;
    if (buttons & Qt::RightButton)
        shift |= 16;
    if (buttons & Qt::MiddleButton)
        shift |= 32;
    return shift;
}

} // namespace

QString TShortCuts::CtrlCharMask() const {
    return m_host->CtrlCharMask();
}

void TShortCuts::SetCtrlCharMask(const QString& mask) {
    m_host->SetCtrlCharMask(mask);
}

bool TShortCuts::has(char c) const {
    return m_host->CtrlCharMask().contains(QLatin1Char(c));
}

void TShortCuts::set(char c, bool on) {
    QString mask = m_host->CtrlCharMask();
    const qsizetype at = mask.indexOf(QLatin1Char(c));
    if (on && at < 0)
        mask.append(QLatin1Char(c));
    else if (!on && at >= 0)
        mask.remove(at, 1);
    m_host->SetCtrlCharMask(mask);
}

void TDisableErrors::SetfpExceptions(bool value) {
    m_fpExceptions = value;
    if (!value) {
        std::fenv_t env;
        std::feholdexcept(&env); // masks every exception, as control word 0x133F does
    } else if (unit().fenvSaved) {
        std::fesetenv(&unit().savedFenv);
    }
}

TWebHost::TWebHost(QWidget* parent) : TCustomWebHost(parent) {
    m_about = QString::fromLatin1(AboutText);
    m_userAgent = QStringLiteral("Tarn's");
    m_printOptions = std::make_unique<TPrintOptions>();
    m_proxySettings = std::make_unique<TProxySettings>();
    m_shortCuts = std::make_unique<TShortCuts>(this);
    m_disableErrors = std::make_unique<TDisableErrors>();
    m_dialogBoxes = std::make_unique<TDialogBoxes>();
    m_visualEffects = std::make_unique<TVisualEffects>();
    m_enableMessageHandler = true;
}

void TWebHost::browserCreated() {
    connect(Page(), &QWebEnginePage::titleChanged, this, [this](const QString& t) { iTitle = t; });
    applyUserAgent();
    TCustomWebHost::browserCreated();
}

TWebHost::~TWebHost() {
    try {
        if (m_visualEffects->TextSize != 2 && HasBrowser()) {
            WebBrowser2* browser = GetBrowserInterface();
            QVariant range;
            if (Succeeded(browser->ExecWB(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER,
                                          QVariant(), &range))) {
                const int low = range.toInt() & 0xFFFF;
                const int high = (range.toInt() >> 16) & 0xFFFF;
                browser->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER,
                                std::clamp(2, low, high), nullptr);
            }
        }
    } catch (...) {
        // Destruction always completes.
    }
    if (m_hooks) {
        if (m_hookedOwner)
            m_hookedOwner->removeEventFilter(this);
        unit().ownerHooked = false;
    }
}

void TWebHost::SetHostCSS(const QString& v) {
    m_hostCss = v;
    applyHostSettings();
}

HRESULT TWebHost::GetHostInfo(DocHostUIInfo& info) {
    const HRESULT hr = TCustomWebHost::GetHostInfo(info);
    if (info.pchHostCss.isEmpty() && !m_hostCss.isEmpty())
        info.pchHostCss = m_hostCss;
    if (info.pchHostNS.isEmpty() && !m_hostNs.isEmpty())
        info.pchHostNS = m_hostNs;
    return hr;
}

void TWebHost::Loaded() {
    if (m_loaded)
        return;
    m_loaded = true;
    m_enableMessageHandler = true;
    if (m_disableErrors->ScriptErrorsSuppressed)
        SetScriptErrorAction(eaContinue);
    // The dialog hook: one host per process, and only on an owner form of its own.
    QWidget* owner = window();
    if (!unit().ownerHooked && owner && owner != this) {
        owner->installEventFilter(this);
        m_hookedOwner = owner;
        m_hooks = true;
        unit().ownerHooked = true;
    }
    registerUserAgent();
    if (m_proxySettings->AutoLoadProxy && !m_proxySettings->Address.isEmpty()) {
        SetProcessProxy(m_proxySettings->Address, m_proxySettings->Port, m_proxySettings->UserName,
                        m_proxySettings->Password);
        unit().proxySet = true;
    }
    if (m_visualEffects->DisableSounds) {
        DisableNavigationSound(true);
        unit().soundDisabled = true;
    }
    if (m_visualEffects->TextSize != 2)
        applyZoom(m_visualEffects->TextSize);
    // The browser is made only now: WebEngine reads the proxy when the page's profile starts.
    View();
    applyHostSettings();
}

void TWebHost::registerUserAgent() {
    if (m_userAgent != QLatin1String(AboutText))
        m_userAgent += QLatin1String(AboutText);
    if (RegisterUserAgentToken(m_userAgent) && !unit().registeredTokens.contains(m_userAgent))
        unit().registeredTokens << m_userAgent;
    if (HasBrowser())
        applyUserAgent();
}

void TWebHost::applyUserAgent() {
    QWebEngineProfile* profile = Page()->profile();
    if (unit().baseUserAgent.isEmpty())
        unit().baseUserAgent = profile->httpUserAgent();
    profile->setHttpUserAgent(ComposeUserAgent(unit().baseUserAgent, PostPlatformTokens()));
}

void TWebHost::NavigateUrl(const QString& url) {
    if (url.trimmed().isEmpty())
        return;
    Navigate2(GetBrowserInterface(), url, 0, 0, 0, 0);
}

bool TWebHost::popupFilteringWanted() const {
    return TCustomWebHost::popupFilteringWanted() || !m_disabledPopupMenuItems.IsEmpty();
}

void TWebHost::filterPopupMenu(int kind, QMenu* menu, QObject* commandTarget) {
    TCustomWebHost::filterPopupMenu(kind, menu, commandTarget);
    for (int i = rcsBack; i <= rcsOpenLink; ++i) {
        const auto item = static_cast<TContextMenuItem>(i);
        if (!m_disabledPopupMenuItems.Contains(item))
            continue;
        const QWebEnginePage::WebAction action = webActionOf(item);
        if (action != QWebEnginePage::NoWebAction)
            menu->removeAction(Page()->action(action));
    }
}

void TWebHost::closeRequested() {
    QPointer<TWebHost> self(this);
    GetBrowserInterface()->Stop();
    if (OnWindowClose)
        OnWindowClose(this);
    bool canClose = true;
    if (self && OnCloseQuery)
        OnCloseQuery(this, canClose); // the answer is not used
}

void TWebHost::documentStarting() {
    TCustomWebHost::documentStarting();
    iNavi = true;
    // The navigation click, unless its sound was switched off.
    if (NavigationSoundEnabled())
        QApplication::beep();
}

void TWebHost::fireMouse(const std::function<void(TWebHost*, int, int, int)>& handler, QPoint pos) {
    if (handler)
        handler(this, shiftState(), pos.x(), pos.y());
}

void TWebHost::pageMouseEvent(QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mapFromGlobal(mouse->globalPosition().toPoint());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        fireMouse(OnMouseDown, pos);
        break;
    case QEvent::MouseButtonRelease:
        fireMouse(OnMouseUp, pos);
        break;
    case QEvent::MouseMove:
        fireMouse(OnMouseMove, pos);
        break;
    default:
        break;
    }
}

void TWebHost::enterEvent(QEnterEvent* event) {
    TCustomWebHost::enterEvent(event);
    fireMouse(OnMouseEnter, mapFromGlobal(QCursor::pos()));
}

void TWebHost::leaveEvent(QEvent* event) {
    TCustomWebHost::leaveEvent(event);
    fireMouse(OnMouseLeave, mapFromGlobal(QCursor::pos()));
}

void TWebHost::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the page, not to the form's default button.
    if (m_enableMessageHandler &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        return;
    }
    TCustomWebHost::keyPressEvent(event);
}

bool TWebHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_hookedOwner && event->type() == QEvent::WindowDeactivate) {
        if (ownerActivationChanged())
            return true;
        return false;
    }
    return TCustomWebHost::eventFilter(watched, event);
}

bool TWebHost::ownerActivationChanged() {
    // The window taking activation from the owner form.
    QWidget* taking = QApplication::activeWindow();
    if (!taking || taking == m_hookedOwner)
        return false;
    const QString className = WindowClassName(taking);
    if (className == QLatin1String("#32770") ||
        className == QLatin1String("Internet Explorer_TridentDlgFrame")) {
        if (m_dialogBoxes->DisableAll)
            taking->close();
        if (m_dialogBoxes->ReplaceIcon)
            taking->setWindowIcon(QApplication::windowIcon());
        QString examined = className;
        if (m_dialogBoxes->ReplaceCaption) {
            if (m_dialogBoxes->NewCaption.isEmpty())
                m_dialogBoxes->NewCaption = QStringLiteral("Web Browser");
            examined = ReplaceDialogCaption(taking->windowTitle(), m_dialogBoxes->NewCaption);
            taking->setWindowTitle(examined);
        }
        examined = examined.toUpper();
        if (m_disableErrors->ScriptErrorsSuppressed) {
            if (examined.contains(QLatin1String("SCRIPT"))) {
                // Answer the dialog as a click would, then close it.
                QPointer<QWidget> dialog(taking);
                const QPointF centre = QRectF(taking->rect()).center();
                QApplication::postEvent(taking,
                                        new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                        taking->mapToGlobal(centre), Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
                QApplication::postEvent(taking,
                                        new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                        taking->mapToGlobal(centre), Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
                taking->close();
                QApplication::processEvents();
                return true;
            }
            if (examined.contains(QLatin1String("ERROR"))) {
                // Destroyed: the dialog ends without a say in it.
                if (auto* dialog = qobject_cast<QDialog*>(taking))
                    dialog->done(QDialog::Rejected);
                taking->hide();
                return true;
            }
        }
    }
    if (OnShowDialog)
        OnShowDialog(this, taking);
    return false;
}

void WebHostInitialization() {
    UnitState& s = unit();
    s.fenvSaved = std::fegetenv(&s.savedFenv) == 0;
    s.proxySet = false;
    s.soundDisabled = false;
    s.ownerHooked = false;
}

void WebHostFinalization() {
    UnitState& s = unit();
    if (s.proxySet) {
        ResetProcessProxy();
        s.proxySet = false;
    }
    if (s.soundDisabled) {
        DisableNavigationSound(false);
        s.soundDisabled = false;
    }
    for (const QString& token : std::as_const(s.registeredTokens))
        RemoveUserAgentToken(token);
    s.registeredTokens.clear();
    if (s.fenvSaved)
        std::fesetenv(&s.savedFenv);
}
