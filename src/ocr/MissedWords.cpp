#include "MissedWords.h"

#include "InkJudge.h"
#include "WordList.h"

#include <algorithm>
#include <leptonica/allheaders.h>
#include <optional>
#include <tesseract/baseapi.h>
#include <vector>

namespace {

// A word read alone is put in from this confidence on, when its drawing covers this much of
// the ink around it (junk read alone from specks and rules stays below both).
constexpr float Sure = 80;
constexpr double Covers = 0.5;

bool holds(const PageReading& reading, const MiRect& box) {
    return std::any_of(reading.Lines.begin(), reading.Lines.end(), [&](const ReadLine& line) {
        return std::any_of(line.begin(), line.end(),
                           [&](const ReadWord& w) { return Overlap(w.box, box); });
    });
}

MiRect around(const MiRect& box, Pix* page) {
    const MiRect a = InkJudge::WordArea(box);
    return {std::max(0, a.Left), std::max(0, a.Top), std::min(int(pixGetWidth(page)), a.Right),
            std::min(int(pixGetHeight(page)), a.Bottom)};
}

// What the engine reads alone in the word's rectangle: one word, or none.
std::optional<ReadWord> readAlone(tesseract::TessBaseAPI& api, Pix* page, const MiRect& box) {
    const MiRect a = around(box, page);
    api.SetRectangle(a.Left, a.Top, a.Right - a.Left, a.Bottom - a.Top);
    if (api.Recognize(nullptr) != 0)
        return std::nullopt;
    const PageReading read = PageReading::Results(api);
    if (read.Lines.size() != 1 || read.Lines.front().size() != 1)
        return std::nullopt;
    return read.Lines.front().front();
}

// Puts the word into the line that shares most of its height, in order across; else on a line
// of its own before the first line below it.
void put(PageReading& reading, const ReadWord& word) {
    ReadLine* best = nullptr;
    int bestShared = 0;
    for (ReadLine& line : reading.Lines) {
        int top = line.front().box.Top, bottom = line.front().box.Bottom;
        for (const ReadWord& w : line)
            top = std::min(top, w.box.Top), bottom = std::max(bottom, w.box.Bottom);
        const int shared = std::min(bottom, word.box.Bottom) - std::max(top, word.box.Top);
        if (2 * shared > word.box.Bottom - word.box.Top && shared > bestShared) {
            best = &line;
            bestShared = shared;
        }
    }
    if (best) {
        best->insert(std::find_if(best->begin(), best->end(),
                                  [&](const ReadWord& w) { return w.box.Left > word.box.Left; }),
                     word);
        return;
    }
    reading.Lines.insert(
        std::find_if(reading.Lines.begin(), reading.Lines.end(),
                     [&](const ReadLine& line) { return line.front().box.Top > word.box.Bottom; }),
        ReadLine{word});
}

} // namespace

namespace MissedWords {

int ReadAgain(tesseract::TessBaseAPI& api, Pix* page, PageReading& reading,
              const QList<const PageReading*>& others, const InkJudge& judge) {
    PageReading missed;
    for (const PageReading* other : others)
        for (const ReadLine& line : other->Lines)
            for (const ReadWord& w : line)
                if (!holds(reading, w.box) && !holds(missed, w.box))
                    missed.Lines.append(ReadLine{w});
    if (missed.Lines.isEmpty() || !judge.Usable())
        return 0;
    const WordList& words = WordList::English();
    api.SetPageSegMode(tesseract::PSM_SINGLE_WORD);
    api.SetImage(page);
    if (pixGetXRes(page) < 70)
        api.SetSourceResolution(300);
    int added = 0;
    for (const ReadLine& line : missed.Lines) {
        const std::optional<ReadWord> alone = readAlone(api, page, line.front().box);
        if (!alone || alone->confidence < Sure || holds(reading, alone->box))
            continue;
        const QString& text = alone->text;
        const bool number =
            std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        if (!number &&
            !(std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }) &&
              words.Knows(text)))
            continue;
        if (judge.Match({{*alone}}, around(alone->box, page)) < Covers)
            continue;
        put(reading, *alone);
        ++added;
    }
    api.Clear();
    return added;
}

} // namespace MissedWords
