// Printing and preview of the browser host.
#include "WebHost.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

bool TWebHost::WaitUntilReady() {
    // A control that was never navigated has nothing to wait for.
    if (ReadyState() == READYSTATE_UNINITIALIZED)
        return true;
    QPointer<TWebHost> self(this);
    QElapsedTimer elapsed;
    elapsed.start();
    // The event loop keeps running, so the window and the page go on while we wait.
    while (self && ReadyState() != READYSTATE_COMPLETE) {
        if (elapsed.elapsed() >= m_waitTimeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return self != nullptr;
}

void TWebHost::PrintDocument() {
    QPointer<TWebHost> self(this);
    if (!WaitUntilReady()) {
        if (!self)
            return;
        throw VelaError(QStringLiteral("The page did not finish loading within %1 seconds and "
                                       "was not printed.")
                            .arg(m_waitTimeoutMs / 1000.0));
    }
    WebBrowser2* browser = GetBrowserInterface();
    WebDocument document;
    OleCheck(browser->get_Document(&document), "Document");
    if (!document.SupportsHtmlDocument2())
        return;
    ExecWB(browser, OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, QVariant());
}

void TWebHost::ShowPrintPreview() {
    WebBrowser2* browser = GetBrowserInterface();
    WebDocument document;
    OleCheck(browser->get_Document(&document), "Document");
    if (!document.SupportsHtmlDocument2())
        return;
    ExecWB(browser, OLECMDID_PRINTPREVIEW, OLECMDEXECOPT_DONTPROMPTUSER, QVariant());
}
