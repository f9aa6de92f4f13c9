#include "DoubtfulWords.h"

#include "WordList.h"

#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

namespace {

// The levels of the characters' mean confidence below which a word is doubtful, chosen on real
// scans: words of the dictionary and single letters are mostly read right even where the
// engine hesitates, numbers and codes less often, and other words are names or misreadings.
constexpr float KnownWord = 95;
constexpr float Number = 97.3;
constexpr float UnknownWord = 98.8;
// The word's own confidence below which a word is doubtful when the dictionary does not know
// it (two words run together have confident letters but not this), and any word without the
// dictionary (Japanese).
constexpr float UnsureWord = 70;

} // namespace

bool DoubtfulWords::Doubtful(const MiWord& word, bool english) {
    const WordList& dictionary = WordList::English();
    const bool unsure = word.Confidence() >= 0 && word.Confidence() < UnsureWord;
    if (!english || !dictionary.Available() || word.GlyphConfidence() < 0)
        return unsure;
    const QString& text = word.Text();
    const auto letters =
        std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
    if (letters == 0)
        return false;
    const float glyphs = word.GlyphConfidence();
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
        return glyphs < Number;
    if (letters == 1 || dictionary.Knows(text))
        return glyphs < KnownWord;
    return glyphs < UnknownWord || unsure ||
           (!word.Alternative().isEmpty() && dictionary.Knows(word.Alternative()));
}

DoubtfulWords::DoubtfulWords(QTextEdit* edit) : QObject(edit), m_edit(edit) {
    connect(edit->document(), &QTextDocument::contentsChange, this, &DoubtfulWords::contentsChange);
}

void DoubtfulWords::Mark(const MiWords& words, bool english, int from) {
    const QString text = m_edit->toPlainText();
    qsizetype at = from;
    for (int i = 0; i < words.Count(); ++i) {
        const MiWord& word = words.Item(i);
        const QString& wanted = word.Text();
        if (wanted.isEmpty())
            continue;
        const qsizetype found = text.indexOf(wanted, at);
        if (found < 0)
            continue;
        at = found + wanted.size();
        if (word.RectCount() == 0 || !Doubtful(word, english))
            continue;
        QTextCursor cursor(m_edit->document());
        cursor.setPosition(int(found));
        cursor.setPosition(int(at), QTextCursor::KeepAnchor);
        m_marks.append({cursor, word.Rects(0)});
    }
    show();
}

void DoubtfulWords::Clear() {
    m_marks.clear();
    show();
}

std::optional<MiRect> DoubtfulWords::SelectNext() {
    if (m_marks.isEmpty())
        return std::nullopt;
    const QTextCursor caret = m_edit->textCursor();
    const int after = caret.hasSelection() ? caret.selectionEnd() : caret.position();
    const Marked* next = nullptr;
    for (const Marked& mark : m_marks)
        if (mark.word.selectionStart() >= after &&
            (!next || mark.word.selectionStart() < next->word.selectionStart()))
            next = &mark;
    if (!next)
        for (const Marked& mark : m_marks)
            if (!next || mark.word.selectionStart() < next->word.selectionStart())
                next = &mark;
    m_edit->setTextCursor(next->word);
    m_edit->ensureCursorVisible();
    return next->rect;
}

void DoubtfulWords::contentsChange(int position, int removed, int added) {
    if (m_marks.isEmpty())
        return;
    Q_UNUSED(removed);
    // The cursors have moved with the change already: a mark touching the changed stretch, or
    // emptied by it, was edited.
    const int end = position + added;
    const auto before = m_marks.size();
    m_marks.removeIf([&](const Marked& mark) {
        return !mark.word.hasSelection() ||
               (mark.word.selectionStart() <= end && mark.word.selectionEnd() >= position);
    });
    if (m_marks.size() != before)
        show();
}

void DoubtfulWords::show() {
    QList<QTextEdit::ExtraSelection> selections;
    for (const Marked& mark : m_marks) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = mark.word;
        selection.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        selection.format.setUnderlineColor(QColor(220, 0, 0));
        selections.append(selection);
    }
    m_edit->setExtraSelections(selections);
}
