#include "WordList.h"

#include <QFile>
#include <hunspell/hunspell.hxx>

namespace {

constexpr auto Dictionaries = "/usr/share/hunspell/";

// The word without the punctuation around it; an apostrophe or a point inside it stays.
QString bare(const QString& word) {
    qsizetype from = 0, to = word.size();
    while (from < to && !word[from].isLetterOrNumber())
        ++from;
    while (to > from && !word[to - 1].isLetterOrNumber())
        --to;
    return word.mid(from, to - from);
}

} // namespace

const WordList& WordList::English() {
    static const WordList list(QLatin1String(Dictionaries) + QStringLiteral("en_US.aff"),
                               QLatin1String(Dictionaries) + QStringLiteral("en_US.dic"));
    return list;
}

WordList::WordList(const QString& affixes, const QString& words) {
    if (QFile::exists(affixes) && QFile::exists(words))
        m_speller = std::make_unique<Hunspell>(QFile::encodeName(affixes).constData(),
                                               QFile::encodeName(words).constData());
}

WordList::~WordList() = default;

bool WordList::Available() const {
    return m_speller != nullptr;
}

bool WordList::Knows(const QString& word) const {
    const QString inner = bare(word);
    if (!m_speller || inner.isEmpty())
        return false;
    const std::lock_guard lock(m_mutex);
    return m_speller->spell(inner.toStdString());
}
