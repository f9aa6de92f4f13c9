#include "TableRules.h"

#include "PagePreparation.h"

#include <algorithm>
#include <memory>
#include <tesseract/baseapi.h>

namespace {

struct Segment {
    int x, y, w, h;
};

std::vector<Segment> segments(Pix* runs) {
    std::vector<Segment> out;
    BoxaPtr boxes(pixConnCompBB(runs, 8));
    for (int i = 0; boxes && i < boxaGetCount(boxes.get()); ++i) {
        Segment s{};
        boxaGetBoxGeometry(boxes.get(), i, &s.x, &s.y, &s.w, &s.h);
        out.push_back(s);
    }
    return out;
}

// Long thin runs of ink in one direction: what survives an opening by a brick `length` long,
// less what is thicker than a rule.
PixPtr thinRuns(Pix* ink, int length, int thick, bool horizontal) {
    // The composite brick with word-parallel operations opens long runs several times faster.
    PixPtr runs(horizontal ? pixOpenCompBrickDwa(nullptr, ink, length, 1)
                           : pixOpenCompBrickDwa(nullptr, ink, 1, length));
    if (!runs)
        return nullptr;
    PixPtr solid(horizontal ? pixOpenBrick(nullptr, runs.get(), 1, thick)
                            : pixOpenBrick(nullptr, runs.get(), thick, 1));
    if (!solid)
        return nullptr;
    pixSubtract(runs.get(), runs.get(), solid.get());
    return runs;
}

// The positions of the lines that cross most of the table, merged when closer than `near`,
// with the table's edges added.
std::vector<int> boundaries(std::vector<int> at, int from, int to, int near) {
    at.push_back(from);
    at.push_back(to);
    std::sort(at.begin(), at.end());
    std::vector<int> out;
    for (int p : at)
        if (out.empty() || p - out.back() > near)
            out.push_back(p);
    return out;
}

int indexIn(const std::vector<int>& edges, int p) {
    const auto it = std::upper_bound(edges.begin(), edges.end(), p);
    return std::clamp(int(it - edges.begin()) - 1, 0, std::max(0, int(edges.size()) - 2));
}

bool contains(const MiRect& r, const ReadWord& w, int margin = 0) {
    const int cx = (w.box.Left + w.box.Right) / 2, cy = (w.box.Top + w.box.Bottom) / 2;
    return cx >= r.Left - margin && cx < r.Right + margin && cy >= r.Top - margin &&
           cy < r.Bottom + margin;
}

// Whether the page's ink (1 = ink) has anything inside r.
bool inked(Pix* ink, const MiRect& r) {
    Box* box = boxCreate(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    PixPtr part(pixClipRectangle(ink, box, nullptr));
    boxDestroy(&box);
    l_int32 empty = 1;
    return part && pixZero(part.get(), &empty) == 0 && !empty;
}

// A cell's text wraps to a few lines at most.
constexpr int MostLinesInARow = 3;

bool legible(const ReadWord& w) {
    return std::any_of(w.text.begin(), w.text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

TableRules::TableRules(Pix* page) {
    if (!page)
        return;
    m_gray = PagePreparation::Gray(page);
    if (!m_gray)
        return;
    PixPtr ink(pixThresholdToBinary(m_gray.get(), 128));
    if (!ink)
        return;
    const int w = pixGetWidth(ink.get()), h = pixGetHeight(ink.get());
    const int dpi = pixGetXRes(page) > 70 ? pixGetXRes(page) : 300;
    // Rules are thinner than a twentieth of an inch; no character is as long as a fifth.
    const int thick = std::max(3, dpi / 20), longest = dpi / 5;
    m_thick = thick;
    // Filled grounds: ink wider than any stroke, the light letters on it closed over. Gaps
    // between light letters would look like rules, so the rules are looked for outside them.
    // Found at a quarter of the size (thin strokes fade there, grounds stay), for speed.
    const PixPtr small(pixReduceRankBinaryCascade(ink.get(), 2, 2, 0, 0));
    const PixPtr wide(small ? pixOpenBrick(nullptr, small.get(), thick / 2, thick / 2) : nullptr);
    const PixPtr closed(wide ? pixCloseSafeBrick(nullptr, wide.get(), longest / 4, longest / 4)
                             : nullptr);
    const PixPtr fills(closed ? pixExpandBinaryPower2(closed.get(), 4) : nullptr);
    if (!fills)
        return;
    pixRasterop(ink.get(), 0, 0, pixGetWidth(fills.get()), pixGetHeight(fills.get()), PIX_SUBTRACT,
                fills.get(), 0, 0);
    PixPtr across = thinRuns(ink.get(), std::max(longest, w / 12), thick, true);
    PixPtr down = thinRuns(ink.get(), std::max(longest, h / 20), thick, false);
    if (!across || !down)
        return;
    m_rules.reset(pixOr(nullptr, across.get(), down.get()));
    const PixPtr joined(pixDilateBrick(nullptr, m_rules.get(), 5, 5));
    if (!joined)
        return;
    const std::vector<Segment> lines = segments(across.get());
    const std::vector<Segment> posts = segments(down.get());
    const std::vector<Segment> solids = segments(fills.get());
    const auto addTable = [&](const Segment& grid, int headerReach) {
        Table table{{grid.x, grid.y, grid.x + grid.w, grid.y + grid.h}, {}, {}};
        // A filled header row above the grid hides its top rule (and the rule below it, when
        // the rows are set apart by rules alone).
        std::vector<int> ys, xs;
        for (const Segment& s : solids)
            if (s.w * 10 >= grid.w * 8 && s.y + s.h <= grid.y + 2 * thick &&
                s.y + s.h >= grid.y - headerReach && s.x < grid.x + grid.w && grid.x < s.x + s.w) {
                table.bounds.Top = std::min(table.bounds.Top, s.y);
                ys.push_back(s.y + s.h);
            }
        for (const Segment& s : lines)
            if (s.w * 2 >= grid.w && s.y >= grid.y - 3 && s.y + s.h <= grid.y + grid.h + 3)
                ys.push_back(s.y + s.h / 2);
        for (const Segment& s : posts)
            if (s.h * 2 >= grid.h && s.x >= grid.x - 3 && s.x + s.w <= grid.x + grid.w + 3)
                xs.push_back(s.x + s.w / 2);
        if (ys.size() < 2 && xs.size() < 2)
            return;
        table.rows = boundaries(ys, table.bounds.Top, table.bounds.Bottom, 3 * thick);
        table.columns = boundaries(xs, table.bounds.Left, table.bounds.Right, 3 * thick);
        if (table.rows.size() >= 3)
            m_tables.push_back(std::move(table));
    };
    for (const Segment& grid : segments(joined.get()))
        if (grid.w >= longest * 2 && grid.h >= longest)
            addTable(grid, 2 * thick);
    // Rows set apart by rules alone: rules of one length, one above the other, no further
    // apart than a tall row, make a grid of their own.
    std::vector<Segment> rules;
    for (const Segment& s : lines)
        if (s.w >= longest * 2)
            rules.push_back(s);
    std::sort(rules.begin(), rules.end(),
              [](const Segment& a, const Segment& b) { return a.y < b.y; });
    const auto inTable = [&](const Segment& s) {
        return std::any_of(m_tables.begin(), m_tables.end(), [&](const Table& t) {
            return s.y >= t.bounds.Top - 3 && s.y <= t.bounds.Bottom + 3 && s.x < t.bounds.Right &&
                   t.bounds.Left < s.x + s.w;
        });
    };
    std::vector<Segment> stack;
    const auto closeStack = [&] {
        if (stack.size() >= 3) {
            const Segment& top = stack.front();
            const Segment& bottom = stack.back();
            addTable({top.x, top.y, top.w, bottom.y + bottom.h - top.y}, dpi / 2);
        }
        stack.clear();
    };
    for (const Segment& s : rules) {
        if (inTable(s))
            continue;
        if (!stack.empty()) {
            const Segment& last = stack.back();
            if (std::abs(s.x - last.x) > 3 * thick ||
                std::abs(s.x + s.w - last.x - last.w) > 3 * thick || s.y - last.y > dpi / 2)
                closeStack();
        }
        stack.push_back(s);
    }
    closeStack();
}

PixPtr TableRules::Cleaned() const {
    if (m_tables.empty())
        return nullptr;
    PixPtr out(pixCopy(nullptr, m_gray.get()));
    const PixPtr wider(pixDilateBrick(nullptr, m_rules.get(), 3, 3));
    if (!out || !wider)
        return nullptr;
    pixSetMasked(out.get(), wider.get(), 255);
    for (const Table& t : m_tables) {
        for (size_t r = 0; r + 1 < t.rows.size(); ++r) {
            for (size_t c = 0; c + 1 < t.columns.size(); ++c) {
                Box* box = boxCreate(t.columns[c], t.rows[r], t.columns[c + 1] - t.columns[c],
                                     t.rows[r + 1] - t.rows[r]);
                PixPtr cell(pixClipRectangle(out.get(), box, nullptr));
                boxDestroy(&box);
                if (!cell)
                    continue;
                // The cell's ground is its middle level: a dark one (a header with light
                // text) is turned over, and every ground is brought to white.
                l_uint32 middle = 255;
                if (pixGetRankValue(cell.get(), 1, 0.5f, &middle) != 0)
                    continue;
                int ground = int(middle);
                if (ground < 110) {
                    pixInvert(cell.get(), cell.get());
                    ground = 255 - ground;
                }
                if (ground > 0 && ground < 250)
                    pixMultConstantGray(cell.get(), 255.0f / float(ground));
                pixRasterop(out.get(), t.columns[c], t.rows[r], pixGetWidth(cell.get()),
                            pixGetHeight(cell.get()), PIX_SRC, cell.get(), 0, 0);
            }
        }
    }
    return out;
}

QList<ReadLine> TableRules::readRows(tesseract::TessBaseAPI& api, Pix* page, Pix* ink,
                                     const Table& t, int text) const {
    QList<ReadLine> rows;
    api.SetImage(page);
    if (pixGetXRes(page) < 70)
        api.SetSourceResolution(300);
    const int inset = m_thick / 2 + 1;
    for (size_t r = 0; r + 1 < t.rows.size(); ++r) {
        const int top = t.rows[r] + inset, bottom = t.rows[r + 1] - inset;
        ReadLine row;
        // Each cell alone: a line of it cannot run on into the next cell's words. A cell of one
        // line is read as a line, which keeps a number with its separators whole.
        api.SetPageSegMode(text > 0 && bottom - top < 5 * text / 2 ? tesseract::PSM_SINGLE_LINE
                                                                   : tesseract::PSM_SINGLE_BLOCK);
        for (size_t c = 0; c + 1 < t.columns.size() && bottom - top >= 2 * inset; ++c) {
            const MiRect cell{t.columns[c] + inset, top, t.columns[c + 1] - inset, bottom};
            if (cell.Right - cell.Left < 2 * inset || !inked(ink, cell))
                continue;
            api.SetRectangle(cell.Left, cell.Top, cell.Right - cell.Left, cell.Bottom - cell.Top);
            if (api.Recognize(nullptr) != 0)
                continue;
            for (const ReadLine& line : PageReading::Results(api).Lines)
                for (ReadWord word : line) {
                    // Strokes alone are what is left of a rule.
                    if (!legible(word))
                        continue;
                    word.cell = int(c);
                    row.append(word);
                }
        }
        rows.append(row);
    }
    api.Clear();
    return rows;
}

void TableRules::replace(PageReading& reading, const Table& t, const QList<ReadLine>& rows,
                         int margin) {
    QList<ReadLine> lines;
    qsizetype at = -1;
    for (const ReadLine& line : reading.Lines) {
        ReadLine rest;
        for (const ReadWord& w : line) {
            // Strokes just outside are the ends of its rules.
            if (!contains(t.bounds, w) && (legible(w) || !contains(t.bounds, w, margin)))
                rest.append(w);
            else if (at < 0)
                at = lines.size();
        }
        if (!rest.isEmpty())
            lines.append(rest);
    }
    // A table the layout pass read nothing of goes where its top says.
    if (at < 0)
        at = std::find_if(lines.begin(), lines.end(),
                          [&](const ReadLine& l) { return l.front().box.Top > t.bounds.Top; }) -
             lines.begin();
    for (qsizetype i = 0; i < rows.size(); ++i)
        lines.insert(at + i, rows[i]);
    reading.Lines = std::move(lines);
}

// The words the layout pass read inside the table, set out in its rows and cells.
QList<ReadLine> TableRules::laidOut(const PageReading& reading, const Table& t) {
    std::vector<ReadLine> rows(t.rows.size());
    for (const ReadLine& line : reading.Lines)
        for (const ReadWord& w : line)
            if (contains(t.bounds, w) && legible(w)) {
                ReadWord word = w;
                word.cell = indexIn(t.columns, (w.box.Left + w.box.Right) / 2);
                rows[size_t(indexIn(t.rows, (w.box.Top + w.box.Bottom) / 2))].append(word);
            }
    QList<ReadLine> out;
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        std::stable_sort(rows[r].begin(), rows[r].end(),
                         [](const ReadWord& a, const ReadWord& b) { return a.cell < b.cell; });
        out.append(rows[r]);
    }
    return out;
}

namespace {

// The columns of a table ruled only between its rows: the gaps at least `gap` wide that are
// free of ink in nearly every row.
std::vector<int> columnsFromGaps(Pix* ink, const TableRules::Table& t, int inset, int gap) {
    const int left = t.bounds.Left + inset, width = t.bounds.Right - t.bounds.Left - 2 * inset;
    std::vector<int> free(size_t(std::max(0, width)), 0);
    int rows = 0;
    for (size_t r = 0; r + 1 < t.rows.size(); ++r) {
        Box* box = boxCreate(left, t.rows[r] + inset, width, t.rows[r + 1] - t.rows[r] - 2 * inset);
        PixPtr row(pixClipRectangle(ink, box, nullptr));
        boxDestroy(&box);
        NUMA* counts = row ? pixCountPixelsByColumn(row.get()) : nullptr;
        if (!counts)
            continue;
        ++rows;
        for (int x = 0; x < width && x < numaGetCount(counts); ++x) {
            l_float32 n = 0;
            numaGetFValue(counts, x, &n);
            free[size_t(x)] += n == 0;
        }
        numaDestroy(&counts);
    }
    std::vector<int> out{t.bounds.Left};
    const int wanted = rows - std::max(1, rows / 8);
    int start = -1;
    bool inked = false;
    for (int x = 0; x <= width; ++x) {
        const bool open = x < width && free[size_t(x)] >= wanted;
        if (open && start < 0)
            start = x;
        if (!open && start >= 0) {
            if (inked && x < width && x - start >= gap)
                out.push_back(left + (start + x) / 2);
            start = -1;
        }
        inked = inked || !open;
    }
    out.push_back(t.bounds.Right);
    return out;
}

// How many lines of text, one above the other, the reading holds in each row of the table.
std::vector<int> linesPerRow(const PageReading& reading, const std::vector<int>& rows,
                             const MiRect& bounds) {
    std::vector<std::vector<MiRect>> spans(rows.size());
    for (const ReadLine& line : reading.Lines) {
        std::vector<MiRect> inRow(rows.size(), MiRect{0, 0, 0, 0});
        for (const ReadWord& w : line) {
            if (!contains(bounds, w) || !legible(w))
                continue;
            MiRect& r = inRow[size_t(indexIn(rows, (w.box.Top + w.box.Bottom) / 2))];
            r = r.Bottom == 0
                    ? w.box
                    : MiRect{std::min(r.Left, w.box.Left), std::min(r.Top, w.box.Top),
                             std::max(r.Right, w.box.Right), std::max(r.Bottom, w.box.Bottom)};
        }
        for (size_t r = 0; r < rows.size(); ++r)
            if (inRow[r].Bottom != 0)
                spans[r].push_back(inRow[r]);
    }
    std::vector<int> out(rows.size(), 0);
    for (size_t r = 0; r < rows.size(); ++r) {
        // Lines side by side (cells the layout pass read apart) are one line of the row.
        std::sort(spans[r].begin(), spans[r].end(), [](const MiRect& a, const MiRect& b) {
            return a.Top + a.Bottom < b.Top + b.Bottom;
        });
        int lastMiddle = -1, lastHeight = 0;
        for (const MiRect& s : spans[r]) {
            const int middle = (s.Top + s.Bottom) / 2;
            if (lastMiddle < 0 ||
                middle - lastMiddle > std::max(lastHeight, s.Bottom - s.Top) / 2) {
                ++out[r];
                lastMiddle = middle;
                lastHeight = s.Bottom - s.Top;
            }
        }
    }
    return out;
}

// The parts of a table set out in rows: runs of rows that hold a line or two of text each.
// A row holding more is running text in a frame (a panel of a transcript, a boxed note), and
// is left as the layout pass read it.
std::vector<TableRules::Table> ruledParts(const TableRules::Table& t, const PageReading& reading) {
    const std::vector<int> lines = linesPerRow(reading, t.rows, t.bounds);
    std::vector<TableRules::Table> parts;
    for (size_t r = 0; r + 1 < t.rows.size(); ++r) {
        if (lines[r] > MostLinesInARow)
            continue;
        if (parts.empty() || parts.back().rows.back() != t.rows[r]) {
            parts.push_back({t.bounds, {t.rows[r]}, t.columns});
            parts.back().bounds.Top = t.rows[r];
        }
        parts.back().rows.push_back(t.rows[r + 1]);
        parts.back().bounds.Bottom = t.rows[r + 1];
    }
    return parts;
}

} // namespace

void TableRules::Read(tesseract::TessBaseAPI& api, PageReading& reading) const {
    const PixPtr cleaned = Cleaned();
    if (!cleaned)
        return;
    std::vector<Table> tables;
    for (const Table& whole : m_tables)
        for (Table& part : ruledParts(whole, reading))
            tables.push_back(std::move(part));
    const PixPtr ink(pixThresholdToBinary(cleaned.get(), 128));
    if (!ink)
        return;
    for (Table& t : tables) {
        Box* box = boxCreate(t.bounds.Left, t.bounds.Top, t.bounds.Right - t.bounds.Left,
                             t.bounds.Bottom - t.bounds.Top);
        const PixPtr area(pixClipRectangle(cleaned.get(), box, nullptr));
        boxDestroy(&box);
        const int text = area ? PagePreparation::TextHeight(area.get()) : 0;
        if (t.columns.size() == 2 && text > 0)
            t.columns = columnsFromGaps(ink.get(), t, m_thick / 2 + 1, text);
        // Each row as the layout pass read it, or cell by cell with its cells evened:
        // whichever reads with more weight. (Reading the rows as they are as well won nothing
        // on ruled and filled tables and cost as much again.)
        QList<ReadLine> best = laidOut(reading, t);
        const QList<ReadLine> rows = readRows(api, cleaned.get(), ink.get(), t, text);
        for (qsizetype r = 0; r < best.size() && r < rows.size(); ++r)
            if (PageReading{{rows[r]}}.Weight() > PageReading{{best[r]}}.Weight())
                best[r] = rows[r];
        best.removeIf([](const ReadLine& row) { return row.isEmpty(); });
        replace(reading, t, best, 4 * m_thick);
    }
}
