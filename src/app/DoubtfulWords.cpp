#include "DoubtfulWords.h"

#include <QTextDocument>
#include <QTextEdit>

DoubtfulWords::DoubtfulWords(QTextEdit* edit) : QObject(edit), m_edit(edit) {
    connect(edit->document(), &QTextDocument::contentsChange, this, &DoubtfulWords::contentsChange);
}

void DoubtfulWords::Mark(const MiWords& words, int from) {
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
        if (word.Confidence() < 0 || word.Confidence() >= Threshold || word.RectCount() == 0)
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
    const Doubtful* next = nullptr;
    for (const Doubtful& mark : m_marks)
        if (mark.word.selectionStart() >= after &&
            (!next || mark.word.selectionStart() < next->word.selectionStart()))
            next = &mark;
    if (!next)
        for (const Doubtful& mark : m_marks)
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
    m_marks.removeIf([&](const Doubtful& mark) {
        return !mark.word.hasSelection() ||
               (mark.word.selectionStart() <= end && mark.word.selectionEnd() >= position);
    });
    if (m_marks.size() != before)
        show();
}

void DoubtfulWords::show() {
    QList<QTextEdit::ExtraSelection> selections;
    for (const Doubtful& mark : m_marks) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = mark.word;
        selection.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        selection.format.setUnderlineColor(QColor(220, 0, 0));
        selections.append(selection);
    }
    m_edit->setExtraSelections(selections);
}
