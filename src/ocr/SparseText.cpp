#include "SparseText.h"

#include "PixPtr.h"

#include <QRegularExpression>
#include <algorithm>
#include <memory>
#include <tesseract/baseapi.h>
#include <vector>

namespace {

// Words the engine is less sure of than this are read again; words read again are kept
// from this confidence on.
constexpr float Doubtful = 50;
constexpr float Accepted = 65;
constexpr float NumberAccepted = 10;
// A page with more places than this is not sparse text but noise or a picture.
constexpr int MostPlaces = 80;

int height(const MiRect& r) {
    return r.Bottom - r.Top;
}

// A word the engine doubts, or one standing far taller than the text: the engine took a
// column of short numbers for a line of vertical text.
bool doubtful(const ReadWord& word, int text) {
    return word.confidence < Doubtful || height(word.box) > 2 * text;
}

// A line mostly of words the engine doubts; a doubtful word among sure ones is a misreading
// that reading it alone seldom mends.
bool doubtful(const ReadLine& line, int text) {
    double sure = 0, all = 0;
    for (const ReadWord& w : line) {
        all += w.text.size();
        sure += doubtful(w, text) ? 0 : w.text.size();
    }
    return sure * 2 < all;
}

// How much of the lower of the two the rows' spans share.
double verticalOverlap(const MiRect& a, const MiRect& b) {
    const int shared = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return double(shared) / std::max(1, std::min(height(a), height(b)));
}

MiRect boundsOf(const ReadLine& line) {
    MiRect r = line.front().box;
    for (const ReadWord& w : line) {
        r.Left = std::min(r.Left, w.box.Left);
        r.Top = std::min(r.Top, w.box.Top);
        r.Right = std::max(r.Right, w.box.Right);
        r.Bottom = std::max(r.Bottom, w.box.Bottom);
    }
    return r;
}

// The height of the page's confident words, the measure of what counts as text.
int textHeight(const PageReading& reading) {
    std::vector<int> heights;
    for (const ReadLine& line : reading.Lines)
        for (const ReadWord& w : line)
            if (w.confidence >= Accepted)
                heights.push_back(height(w.box));
    if (heights.size() < 3)
        return 0;
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}

// The page (8-bit grey) with the lines the engine read with confidence painted out.
PixPtr unreadPage(Pix* page, const PageReading& reading, int text) {
    PixPtr gray(pixConvertTo8(page, 0));
    if (!gray)
        return nullptr;
    for (const ReadLine& line : reading.Lines) {
        if (doubtful(line, text))
            continue;
        const MiRect b = boundsOf(line);
        Box* box = boxCreate(b.Left - 2, b.Top - 2, b.Right - b.Left + 4, b.Bottom - b.Top + 4);
        pixSetInRect(gray.get(), box);
        boxDestroy(&box);
    }
    return gray;
}

// The ink of the unread page (1 = ink) without what is not text: specks, and anything larger
// than a few characters (rules, boxes, pictures).
PixPtr unreadInk(Pix* unread, int text) {
    PixPtr ink(pixThresholdToBinary(unread, 140));
    if (!ink)
        return nullptr;
    Pixa* pieces = nullptr;
    BoxaPtr boxes(pixConnComp(ink.get(), &pieces, 8));
    PixPtr kept(pixCreateTemplate(ink.get()));
    for (int i = 0; boxes && kept && i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        if (std::max(w, h) < text / 5 || std::max(w, h) > text * 2)
            continue;
        Pix* piece = pixaGetPix(pieces, i, L_CLONE);
        pixRasterop(kept.get(), x, y, w, h, PIX_PAINT, piece, 0, 0);
        pixDestroy(&piece);
    }
    pixaDestroy(&pieces);
    return kept;
}

// The places to read again: unread ink gathered into word-wide runs on one line.
std::vector<MiRect> places(Pix* ink, int text) {
    std::vector<MiRect> out;
    PixPtr runs(pixDilateBrick(nullptr, ink, text, 1));
    if (!runs)
        return out;
    BoxaPtr boxes(pixConnCompBB(runs.get(), 8));
    for (int i = 0; boxes && i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        if (h < text / 2 || h > text * 2)
            continue;
        // The engine reads a rectangle reaching past the image beyond its pixels.
        const int margin = text / 3;
        out.push_back({std::max(0, x - margin), std::max(0, y - margin),
                       std::min(pixGetWidth(ink), x + w + margin),
                       std::min(pixGetHeight(ink), y + h + margin)});
    }
    if (int(out.size()) > MostPlaces)
        out.clear();
    return out;
}

// The words read with confidence in one place, as a single line.
ReadLine readPlace(tesseract::TessBaseAPI& api, const MiRect& place) {
    ReadLine line;
    api.SetRectangle(place.Left, place.Top, place.Right - place.Left, place.Bottom - place.Top);
    if (api.Recognize(nullptr) != 0)
        return line;
    for (const ReadLine& read : PageReading::Results(api).Lines) {
        for (const ReadWord& word : read) {
            const bool legible = std::any_of(word.text.begin(), word.text.end(),
                                             [](QChar c) { return c.isLetterOrNumber(); });
            // The Japanese model reads a number standing alone right but with little confidence.
            static const QRegularExpression number(QStringLiteral("^\\d+[.,]?\\d*$"));
            const float wanted = number.match(word.text).hasMatch() ? NumberAccepted : Accepted;
            if (legible && word.confidence >= wanted)
                line.append(word);
        }
    }
    return line;
}

// Puts a row of new words into the reading: into the line at its height, in order of
// position, else as a new line before the first line that lies below it.
void place(PageReading& reading, const ReadLine& row, int text) {
    const MiRect bounds = boundsOf(row);
    ReadLine* best = nullptr;
    int bestDistance = 0;
    for (ReadLine& line : reading.Lines) {
        const MiRect b = boundsOf(line);
        if (verticalOverlap(b, bounds) < 0.5 || doubtful(line, text))
            continue;
        const int distance = std::max({0, b.Left - bounds.Right, bounds.Left - b.Right});
        if (!best || distance < bestDistance) {
            best = &line;
            bestDistance = distance;
        }
    }
    if (best) {
        for (const ReadWord& word : row) {
            auto at = std::find_if(best->begin(), best->end(),
                                   [&](const ReadWord& w) { return w.box.Left > word.box.Left; });
            best->insert(at, word);
        }
        return;
    }
    auto below = std::find_if(reading.Lines.begin(), reading.Lines.end(),
                              [&](const ReadLine& l) { return boundsOf(l).Top > bounds.Bottom; });
    reading.Lines.insert(below, row);
}

// The engine's confidence in words, each weighing by its length; count receives the weight.
double meanConfidence(const ReadLine& words, double* count) {
    double sure = 0;
    *count = 0;
    for (const ReadWord& w : words) {
        *count += double(w.text.size());
        sure += double(w.text.size()) * w.confidence;
    }
    return *count > 0 ? sure / *count : 0;
}

// A doubtful line keeps its words where the engine was surer of them, read in the line, than of
// what its places read alone: figures read alone lose the context of their line ("27932 1 5.40"
// came out "271932 1 5.48"). The places over such a line are dropped from found.
void keepSurerLines(const PageReading& reading, int text, std::vector<ReadLine>& found,
                    std::vector<MiRect>& foundPlaces) {
    for (const ReadLine& line : reading.Lines) {
        if (!doubtful(line, text))
            continue;
        ReadLine again;
        std::vector<size_t> over;
        for (size_t i = 0; i < found.size(); ++i)
            if (std::any_of(line.begin(), line.end(),
                            [&](const ReadWord& w) { return Overlap(w.box, foundPlaces[i]); })) {
                over.push_back(i);
                again += found[i];
            }
        double count = 0;
        if (over.empty() || meanConfidence(line, &count) < meanConfidence(again, &count))
            continue;
        for (auto i = over.rbegin(); i != over.rend(); ++i) {
            found.erase(found.begin() + std::ptrdiff_t(*i));
            foundPlaces.erase(foundPlaces.begin() + std::ptrdiff_t(*i));
        }
    }
}

} // namespace

namespace SparseText {

void Complete(tesseract::TessBaseAPI& api, Pix* page, PageReading& reading) {
    const int text = textHeight(reading);
    if (text < 8)
        return;
    // A line standing upright on a page read across is a column of short numbers the engine
    // took for vertical text: it is read again.
    const auto upright = [&](const ReadLine& line) {
        const MiRect b = boundsOf(line);
        return height(b) > 2 * text && height(b) > b.Right - b.Left;
    };
    qsizetype across = 0, standing = 0;
    for (const ReadLine& line : reading.Lines)
        for (const ReadWord& w : line)
            (upright(line) ? standing : across) += w.text.size();
    if (standing * 3 < across)
        reading.Lines.removeIf(upright);
    // The places are read on the unread page: a place's margin would take in the ends of
    // the words beside it.
    const PixPtr unread = unreadPage(page, reading, text);
    const PixPtr ink = unread ? unreadInk(unread.get(), text) : nullptr;
    if (!ink)
        return;
    const std::vector<MiRect> toRead = places(ink.get(), text);
    if (toRead.empty())
        return;

    api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    api.SetImage(unread.get());
    if (pixGetXRes(page) < 70)
        api.SetSourceResolution(300);
    std::vector<ReadLine> found;
    std::vector<MiRect> foundPlaces;
    for (const MiRect& p : toRead) {
        ReadLine words = readPlace(api, p);
        if (!words.isEmpty()) {
            found.push_back(std::move(words));
            foundPlaces.push_back(p);
        }
    }
    api.Clear();
    keepSurerLines(reading, text, found, foundPlaces);
    if (found.empty())
        return;

    // The doubtful words where something was read with confidence give way to it.
    for (ReadLine& line : reading.Lines) {
        if (!doubtful(line, text))
            continue;
        line.erase(std::remove_if(line.begin(), line.end(),
                                  [&](const ReadWord& w) {
                                      return std::any_of(
                                          foundPlaces.begin(), foundPlaces.end(),
                                          [&](const MiRect& p) { return Overlap(w.box, p); });
                                  }),
                   line.end());
    }
    reading.Lines.removeIf([](const ReadLine& line) { return line.isEmpty(); });

    // Places on one height form one row, left to right.
    std::sort(found.begin(), found.end(), [](const ReadLine& a, const ReadLine& b) {
        return boundsOf(a).Top < boundsOf(b).Top;
    });
    std::vector<ReadLine> rows;
    for (const ReadLine& words : found) {
        auto row = std::find_if(rows.begin(), rows.end(), [&](const ReadLine& r) {
            return verticalOverlap(boundsOf(r), boundsOf(words)) >= 0.5;
        });
        if (row == rows.end()) {
            rows.push_back(words);
            continue;
        }
        for (const ReadWord& w : words) {
            auto at = std::find_if(row->begin(), row->end(),
                                   [&](const ReadWord& o) { return o.box.Left > w.box.Left; });
            row->insert(at, w);
        }
    }
    for (const ReadLine& row : rows)
        place(reading, row, text);
}

} // namespace SparseText
