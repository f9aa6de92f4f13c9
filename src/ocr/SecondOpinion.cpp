#include "SecondOpinion.h"

#include "InkJudge.h"
#include "WordList.h"

#include <algorithm>
#include <vector>

namespace {

// Words the engine is less sure of than this hear the second opinion (on real scans, asking
// only the words below 60 won a third as much).
constexpr float Doubtful = 95;
// Rivals past the likeliest are asked only of a word whose characters the engine was this sure
// of on the whole: a word read with unsure characters keeps the doubtful mark that sends the
// reader to it (on real scans, asking them every other rival mended a few more words but left
// fewer of the words still wrong marked).
constexpr float SureGlyphs = 98.8f;
// How much worse than the first reading's the rival's drawing may match the word's ink.
constexpr double Slack = 0.05;

// A short word in capitals (and digits) is mostly an abbreviation or a code (GST, BHD, R3),
// which the dictionary need not know: its rival would be a word only by chance.
bool abbreviation(const QString& word) {
    int capitals = 0, letters = 0;
    for (const QChar c : word) {
        if (c.isLower())
            return false;
        capitals += c.isUpper();
        letters += c.isLetterOrNumber();
    }
    return capitals > 0 && letters <= 3;
}

// A rival spells a word by reading one character otherwise. It is not asked when that makes a
// mark of a letter before the word's end (the dictionary ignores marks around a word: "JALAN"
// is no "/ALAN") or joins two numbers ("22:06" is no "22106": the dictionary knows numbers).
bool plausible(const QString& word, const QString& rival) {
    qsizetype from = 0;
    while (from < word.size() && from < rival.size() && word[from] == rival[from])
        ++from;
    qsizetype end = word.size(), rivalEnd = rival.size();
    while (end > from && rivalEnd > from && word[end - 1] == rival[rivalEnd - 1])
        --end, --rivalEnd;
    const QStringView taken = QStringView(rival).mid(from, rivalEnd - from);
    if (rivalEnd < rival.size() &&
        !std::all_of(taken.begin(), taken.end(), [](QChar c) { return c.isLetterOrNumber(); }))
        return false;
    const auto digit = [&](qsizetype i) { return i >= 0 && i < word.size() && word[i].isDigit(); };
    const QStringView given = QStringView(word).mid(from, end - from);
    return !(std::any_of(given.begin(), given.end(), [](QChar c) { return c.isPunct(); }) &&
             digit(from - 1) && digit(end));
}

// A piece of a word broken at a line's end is no word of its own; before is the word that ended
// the line above (empty: the word does not begin a line).
bool broken(const QString& word, const QString& before) {
    const auto cut = [](const QString& w) {
        return w.size() > 1 && w.endsWith(QLatin1Char('-')) && w[w.size() - 2].isLetter();
    };
    return cut(word) || cut(before);
}

} // namespace

namespace SecondOpinion {

int Review(Pix* page, PageReading& reading) {
    return Review(InkJudge(page), reading);
}

int Review(const InkJudge& judge, PageReading& reading) {
    const WordList& words = WordList::English();
    // Each doubted word the dictionary does not know, with the rivals it knows, likeliest first.
    std::vector<std::pair<ReadWord*, QStringList>> disputed;
    QString lineEnd;
    for (ReadLine& line : reading.Lines)
        for (ReadWord& word : line) {
            const QString before = &word == &line.front() ? lineEnd : QString();
            if (&word == &line.back())
                lineEnd = word.text;
            if (word.confidence >= Doubtful || word.box.Bottom - word.box.Top < 8 ||
                abbreviation(word.text) || broken(word.text, before) || words.Knows(word.text))
                continue;
            // A word read without the list of its rivals has its likeliest one.
            QStringList known = word.rivals.isEmpty() && !word.alternative.isEmpty()
                                    ? QStringList{word.alternative}
                                    : word.rivals;
            known.removeIf([&](const QString& rival) {
                return !plausible(word.text, rival) || !words.Knows(rival) ||
                       (rival != word.alternative && word.glyphConfidence < SureGlyphs);
            });
            if (!known.isEmpty())
                disputed.emplace_back(&word, std::move(known));
        }
    if (disputed.empty() || !judge.Usable())
        return 0;
    int changed = 0;
    for (auto& [word, known] : disputed) {
        const MiRect area = InkJudge::WordArea(word->box);
        const double first = judge.Match({{*word}}, area);
        ReadWord rival = *word;
        for (const QString& text : known) {
            rival.text = text;
            if (judge.Match({{rival}}, area) >= first - Slack) {
                word->text = text;
                word->alternative.clear();
                word->rivals.clear();
                ++changed;
                break;
            }
        }
    }
    return changed;
}

} // namespace SecondOpinion
