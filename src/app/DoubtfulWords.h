#pragma once

#include "MiLayout.h"

#include <QList>
#include <QObject>
#include <QTextCursor>
#include <optional>

class QTextEdit;

// Words the engine was unsure of, marked in a text edit with a wavy underline. The marks are
// the edit's extra selections, never part of its document: the text saved, copied or published
// carries none. Editing a marked word removes its mark.
class DoubtfulWords final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DoubtfulWords)

public:
    // Whether the word is likely read wrong. English words are judged by the engine's mean
    // confidence in their characters, which a word of the dictionary needs less of, and by
    // whether a second reading of one character makes a non-word a word; Japanese, without a
    // dictionary, by the word's own confidence. On real scans (bench/ocr/doubtful) the marks
    // hold over half of the English words read wrong, and four in five marks are right.
    static bool Doubtful(const MiWord& word, bool english);

    explicit DoubtfulWords(QTextEdit* edit);

    // Marks the doubtful words of words, found in their order in the edit's text from position
    // from on; the marks made before stay.
    void Mark(const MiWords& words, bool english, int from = 0);
    void Clear();
    int Count() const { return int(m_marks.size()); }
    // Selects the next marked word after the caret, from the first again after the last;
    // returns its rectangle on the page it was read from, none when no word is marked.
    std::optional<MiRect> SelectNext();

private:
    void contentsChange(int position, int removed, int added);
    void show();

    struct Marked {
        QTextCursor word;
        MiRect rect;
    };
    QTextEdit* m_edit;
    QList<Marked> m_marks;
};
