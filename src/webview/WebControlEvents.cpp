// Navigation and page events of the control: the page's signals, the navigation hooks' own
// behaviour, page dialogs, and the course of a load up to its completion.
#include "BrowserSettings.h"
#include "EventWait.h"
#include "PageDialog.h"
#include "WebControlParts.h"

#include <QAction>
#include <QAuthenticator>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {

// How long the document probe after a load may take before the load completes without it.
constexpr int kProbeTimeoutMs = 3000;

} // namespace

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
