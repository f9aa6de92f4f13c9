#include "PageGeometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

MiRect PageGeometry::ToInput(const MiRect& onPage) const {
    double x = (onPage.Left + onPage.Right) / 2.0, y = (onPage.Top + onPage.Bottom) / 2.0;
    double w = onPage.Right - onPage.Left, h = onPage.Bottom - onPage.Top;
    // Straightening turned the page about its centre, keeping its size.
    if (deskew != 0) {
        const double a = -deskew * M_PI / 180.0, cx = width / 2.0, cy = height / 2.0;
        const double dx = x - cx, dy = y - cy;
        x = cx + dx * std::cos(a) - dy * std::sin(a);
        y = cy + dx * std::sin(a) + dy * std::cos(a);
    }
    // Turned upright from the page as prepared (cut, or as given).
    const int turns = ((quarterTurns % 4) + 4) % 4;
    const int pw = steps.cut ? steps.cutWidth : inputWidth;
    const int ph = steps.cut ? steps.cutHeight : inputHeight;
    const double tw = turns % 2 ? ph : pw, th = turns % 2 ? pw : ph;
    // Enlarged: the scale of each side, as rounded to whole pixels.
    if (width > 0 && height > 0 && tw > 0 && th > 0) {
        const double sx = width / tw, sy = height / th;
        x /= sx;
        w /= sx;
        y /= sy;
        h /= sy;
    }
    switch (turns) {
    case 1:
        std::tie(x, y) = std::pair(y, ph - x);
        std::swap(w, h);
        break;
    case 2:
        std::tie(x, y) = std::pair(pw - x, ph - y);
        break;
    case 3:
        std::tie(x, y) = std::pair(pw - y, x);
        std::swap(w, h);
        break;
    default:
        break;
    }
    if (steps.cut && pw > 0 && ph > 0) {
        // Within the outline's corners, as they stretch between them.
        const auto& c = steps.corners;
        const double u = x / pw, v = y / ph;
        const auto at = [&](int k) {
            return (1 - u) * (1 - v) * c[k] + u * (1 - v) * c[2 + k] + u * v * c[4 + k] +
                   (1 - u) * v * c[6 + k];
        };
        const double top = std::hypot(c[2] - c[0], c[3] - c[1]) / pw;
        const double left = std::hypot(c[6] - c[0], c[7] - c[1]) / ph;
        x = at(0);
        y = at(1);
        w *= top;
        h *= left;
    }
    const auto clip = [](double value, int limit) {
        return int(std::lround(std::clamp(value, 0.0, double(limit))));
    };
    return {clip(x - w / 2, inputWidth), clip(y - h / 2, inputHeight), clip(x + w / 2, inputWidth),
            clip(y + h / 2, inputHeight)};
}
