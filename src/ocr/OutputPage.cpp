#include "OutputPage.h"

#include "MiDocument.h"

#include <algorithm>

namespace {

MiRect united(const MiRect& a, const MiRect& b) {
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

// A word starts a new line when it does not follow the one before along its line: across, it
// lies below it or starts left of it; in a column, right of it or above it.
bool startsLine(const MiWord& word, const MiWord& before) {
    const MiRect w = word.Rects(0), b = before.Rects(0);
    if (word.Vertical() != before.Vertical())
        return true;
    if (word.Vertical())
        return w.Right < b.Left || w.Top < b.Top;
    return w.Top > b.Bottom || w.Left < b.Left;
}

// A line continues the block of the line before when it follows that line closely, overlapping
// it along its run.
bool continuesBlock(const MiRect& line, const MiRect& before, bool vertical) {
    if (vertical) {
        const int width = before.Right - before.Left;
        return before.Left - line.Right < width && line.Top < before.Bottom &&
               line.Bottom > before.Top;
    }
    const int height = before.Bottom - before.Top;
    return line.Top - before.Bottom < height && line.Left < before.Right &&
           line.Right > before.Left;
}

void setApart(MiRect& before, MiRect& after) {
    const int gap =
        std::max(1, (std::max(before.Bottom - before.Top, after.Bottom - after.Top) + 4) / 5);
    if (after.Left >= before.Right + gap || after.Left <= before.Left)
        return;
    if (after.Right <= before.Right) {
        before.Right = std::max(before.Left + 1, after.Left - gap);
        return;
    }
    const int cut = (before.Right + after.Left) / 2;
    before.Right = std::max(before.Left + 1, cut - gap / 2);
    after.Left = std::min(after.Right - 1, before.Right + gap);
}

} // namespace

void OutputPage::SetApart(QList<Word>& line) {
    for (qsizetype i = 1; i < line.size(); ++i)
        if (line[i].direction == 0 && line[i - 1].direction == 0)
            setApart(line[i - 1].box, line[i].box);
}

OutputPage OutputPage::Of(const MiDocument& document) {
    OutputPage page;
    const PageGeometry geometry = document.Geometry();
    page.fileName = document.FileName();
    page.width = geometry.inputWidth;
    page.height = geometry.inputHeight;
    // As the engine takes it: an image without a sensible resolution is taken at 300 ppi.
    page.dpi = geometry.inputResolution >= 70 ? geometry.inputResolution : 300;
    page.quarterTurns = geometry.quarterTurns;
    // Words that run across the upright page run across the image turned back.
    const int back = (4 - geometry.quarterTurns % 4) % 4;

    // Lines and blocks are found on the page as read, where lines run across or down.
    struct Span {
        int first, last;
        MiRect box;
        bool vertical;
    };
    const MiWords& words = document.Images(0).Layout().Words();
    QList<Span> lines;
    for (int i = 0; i < words.Count(); ++i) {
        const MiWord& word = words.Item(i);
        if (i == 0 || startsLine(word, words.Item(i - 1))) {
            lines.append({i, i, word.Rects(0), word.Vertical()});
        } else {
            lines.back().last = i;
            lines.back().box = united(lines.back().box, word.Rects(0));
        }
    }
    for (int l = 0; l < lines.size(); ++l) {
        const Span& span = lines[l];
        if (l == 0 || span.vertical != lines[l - 1].vertical ||
            !continuesBlock(span.box, lines[l - 1].box, span.vertical))
            page.blocks.append(Block());
        Line line;
        for (int i = span.first; i <= span.last; ++i) {
            const MiWord& word = words.Item(i);
            line.words.append({word.Text(), geometry.ToInput(word.Rects(0)),
                               (back + (word.Vertical() ? 1 : 0)) % 4, word.Confidence()});
        }
        SetApart(line.words);
        page.blocks.back().lines.append(line);
    }
    for (Block& block : page.blocks) {
        for (Line& line : block.lines) {
            line.box = line.words.front().box;
            QList<int> bottoms;
            for (const Word& word : line.words) {
                line.box = united(line.box, word.box);
                bottoms.append(word.box.Bottom);
            }
            // Most words end on the baseline; those with descenders below it.
            std::sort(bottoms.begin(), bottoms.end());
            if (line.words.front().direction == 0)
                line.baseline = bottoms[bottoms.size() / 2] - line.box.Bottom;
            block.box = &line == &block.lines.front() ? line.box : united(block.box, line.box);
        }
    }
    return page;
}
