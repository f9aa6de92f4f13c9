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
    m_columns = std::max(1, pixGetWidth(bright.get()) / TileSize);
    m_rows = std::max(1, pixGetHeight(bright.get()) / TileSize);
    m_tilePaper = tileExtremes(bright.get(), m_columns, m_rows, true);
    m_tileInk = tileExtremes(dark.get(), m_columns, m_rows, false);
    m_paper = std::max(1, percentile(m_tilePaper, 0.9));
    m_ink = percentile(m_tileInk, 0.05);

    // The outer ring: dark tiles, and those of them next to a tile at least twice as bright.
    if (m_columns < 3 || m_rows < 3)
        return;
    std::vector<int> darkLevels;
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            if (r != 0 && c != 0 && r != m_rows - 1 && c != m_columns - 1)
                continue;
            ++m_ring;
            const int level = tile(c, r);
            if (level * 2 >= m_paper)
                continue;
            ++m_darkRing;
            darkLevels.push_back(level);
            // Walk inwards to the first tile that is not dark: a page's edge is a sharp step.
            const int dc = c == 0 ? 1 : c == m_columns - 1 ? -1 : 0;
            const int dr = dc != 0 ? 0 : r == 0 ? 1 : -1;
            int previous = level, cc = c + dc, rr = r + dr;
            while (cc >= 0 && rr >= 0 && cc < m_columns && rr < m_rows &&
                   tile(cc, rr) * 2 < m_paper) {
                previous = tile(cc, rr);
                cc += dc;
                rr += dr;
            }
            if (cc >= 0 && rr >= 0 && cc < m_columns && rr < m_rows &&
                tile(cc, rr) >= 2 * std::max(previous, 8))
                ++m_steps;
        }
    }
    m_surround = percentile(darkLevels, 0.9);
}

bool PageSurvey::Surrounded() const {
    // A photographed page leaves the table visible on most of the ring, and walking inwards
    // from most of those tiles ends at the page's edge.
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
