#include "PageSurvey.h"

#include "PixPtr.h"

#include <algorithm>

namespace {

// Tiles of 24 reduced pixels: 96 pixels, a third of an inch at 300 dpi.
constexpr int TileSize = 24;

int percentile(std::vector<int> values, double fraction) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// The extreme value in each tile of a reduced image; keepMax picks the brightest.
std::vector<int> tileExtremes(Pix* reduced, int columns, int rows, bool keepMax) {
    std::vector<int> out(size_t(columns * rows), keepMax ? 0 : 255);
    const int w = pixGetWidth(reduced), h = pixGetHeight(reduced), wpl = pixGetWpl(reduced);
    const l_uint32* data = pixGetData(reduced);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + y * wpl;
        int* row = out.data() + std::min(y / TileSize, rows - 1) * columns;
        for (int x = 0; x < w; ++x) {
            int& cell = row[std::min(x / TileSize, columns - 1)];
            const int v = int(GET_DATA_BYTE(line, x));
            cell = keepMax ? std::max(cell, v) : std::min(cell, v);
        }
    }
    return out;
}

} // namespace

PageSurvey::PageSurvey(Pix* gray) {
    const PixPtr bright(pixScaleGrayMinMax(gray, Reduction, Reduction, L_CHOOSE_MAX));
    const PixPtr dark(pixScaleGrayMinMax(gray, Reduction, Reduction, L_CHOOSE_MIN));
    if (!bright || !dark)
        return;
    const int columns = std::max(1, pixGetWidth(bright.get()) / TileSize);
    const int rows = std::max(1, pixGetHeight(bright.get()) / TileSize);
    m_tilePaper = tileExtremes(bright.get(), columns, rows, true);
    m_tileInk = tileExtremes(dark.get(), columns, rows, false);
    m_paper = std::max(1, percentile(m_tilePaper, 0.9));
    m_ink = percentile(m_tileInk, 0.05);

    surveyBorder(bright.get());
}

void PageSurvey::surveyBorder(Pix* bright) {
    // Every pixel of the reduced image's outermost lines: the dark ones, and those from which
    // a walk inwards ends in a sharp step up (a page's edge; a lamp's fall-off is gradual).
    const int w = pixGetWidth(bright), h = pixGetHeight(bright), wpl = pixGetWpl(bright);
    if (w < 8 || h < 8)
        return;
    const l_uint32* data = pixGetData(bright);
    const auto at = [&](int x, int y) { return int(GET_DATA_BYTE(data + y * wpl, x)); };
    std::vector<int> darkLevels;
    const auto walk = [&](int x, int y, int dx, int dy) {
        ++m_ring;
        int previous = at(x, y);
        if (previous * 2 >= m_paper)
            return;
        ++m_darkRing;
        darkLevels.push_back(previous);
        // Not beyond the middle: a page is not that far in.
        for (int step = 1; step < (dx ? w : h) / 2; ++step) {
            const int v = at(x + dx * step, y + dy * step);
            if (v * 2 >= m_paper) {
                if (v >= 2 * std::max(previous, 8))
                    ++m_steps;
                return;
            }
            previous = v;
        }
    };
    for (int x = 0; x < w; ++x) {
        walk(x, 0, 0, 1);
        walk(x, h - 1, 0, -1);
    }
    for (int y = 0; y < h; ++y) {
        walk(0, y, 1, 0);
        walk(w - 1, y, -1, 0);
    }
    m_surround = percentile(darkLevels, 0.9);
}

bool PageSurvey::Surrounded() const {
    // A photographed page leaves the table visible on most of the border, and walking
    // inwards from most of it ends at the page's edge.
    return m_ring > 0 && m_darkRing * 2 >= m_ring && m_steps * 2 >= m_darkRing;
}

bool PageSurvey::HasInk() const {
    // Sensor noise alone spreads a blank page's levels by some twenty.
    return !m_tileInk.empty() && m_paper - m_ink >= 32;
}

bool PageSurvey::Uneven() const {
    if (!HasInk())
        return false;
    // Measured against the ink's contrast: on a faint page a small change of light already
    // moves paper across the engine's threshold.
    return (m_paper - percentile(m_tilePaper, 0.1)) * 5 > m_paper - m_ink;
}

bool PageSurvey::LowContrast() const {
    if (!HasInk())
        return false;
    return (m_paper - m_ink) * 10 < m_paper * 7;
}
