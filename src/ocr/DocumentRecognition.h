#pragma once

#include <QStringList>
#include <functional>

class MiDocument;
class OcrMonitor;
class PageSource;

namespace DocumentRecognition {

// Recognises every page of source in order, as Recognition::RecognizeFile does one image, and
// returns their lines with an empty line between pages. show (when set) receives the first
// page's recognised document; closed runs after each page's document is closed. monitor (when
// set) tells the page being read and its progress. A stop asked for through it ends a run of
// several pages after the page being read, keeping the pages read; a single page is broken
// off at once (OcrCancelled is raised).
QStringList Recognize(int languageId, const PageSource& source, bool wantLineBreaks,
                      const std::function<void(const MiDocument&)>& show = {},
                      const std::function<void()>& closed = {}, OcrMonitor* monitor = nullptr);

} // namespace DocumentRecognition
