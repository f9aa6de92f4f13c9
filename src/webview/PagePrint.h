#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QPageLayout;
class QPageRanges;
class QPrinter;
class QWebEngineView;

// The print engine shared by printing, preview and vela-cli: Chromium lays the page out into
// PDF pages. A printer that writes a PDF file gets that PDF as it is, so its text stays text;
// any other printer (a real one, the preview) gets the pages drawn one at a time, each at no
// more than MaxRasterDpi, so a long page never needs more than one page's image at once.
constexpr int MaxRasterDpi = 300;

// How long one layout of the page may take.
constexpr int PageLayoutTimeoutMs = 60000;

// Lays the shown page out as PDF pages (all of them when ranges is empty). The engine lays
// out one job of a page at a time, so a second request waits for the first to end. Empty,
// with a message, on failure.
QByteArray LayOutPage(QWebEngineView* view, const QPageLayout& layout, const QPageRanges& ranges,
                      QString* error);

// The resolution to draw a page (0-based) at; capped by MaxRasterDpi and the printer's own.
using PageResolution = std::function<int(int page)>;

// Draws PDF pages on the printer, one page image in memory at a time. withCopies makes the
// copies the printer asks for when it does not make them itself.
bool DrawPdfPages(const QByteArray& pdf, QPrinter* printer, QString* error,
                  const PageResolution& resolution = {}, bool withCopies = true);

// Prints the shown page with the printer's page layout, chosen pages and copies. drawPages
// forces drawing, as the preview needs whatever the printer's output is.
bool PrintPageTo(QWebEngineView* view, QPrinter* printer, QString* error = nullptr,
                 bool drawPages = false);
