#include "PageOutline.h"

#include "PageSurvey.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct PtaDeleter {
    void operator()(Pta* pta) const { ptaDestroy(&pta); }
};
using PtaPtr = std::unique_ptr<Pta, PtaDeleter>;

double distance(const PageOutline::Point& a, const PageOutline::Point& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The page's pixels: the largest 4-connected region brighter than a third of the way from
// the surround to the paper, in the 4x max reduction (a lamp's fall-off keeps a dim corner
// of the page above that level).
PixPtr pageRegion(Pix* gray, const PageSurvey& survey, Box** box) {
    const PixPtr bright(
        pixScaleGrayMinMax(gray, PageSurvey::Reduction, PageSurvey::Reduction, L_CHOOSE_MAX));
    if (!bright)
        return nullptr;
    const int level = survey.Surround() + (survey.Paper() - survey.Surround()) / 3;
    // pixThresholdToBinary marks the pixels below the level; the page is the rest.
    PixPtr binary(pixThresholdToBinary(bright.get(), level));
    if (!binary)
        return nullptr;
    pixInvert(binary.get(), binary.get());
    Pixa* pixa = nullptr;
    Boxa* boxes = pixConnComp(binary.get(), &pixa, 4);
    PixPtr region;
    if (boxes && pixa) {
        int largest = -1;
        l_int64 largestArea = 0;
        for (int i = 0; i < boxaGetCount(boxes); ++i) {
            l_int32 x, y, w, h;
            boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
            if (l_int64(w) * h > largestArea) {
                largestArea = l_int64(w) * h;
                largest = i;
            }
        }
        if (largest >= 0) {
            region.reset(pixaGetPix(pixa, largest, L_COPY));
            *box = boxaGetBox(boxes, largest, L_COPY);
        }
    }
    pixaDestroy(&pixa);
    boxaDestroy(&boxes);
    return region;
}

} // namespace

std::optional<PageOutline> PageOutline::Find(Pix* gray, const PageSurvey& survey) {
    Box* box = nullptr;
    const PixPtr region = pageRegion(gray, survey, &box);
    if (!region || !box)
        return std::nullopt;
    l_int32 bx, by, bw, bh;
    boxGetGeometry(box, &bx, &by, &bw, &bh);
    boxDestroy(&box);

    // The corners are the region's extreme points along the two diagonals.
    const double lowest = -std::numeric_limits<double>::max();
    std::array<double, 4> best{lowest, lowest, lowest, lowest};
    std::array<Point, 4> corners{};
    const int wpl = pixGetWpl(region.get());
    const l_uint32* data = pixGetData(region.get());
    for (int y = 0; y < bh; ++y) {
        const l_uint32* line = data + y * wpl;
        for (int x = 0; x < bw; ++x) {
            if (!GET_DATA_BIT(line, x))
                continue;
            const double px = bx + x + 0.5, py = by + y + 0.5;
            const std::array<double, 4> score{-px - py, px - py, px + py, py - px};
            for (size_t i = 0; i < 4; ++i) {
                if (score[i] > best[i]) {
                    best[i] = score[i];
                    corners[i] = {px, py};
                }
            }
        }
    }
    // Too small a region is a bright object on the table, not the page.
    const double reducedArea = double(pixGetWidth(gray)) * pixGetHeight(gray) /
                               (PageSurvey::Reduction * PageSurvey::Reduction);
    if (double(bw) * bh < reducedArea / 5)
        return std::nullopt;

    // Back to full size, and a little inside the edge so that no table is left on the page.
    Point centre;
    for (const Point& p : corners) {
        centre.x += p.x / 4;
        centre.y += p.y / 4;
    }
    for (Point& p : corners) {
        p.x = p.x * PageSurvey::Reduction;
        p.y = p.y * PageSurvey::Reduction;
        const double inset = 0.01;
        p.x += (centre.x * PageSurvey::Reduction - p.x) * inset;
        p.y += (centre.y * PageSurvey::Reduction - p.y) * inset;
    }
    return PageOutline(corners);
}

PixPtr PageOutline::Cut(Pix* gray) const {
    const auto& c = m_corners;
    const int width = int(std::lround(std::max(distance(c[0], c[1]), distance(c[3], c[2]))));
    const int height = int(std::lround(std::max(distance(c[0], c[3]), distance(c[1], c[2]))));
    if (width < 16 || height < 16)
        return nullptr;
    // The transformed image keeps the source's size; room is added on the right and below
    // when the straightened page is larger, which leaves the source coordinates unchanged.
    PixPtr source(pixAddBorderGeneral(gray, 0, std::max(0, width - pixGetWidth(gray)), 0,
                                      std::max(0, height - pixGetHeight(gray)), 0));
    if (!source)
        return nullptr;
    const PtaPtr from(ptaCreate(4)), to(ptaCreate(4));
    const Point rectangle[4] = {
        {0, 0}, {double(width), 0}, {double(width), double(height)}, {0, double(height)}};
    for (size_t i = 0; i < 4; ++i) {
        ptaAddPt(from.get(), float(c[i].x), float(c[i].y));
        ptaAddPt(to.get(), float(rectangle[i].x), float(rectangle[i].y));
    }
    const PixPtr straight(pixProjectivePtaGray(source.get(), to.get(), from.get(), 255));
    if (!straight)
        return nullptr;
    Box* keep = boxCreate(0, 0, width, height);
    PixPtr page(pixClipRectangle(straight.get(), keep, nullptr));
    boxDestroy(&keep);
    if (page)
        pixCopyResolution(page.get(), gray);
    return page;
}
