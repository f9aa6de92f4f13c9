#pragma once

#include <QString>
#include <memory>
#include <mutex>

class Hunspell;

// The words of a language as the system's spelling dictionary knows them (Debian's hunspell
// dictionaries): a tie-breaker between readings that match the page equally well.
class WordList final {
public:
    // American English (hunspell-en-us); unavailable when that dictionary is not installed.
    static const WordList& English();

    ~WordList();
    WordList(const WordList&) = delete;
    WordList& operator=(const WordList&) = delete;

    bool Available() const;
    // Whether the dictionary knows the word, its case and the punctuation around it aside (as
    // the spelling checker takes it from running text); false when not Available().
    bool Knows(const QString& word) const;

private:
    WordList(const QString& affixes, const QString& words);

    std::unique_ptr<Hunspell> m_speller;
    mutable std::mutex m_mutex; // the speller keeps state between calls
};
