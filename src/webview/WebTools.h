#pragma once

// The web tools as the program calls them: the browser settings below, and the helpers that
// need a control or a host.
#include "BrowserSettings.h"

class TWebControl;
class TCustomWebHost;

// Unit start-up and shutdown of the web tools (nothing to initialise on this platform; kept
// so that main() calls every unit in the same order).
void WebToolsInitialization();
void WebToolsFinalization();

// False when browser is absent or shows no document; true for an HTML document.
bool HasHtmlDocument(TWebControl* browser);
// When the browser shows an HTML document: FocusDocument if activateDocument, else FocusParent.
void FocusWebDocument(TCustomWebHost* browser, bool activateDocument);
