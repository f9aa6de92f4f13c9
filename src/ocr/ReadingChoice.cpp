#include "ReadingChoice.h"

#include "InkJudge.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

MiRect boundsOf(const ReadLine& line) {
    MiRect r = line.front().box;
    for (const ReadWord& w : line)
        r = {std::min(r.Left, w.box.Left), std::min(r.Top, w.box.Top),
             std::max(r.Right, w.box.Right), std::max(r.Bottom, w.box.Bottom)};
    return r;
}

// Two lines read the same stretch of the page: they overlap across, and down by half the
// lower one's height.
bool shared(const MiRect& a, const MiRect& b) {
    if (a.Right <= b.Left || b.Right <= a.Left)
        return false;
    const int down = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return 2 * down > std::min(a.Bottom - a.Top, b.Bottom - b.Top);
}

int find(std::vector<int>& parent, int i) {
    while (parent[size_t(i)] != i)
        i = parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
    return i;
}

// Replacing a region costs the order and cells our reading gave it: the other reading must
// be ahead by a margin.
bool clearlyBetter(double theirs, double ours) {
    return theirs > ours + 1.0 + 0.1 * std::abs(ours);
}

// Both readings read the same words there.
bool sameText(const QList<ReadLine>& a, const QList<ReadLine>& b) {
    QStringList left, right;
    for (const ReadLine& line : a)
        for (const ReadWord& w : line)
            left << w.text;
    for (const ReadLine& line : b)
        for (const ReadWord& w : line)
            right << w.text;
    return left == right;
}

// How much closer to the page's ink the other reading must come to replace ours.
constexpr double InkMargin = 0.02;

} // namespace

namespace ReadingChoice {

PageReading Scaled(PageReading reading, double scale) {
    if (scale != 1.0)
        for (ReadLine& line : reading.Lines)
            for (ReadWord& w : line)
                w.box = {int(std::lround(w.box.Left * scale)), int(std::lround(w.box.Top * scale)),
                         int(std::lround(w.box.Right * scale)),
                         int(std::lround(w.box.Bottom * scale))};
    return reading;
}

int KeepBetter(PageReading& reading, PageReading other, double scale, const InkJudge* judge) {
    other = Scaled(std::move(other), scale);
    const qsizetype ours = reading.Lines.size();
    std::vector<MiRect> bounds;
    for (const QList<ReadLine>* lines : {&reading.Lines, &other.Lines})
        for (const ReadLine& line : *lines)
            bounds.push_back(boundsOf(line));
    std::vector<int> parent(bounds.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (size_t a = 0; a < bounds.size(); ++a)
        for (size_t b = a + 1; b < bounds.size(); ++b)
            if (shared(bounds[a], bounds[b]))
                parent[size_t(find(parent, int(a)))] = find(parent, int(b));

    // Each region's lines in both readings, and the stretch of page they cover.
    std::vector<QList<ReadLine>> linesOurs(bounds.size()), linesTheirs(bounds.size());
    std::vector<MiRect> area(bounds.size(), MiRect{0, 0, 0, 0});
    for (size_t i = 0; i < bounds.size(); ++i) {
        const bool mine = qsizetype(i) < ours;
        const size_t root = size_t(find(parent, int(i)));
        (mine ? linesOurs : linesTheirs)[root].append(mine ? reading.Lines[qsizetype(i)]
                                                           : other.Lines[qsizetype(i) - ours]);
        MiRect& a = area[root];
        const MiRect& b = bounds[i];
        a = a.Right == 0 ? b
                         : MiRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top),
                                  std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
    }
    std::vector<bool> taken(bounds.size(), false);
    int regions = 0;
    for (size_t i = 0; i < bounds.size(); ++i) {
        if (find(parent, int(i)) != int(i) || linesTheirs[i].isEmpty())
            continue;
        if (sameText(linesTheirs[i], linesOurs[i]))
            continue;
        if (judge && judge->Usable()) {
            const MiRect a{area[i].Left - 2, area[i].Top - 2, area[i].Right + 2,
                           area[i].Bottom + 2};
            taken[i] = judge->Match(linesTheirs[i], a) > judge->Match(linesOurs[i], a) + InkMargin;
        } else {
            taken[i] = clearlyBetter(PageReading{linesTheirs[i]}.Weight(),
                                     PageReading{linesOurs[i]}.Weight());
        }
        regions += taken[i];
    }
    if (regions == 0)
        return 0;

    // Our lines in our order, a taken region's lines where its first line of ours stood (or,
    // read by the other reading alone, before the first line of ours below it).
    QList<ReadLine> lines;
    std::vector<bool> placed(bounds.size(), false);
    const auto placeRegion = [&](int root) {
        placed[size_t(root)] = true;
        for (qsizetype j = 0; j < other.Lines.size(); ++j)
            if (find(parent, int(ours + j)) == root)
                lines.append(other.Lines[j]);
    };
    for (qsizetype i = 0; i < ours; ++i) {
        const int root = find(parent, int(i));
        if (!taken[size_t(root)]) {
            // A region only the other reading has, lying above this line, comes first.
            for (qsizetype j = 0; j < other.Lines.size(); ++j) {
                const int theirs = find(parent, int(ours + j));
                if (taken[size_t(theirs)] && !placed[size_t(theirs)] &&
                    bounds[size_t(ours + j)].Bottom <= bounds[size_t(i)].Top)
                    placeRegion(theirs);
            }
            lines.append(reading.Lines[i]);
        } else if (!placed[size_t(root)]) {
            placeRegion(root);
        }
    }
    for (qsizetype j = 0; j < other.Lines.size(); ++j) {
        const int root = find(parent, int(ours + j));
        if (taken[size_t(root)] && !placed[size_t(root)])
            placeRegion(root);
    }
    reading.Lines = std::move(lines);
    return regions;
}

} // namespace ReadingChoice
