#pragma once

#include <QList>
#include <QString>

// The recognised layout of one page image: its whole text and its words in the
// engine's reading order. Plain values, so a layout outlives the document it came from.

// A word rectangle in image pixels, y growing downwards.
struct MiRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Whether the two rectangles share any area.
inline bool Overlap(const MiRect& a, const MiRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

class MiWord {
public:
    MiWord() = default;
    MiWord(QString text, QList<MiRect> rects, bool vertical = false, float confidence = -1,
           float glyphConfidence = -1, QString alternative = {});

    const QString& Text() const { return m_text; }
    // The word stands in a column of vertical text.
    bool Vertical() const { return m_vertical; }
    // The engine's confidence in the word, 0 to 100; -1 when unknown.
    float Confidence() const { return m_confidence; }
    // The engine's mean confidence in the word's characters, 0 to 100; -1 when unknown.
    float GlyphConfidence() const { return m_glyphConfidence; }
    // The word with the one character the engine came closest to reading otherwise read that
    // other way; empty when it had no other reading of any character.
    const QString& Alternative() const { return m_alternative; }
    int RectCount() const { return static_cast<int>(m_rects.size()); }
    // Raises VelaError for an index that is not there.
    MiRect Rects(int index) const;

private:
    QString m_text;
    QList<MiRect> m_rects;
    bool m_vertical = false;
    float m_confidence = -1;
    float m_glyphConfidence = -1;
    QString m_alternative;
};

class MiWords {
public:
    MiWords() = default;
    explicit MiWords(QList<MiWord> words) : m_words(std::move(words)) {}

    int Count() const { return static_cast<int>(m_words.size()); }
    // Raises VelaError for an index that is not there, as the engine does for word 0
    // of a page without words.
    const MiWord& Item(int index) const;

private:
    QList<MiWord> m_words;
};

class MiLayout {
public:
    MiLayout() = default;
    MiLayout(QString text, MiWords words) : m_text(std::move(text)), m_words(std::move(words)) {}

    // All recognised text, lines separated by "\r\n".
    const QString& Text() const { return m_text; }
    const MiWords& Words() const { return m_words; }

private:
    QString m_text;
    MiWords m_words;
};
