#include "MiLayout.h"

#include "VelaError.h"

MiWord::MiWord(QString text, QList<MiRect> rects, bool vertical, float confidence,
               float glyphConfidence, QString alternative)
    : m_text(std::move(text)), m_rects(std::move(rects)), m_vertical(vertical),
      m_confidence(confidence), m_glyphConfidence(glyphConfidence),
      m_alternative(std::move(alternative)) {}

MiRect MiWord::Rects(int index) const {
    if (index < 0 || index >= m_rects.size())
        throw VelaError(QStringLiteral("Rectangle index %1 is out of range").arg(index));
    return m_rects.at(index);
}

const MiWord& MiWords::Item(int index) const {
    if (index < 0 || index >= m_words.size())
        throw VelaError(QStringLiteral("Word index %1 is out of range (the page has %2 words)")
                            .arg(index)
                            .arg(m_words.size()));
    return m_words.at(index);
}
