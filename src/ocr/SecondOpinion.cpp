#include "SecondOpinion.h"

#include "InkJudge.h"
#include "WordList.h"

#include <algorithm>
#include <vector>

namespace {

// Words the engine is less sure of than this hear the second opinion (on real scans, asking
// only the words below 60 won a third as much).
constexpr float Doubtful = 95;
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

} // namespace

namespace SecondOpinion {

int Review(Pix* page, PageReading& reading) {
    const WordList& words = WordList::English();
    std::vector<ReadWord*> disputed;
    for (ReadLine& line : reading.Lines)
        for (ReadWord& word : line)
            if (word.confidence < Doubtful && !word.alternative.isEmpty() &&
                word.box.Bottom - word.box.Top >= 8 && words.Knows(word.alternative) &&
                !words.Knows(word.text) && !abbreviation(word.text))
                disputed.push_back(&word);
    if (disputed.empty())
        return 0;
    const InkJudge judge(page);
    if (!judge.Usable())
        return 0;
    int changed = 0;
    for (ReadWord* word : disputed) {
        const MiRect& b = word->box;
        const int margin = std::max(2, (b.Bottom - b.Top) / 4);
        const MiRect area{b.Left - margin, b.Top - margin, b.Right + margin, b.Bottom + margin};
        ReadWord rival = *word;
        rival.text = word->alternative;
        if (judge.Match({{rival}}, area) >= judge.Match({{*word}}, area) - Slack) {
            word->text = rival.text;
            word->alternative.clear();
            ++changed;
        }
    }
    return changed;
}

} // namespace SecondOpinion
