#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class MiDocument;
class MiLayout;
class MiWords;
class OcrMonitor;

// The recognition sequence shared by the main window and vela-cli: the document
// operations and how the engine's result becomes lines of text.
namespace Recognition {

// Line mode groups words into lines by their rectangles; it applies only to Japanese.
bool UsesLineMode(int languageId, bool wantLineBreaks);

// One step of line mode: the line that starts at wordIndex. Its limit is that word's
// bottom + 4; the words that follow join while their top is not below the limit, with
// no separator. A column of vertical words is a line in the same way, turned: its limit is its
// first word's left edge - 4, and the words join while their right edge is not left of it.
// wordIndex moves to the word that starts the next line; returns whether
// there is one. Raises VelaError when wordIndex names no word.
bool ReadNextLine(const MiWords& words, int& wordIndex, QString& line);

// Every line of line mode; a page without words gives none.
QStringList LinesOfWords(const MiWords& words);

// The whole text split at line breaks (CR, LF or the pair).
QStringList LinesOfText(const QString& text);

QStringList LinesOfLayout(const MiLayout& layout, bool lineMode);

// The text of a line list as the text pane shows it: every line followed by a break.
QString JoinLines(const QStringList& lines, const QString& lineBreak = QStringLiteral("\r\n"));

// Opens fileName in a new document, recognises it with orientation and straightening,
// and returns its lines. show (when set) receives the recognised document before it is
// closed. The document is closed whenever it was opened, also after a failure, and
// closed (when set) runs after that close. monitor (when set) follows and can stop the run
// (OcrCancelled is raised, show is not called).
QStringList RecognizeFile(int languageId, const QString& fileName, bool wantLineBreaks,
                          const std::function<void(const MiDocument&)>& show = {},
                          const std::function<void()>& closed = {}, OcrMonitor* monitor = nullptr);

// As RecognizeFile, with a new document opened by open (a page of a document: PageSource).
QStringList RecognizeOpened(int languageId, const std::function<void(MiDocument&)>& open,
                            bool wantLineBreaks,
                            const std::function<void(const MiDocument&)>& show = {},
                            const std::function<void()>& closed = {},
                            OcrMonitor* monitor = nullptr);

} // namespace Recognition
