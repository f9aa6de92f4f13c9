// Printing and preview of the browser host.
#include "EventWait.h"
#include "WebHost.h"

#include <QPointer>

bool TWebHost::WaitUntilReady() {
    // A control that was never navigated has nothing to wait for.
    if (ReadyState() == READYSTATE_UNINITIALIZED)
        return true;
    QPointer<TWebHost> self(this);
    ServeEventsUntil([&] { return !self || ReadyState() == READYSTATE_COMPLETE; }, m_waitTimeoutMs);
    return self && ReadyState() == READYSTATE_COMPLETE;
}

bool TWebHost::htmlDocumentShown(WebBrowser2* browser) {
    WebDocument document;
    OleCheck(browser->get_Document(&document), "Document");
    if (!document.TypeKnown()) {
        // A busy page answers late; an HTML page must not be skipped for that.
        QPointer<TWebHost> self(this);
        const bool known = WaitForDocumentType(m_waitTimeoutMs);
        if (!self)
            return false;
        if (!known)
            throw VelaError(QStringLiteral("The page did not say what kind of document it is "
                                           "within %1 seconds and was not printed.")
                                .arg(m_waitTimeoutMs / 1000.0));
        OleCheck(browser->get_Document(&document), "Document");
    }
    return document.SupportsHtmlDocument2();
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
    if (!htmlDocumentShown(browser) || !self)
        return;
    ExecWB(browser, OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, QVariant());
}

void TWebHost::ShowPrintPreview() {
    QPointer<TWebHost> self(this);
    WebBrowser2* browser = GetBrowserInterface();
    if (!htmlDocumentShown(browser) || !self)
        return;
    ExecWB(browser, OLECMDID_PRINTPREVIEW, OLECMDEXECOPT_DONTPROMPTUSER, QVariant());
}
