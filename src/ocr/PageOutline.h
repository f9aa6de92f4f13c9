#pragma once

#include "PixPtr.h"

#include <array>
#include <optional>

class PageSurvey;

// The outline of a photographed page on a darker surround, and the page cut out of it with
// its perspective undone.
class PageOutline final {
public:
    struct Point {
        double x = 0, y = 0;
    };

    // The page's corners in the 8-bit grey image (top-left, top-right, bottom-right,
    // bottom-left), or none when no page stands out from the surround.
    static std::optional<PageOutline> Find(Pix* gray, const PageSurvey& survey);

    // The page straightened into a rectangle as wide and high as its longer edges; null when
    // Leptonica fails.
    PixPtr Cut(Pix* gray) const;

    const std::array<Point, 4>& Corners() const { return m_corners; }

private:
    explicit PageOutline(const std::array<Point, 4>& corners) : m_corners(corners) {}

    std::array<Point, 4> m_corners;
};
