#include "PageBlocks.h"

#include "PixPtr.h"

#include <algorithm>

namespace {

// Blocks are found at half size: exact enough, and a quarter of the work.
constexpr int Reduction = 2;

struct BoxaDeleter {
    void operator()(Boxa* boxa) const { boxaDestroy(&boxa); }
};
using BoxaPtr = std::unique_ptr<Boxa, BoxaDeleter>;

PixPtr binaryOf(Pix* page) {
    const PixPtr binary(pixGetDepth(page) == 1 ? pixClone(page) : pixConvertTo1(page, 130));
    if (!binary)
        return nullptr;
    // Rank 1 keeps every stroke that touches a reduced pixel.
    return PixPtr(pixReduceRankBinary2(binary.get(), 1, nullptr));
}

// The size of a full character: the 90th percentile of the ink's pieces, as a character often
// falls into several and ruby and punctuation are smaller.
int characterSize(Pix* binary) {
    const BoxaPtr boxes(pixConnCompBB(binary, 8));
    std::vector<int> sizes;
    const int largest = std::max(pixGetWidth(binary), pixGetHeight(binary)) / 4;
    for (int i = 0; boxes && i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        if (std::max(w, h) >= 3 && std::max(w, h) <= largest)
            sizes.push_back(std::max(w, h));
    }
    if (sizes.size() < 20)
        return 0;
    const auto at = sizes.begin() + std::ptrdiff_t(sizes.size() * 9 / 10);
    std::nth_element(sizes.begin(), at, sizes.end());
    return *at;
}

// How long the ink grows when the gaps between characters along one direction are closed:
// the pieces' length over their thickness, weighted by their area.
double elongation(Pix* block, int size, bool vertical) {
    const int gap = std::max(2, size / 2);
    const PixPtr joined(pixCloseBrick(nullptr, block, vertical ? 1 : gap, vertical ? gap : 1));
    const BoxaPtr boxes(joined ? pixConnCompBB(joined.get(), 8) : nullptr);
    double sum = 0, area = 0;
    for (int i = 0; boxes && i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        const double length = vertical ? h : w, thickness = std::max(1, vertical ? w : h);
        sum += double(w) * h * std::min(length / thickness, 30.0);
        area += double(w) * h;
    }
    return area > 0 ? sum / area : 0;
}

// The blocks of one direction, in reduced pixels: lines are the ink joined along that direction
// that grows at least three times longer than thick and two characters long; lines closer
// than two characters form a block, kept when its ink runs that way clearly more than across.
std::vector<PageBlocks::Block> candidates(Pix* ink, int size, bool vertical) {
    const int gap = std::max(2, size / 2);
    const PixPtr joined(pixCloseBrick(nullptr, ink, vertical ? 1 : gap, vertical ? gap : 1));
    const PixPtr thin(
        joined ? pixSelectByWidthHeightRatio(joined.get(), vertical ? 1.0f / 3 : 3.0f, 8,
                                             vertical ? L_SELECT_IF_LTE : L_SELECT_IF_GTE, nullptr)
               : nullptr);
    const PixPtr lines(thin ? pixSelectBySize(thin.get(), 2 * size, 2 * size, 8, L_SELECT_IF_EITHER,
                                              L_SELECT_IF_GTE, nullptr)
                            : nullptr);
    const PixPtr grouped(lines ? pixCloseBrick(nullptr, lines.get(), 2 * size, 2 * size) : nullptr);
    const BoxaPtr boxes(grouped ? pixConnCompBB(grouped.get(), 8) : nullptr);
    std::vector<PageBlocks::Block> blocks;
    for (int i = 0; boxes && i < boxaGetCount(boxes.get()); ++i) {
        Box* box = boxaGetBox(boxes.get(), i, L_CLONE);
        const PixPtr piece(pixClipRectangle(ink, box, nullptr));
        l_int32 x, y, w, h;
        boxGetGeometry(box, &x, &y, &w, &h);
        boxDestroy(&box);
        if (!piece)
            continue;
        const double along = elongation(piece.get(), size, vertical);
        const double other = elongation(piece.get(), size, !vertical);
        if (along >= 3 && along > 1.5 * other)
            blocks.push_back({x, y, x + w, y + h, vertical});
    }
    return blocks;
}

std::vector<PageBlocks::Block> inReadingOrder(std::vector<PageBlocks::Block> blocks) {
    std::vector<PageBlocks::Block> ordered;
    while (!blocks.empty()) {
        const auto free = [&](const PageBlocks::Block& b) {
            return std::none_of(blocks.begin(), blocks.end(), [&](const PageBlocks::Block& o) {
                return &o != &b && o.bottom <= b.top && o.right > b.left && o.left < b.right;
            });
        };
        auto next = blocks.end();
        for (auto it = blocks.begin(); it != blocks.end(); ++it)
            if (free(*it) && (next == blocks.end() || it->right > next->right))
                next = it;
        // Blocks that overlap each other leave none free; the rightmost is then taken.
        if (next == blocks.end())
            next = std::max_element(blocks.begin(), blocks.end(),
                                    [](const auto& a, const auto& b) { return a.right < b.right; });
        ordered.push_back(*next);
        blocks.erase(next);
    }
    return ordered;
}

} // namespace

namespace PageBlocks {

std::vector<Block> Find(Pix* page) {
    if (!page)
        return {};
    const PixPtr binary = binaryOf(page);
    const int size = binary ? characterSize(binary.get()) : 0;
    if (size < 4)
        return {};
    // Specks join nothing.
    const PixPtr ink(pixSelectBySize(binary.get(), size / 6, size / 6, 8, L_SELECT_IF_EITHER,
                                     L_SELECT_IF_GTE, nullptr));
    if (!ink)
        return {};
    std::vector<Block> blocks = candidates(ink.get(), size, true);
    const auto overlapsVertical = [&](const Block& b) {
        return std::any_of(blocks.begin(), blocks.end(), [&](const Block& v) {
            return v.left < b.right && b.left < v.right && v.top < b.bottom && b.top < v.bottom;
        });
    };
    std::vector<Block> across = candidates(ink.get(), size, false);
    std::erase_if(across, overlapsVertical);
    blocks.insert(blocks.end(), across.begin(), across.end());
    // A block within another one's rectangle (a stain between columns) is read with it.
    const auto area = [](const Block& b) {
        return (long long)(b.right - b.left) * (b.bottom - b.top);
    };
    std::sort(blocks.begin(), blocks.end(),
              [&](const Block& a, const Block& b) { return area(a) > area(b); });
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Block outer = blocks[i];
        std::erase_if(blocks, [&](const Block& b) {
            return area(b) < area(outer) && b.left >= outer.left && b.right <= outer.right &&
                   b.top >= outer.top && b.bottom <= outer.bottom;
        });
    }
    const int width = pixGetWidth(page), height = pixGetHeight(page);
    // Back to page pixels, with a margin of half a character: punctuation hanging below a
    // column and the engine itself want room.
    const int margin = size * Reduction / 2;
    for (Block& b : blocks) {
        b.left = std::max(0, b.left * Reduction - margin);
        b.top = std::max(0, b.top * Reduction - margin);
        b.right = std::min(width, b.right * Reduction + margin);
        b.bottom = std::min(height, b.bottom * Reduction + margin);
    }
    return inReadingOrder(std::move(blocks));
}

bool AnyVertical(const std::vector<Block>& blocks) {
    return std::any_of(blocks.begin(), blocks.end(), [](const Block& b) { return b.vertical; });
}

} // namespace PageBlocks
