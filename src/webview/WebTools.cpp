#include "WebTools.h"

#include "WebHostCore.h"

void WebToolsInitialization() {}

void WebToolsFinalization() {
    // A profile must not outlive the application; pages still alive keep theirs.
    ReleaseBrowserProfile();
}

bool HasHtmlDocument(TWebControl* browser) {
    if (!browser)
        return false;
    WebDocument document;
    if (!Succeeded(browser->GetBrowserInterface()->get_Document(&document)) || document.Empty)
        return false;
    return document.SupportsHtmlDocument2();
}

void FocusWebDocument(TCustomWebHost* browser, bool activateDocument) {
    if (!HasHtmlDocument(browser))
        return;
    if (activateDocument)
        browser->FocusDocument();
    else
        browser->FocusParent();
}
