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
    // Words read with a confidence below this are marked. On real scans (bench/ocr/doubtful)
    // the marks hold 55 % of the words read wrong; below it the engine's confidence tells
    // little more: at 50, 38 % of them, with still 41 % of the marks on right words.
    static constexpr float Threshold = 70;

    explicit DoubtfulWords(QTextEdit* edit);

    // Marks the doubtful words of words, found in their order in the edit's text from position
    // from on; the marks made before stay.
    void Mark(const MiWords& words, int from = 0);
    void Clear();
    int Count() const { return int(m_marks.size()); }
    // Selects the next marked word after the caret, from the first again after the last;
    // returns its rectangle on the page it was read from, none when no word is marked.
    std::optional<MiRect> SelectNext();

private:
    void contentsChange(int position, int removed, int added);
    void show();

    struct Doubtful {
        QTextCursor word;
        MiRect rect;
    };
    QTextEdit* m_edit;
    QList<Doubtful> m_marks;
};
