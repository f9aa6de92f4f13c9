#include "Recognition.h"

#include "MiDocument.h"
#include "MiLayout.h"
#include "OcrMonitor.h"

#include <QRegularExpression>

namespace Recognition {

bool UsesLineMode(int languageId, bool wantLineBreaks) {
    return wantLineBreaks && languageId != MiDocument::LanguageEnglish;
}

bool ReadNextLine(const MiWords& words, int& wordIndex, QString& line) {
    const MiWord& first = words.Item(wordIndex);
    // Columns follow each other leftwards as lines do downwards: the limit of a column is
    // its first word's left edge - 4, and a word whose right edge lies left of it starts the
    // next column. A change of direction always starts a new line.
    const int limit = first.Vertical() ? first.Rects(0).Left - 4 : first.Rects(0).Bottom + 4;
    const auto beyond = [&](const MiWord& word) {
        if (word.Vertical() != first.Vertical())
            return true;
        return first.Vertical() ? word.Rects(0).Right < limit : word.Rects(0).Top > limit;
    };
    line.clear();
    int index = wordIndex;
    for (; index < words.Count(); ++index) {
        const MiWord& word = words.Item(index);
        if (index > wordIndex && beyond(word))
            break;
        line += word.Text();
    }
    wordIndex = index;
    return index < words.Count();
}

QStringList LinesOfWords(const MiWords& words) {
    QStringList lines;
    if (words.Count() == 0)
        return lines;
    int index = 0;
    QString line;
    bool more = true;
    while (more) {
        more = ReadNextLine(words, index, line);
        lines.append(line);
    }
    return lines;
}

QStringList LinesOfText(const QString& text) {
    if (text.isEmpty())
        return {};
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    // A text ending in a break has no line after it.
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList LinesOfLayout(const MiLayout& layout, bool lineMode) {
    return lineMode ? LinesOfWords(layout.Words()) : LinesOfText(layout.Text());
}

QString JoinLines(const QStringList& lines, const QString& lineBreak) {
    QString text;
    for (const QString& line : lines)
        text += line + lineBreak;
    return text;
}

QStringList RecognizeFile(int languageId, const QString& fileName, bool wantLineBreaks,
                          const std::function<void(const MiDocument&)>& show,
                          const std::function<void()>& closed, OcrMonitor* monitor) {
    return RecognizeOpened(
        languageId, [&](MiDocument& document) { document.Create(fileName); }, wantLineBreaks, show,
        closed, monitor);
}

QStringList RecognizeOpened(int languageId, const std::function<void(MiDocument&)>& open,
                            bool wantLineBreaks, const std::function<void(const MiDocument&)>& show,
                            const std::function<void()>& closed, OcrMonitor* monitor) {
    MiDocument document;
    open(document);
    struct Closer {
        MiDocument& document;
        const std::function<void()>& closed;
        ~Closer() {
            if (document.IsOpen())
                document.Close(false);
            if (closed)
                closed();
        }
    } closer{document, closed};
    document.OCR(languageId, true, true, monitor);
    const MiLayout& layout = document.Images(0).Layout();
    QStringList lines = LinesOfLayout(layout, UsesLineMode(languageId, wantLineBreaks));
    if (monitor)
        monitor->ThrowIfCancelled();
    if (show)
        show(document);
    return lines;
}

} // namespace Recognition
