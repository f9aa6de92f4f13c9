#pragma once

#include <QString>

class QPrinter;
class QWebEngineView;

// The print engine shared by printing, preview and vela-cli: Chromium lays the page out
// into PDF pages. A printer that writes a PDF file gets that PDF as it is, so its text stays
// text; any other printer (a real one, the preview) gets the pages drawn by the view.
// Both wait for the engine with a local event loop; false with a message on failure.
// drawPages forces drawing, as the preview needs whatever the printer's output is.
bool PrintPageTo(QWebEngineView* view, QPrinter* printer, QString* error = nullptr,
                 bool drawPages = false);
