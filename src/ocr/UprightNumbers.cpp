#include "UprightNumbers.h"

#include "PixPtr.h"

#include <algorithm>

namespace {

struct Piece {
    int left, top, right, bottom;
};

bool digitShaped(const std::vector<Piece>& row, int em) {
    if (row.size() < 2 || row.size() > 3)
        return false;
    const auto [shortest, tallest] =
        std::minmax_element(row.begin(), row.end(), [](const Piece& a, const Piece& b) {
            return a.bottom - a.top < b.bottom - b.top;
        });
    const int low = shortest->bottom - shortest->top, high = tallest->bottom - tallest->top;
    const int left = row.front().left, right = row.back().right;
    const bool aligned = std::all_of(row.begin(), row.end(), [&](const Piece& p) {
        return std::abs(p.top - row.front().top) * 10 <= em && (p.right - p.left) * 2 <= em;
    });
    // い, り, ハ also stand side by side, but their strokes differ in height.
    return aligned && low * 2 >= em && high * 20 <= em * 19 && (high - low) * 100 <= high * 12 &&
           (right - left) * 10 <= em * 11;
}

} // namespace

namespace UprightNumbers {

std::vector<Cell> Find(Pix* page, const MiRect& column, int em) {
    std::vector<Cell> cells;
    if (!page || em < 8)
        return cells;
    Box* area =
        boxCreate(column.Left, column.Top, column.Right - column.Left, column.Bottom - column.Top);
    const PixPtr region(pixClipRectangle(page, area, nullptr));
    boxDestroy(&area);
    const PixPtr binary(region ? (pixGetDepth(region.get()) == 1 ? pixClone(region.get())
                                                                 : pixConvertTo1(region.get(), 130))
                               : nullptr);
    Boxa* boxes = binary ? pixConnCompBB(binary.get(), 8) : nullptr;
    std::vector<Piece> pieces;
    for (int i = 0; boxes && i < boxaGetCount(boxes); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
        if (std::max(w, h) * 8 >= em) // not a speck
            pieces.push_back({x, y, x + w, y + h});
    }
    boxaDestroy(&boxes);
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.top < b.top; });
    // Rows: pieces whose heights overlap, in reading order.
    for (size_t first = 0; first < pieces.size();) {
        int bottom = pieces[first].bottom;
        size_t end = first + 1;
        while (end < pieces.size() && pieces[end].top < bottom)
            bottom = std::max(bottom, pieces[end++].bottom);
        std::vector<Piece> row(pieces.begin() + std::ptrdiff_t(first),
                               pieces.begin() + std::ptrdiff_t(end));
        std::sort(row.begin(), row.end(),
                  [](const Piece& a, const Piece& b) { return a.left < b.left; });
        if (digitShaped(row, em)) {
            MiRect r{row.front().left, row.front().top, row.back().right, bottom};
            for (const Piece& p : row)
                r.Top = std::min(r.Top, p.top);
            cells.push_back({MiRect{column.Left + r.Left, column.Top + r.Top, column.Left + r.Right,
                                    column.Top + r.Bottom},
                             int(row.size())});
        }
        first = end;
    }
    return cells;
}

} // namespace UprightNumbers
