#include "GdiFigures.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace GdiFigures {
namespace {

// For each row of a corner, counted from the figure's edge, how far the outline stands in
// from the side: the quarter of a midpoint-rasterised ellipse with radii rx and ry.
std::vector<int> cornerInsets(int rx, int ry) {
    std::vector<int> widest(ry + 1, 0); // widest x of the arc on each y, y from the centre
    const auto plot = [&](int x, int y) { widest[y] = std::max(widest[y], x); };
    const double rx2 = double(rx) * rx;
    const double ry2 = double(ry) * ry;
    int x = 0;
    int y = ry;
    double dx = 0;
    double dy = 2 * rx2 * y;
    double p = ry2 - rx2 * ry + 0.25 * rx2;
    while (dx < dy) {
        plot(x, y);
        ++x;
        dx += 2 * ry2;
        if (p < 0) {
            p += dx + ry2;
        } else {
            --y;
            dy -= 2 * rx2;
            p += dx - dy + ry2;
        }
    }
    p = ry2 * (x + 0.5) * (x + 0.5) + rx2 * (y - 1.0) * (y - 1.0) - rx2 * ry2;
    while (y >= 0) {
        plot(x, y);
        --y;
        dy -= 2 * rx2;
        if (p > 0) {
            p += rx2 - dy;
        } else {
            ++x;
            dx += 2 * ry2;
            p += dx - dy + rx2;
        }
    }
    std::vector<int> insets(ry + 1);
    for (int row = 0; row <= ry; ++row)
        insets[row] = rx - widest[ry - row];
    return insets;
}

void span(QPainter& canvas, int x1, int x2, int y, const QColor& colour) {
    if (x2 >= x1)
        canvas.fillRect(QRect(x1, y, x2 - x1 + 1, 1), colour);
}

} // namespace

void RoundRect(QPainter& canvas, int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight,
               std::optional<QColor> pen, std::optional<QColor> brush) {
    const int right = x2 - 1;
    const int bottom = y2 - 1;
    if (right < x1 || bottom < y1)
        return;
    const int w = right - x1 + 1;
    const int h = bottom - y1 + 1;
    // An even corner size puts the ellipse's centre between pixels; the arc then takes the
    // smaller odd size.
    const int rx = std::clamp((std::min(cornerWidth, w) - 1) / 2, 0, (w - 1) / 2);
    const int ry = std::clamp((std::min(cornerHeight, h) - 1) / 2, 0, (h - 1) / 2);
    const std::vector<int> insets = cornerInsets(rx, ry);
    // How far the figure stands in from its sides on row y.
    const auto insetAt = [&](int y) {
        const int fromEdge = std::min(y - y1, bottom - y);
        return fromEdge <= ry ? insets[fromEdge] : 0;
    };
    for (int y = y1; y <= bottom; ++y) {
        const int in = insetAt(y);
        const bool edgeRow = y == y1 || y == bottom;
        if (brush && !edgeRow)
            span(canvas, x1 + in, right - in, y, *brush);
        if (!pen) {
            if (brush && edgeRow)
                span(canvas, x1 + in, right - in, y, *brush);
            continue;
        }
        if (edgeRow) {
            span(canvas, x1 + in, right - in, y, *pen);
            continue;
        }
        // The outline joins the row nearer the edge: it runs from this row's inset to one
        // short of that row's inset.
        const int nearer = y - y1 <= bottom - y ? insetAt(y - 1) : insetAt(y + 1);
        const int reach = std::max(in, nearer - 1);
        span(canvas, x1 + in, x1 + reach, y, *pen);
        span(canvas, right - reach, right - in, y, *pen);
    }
}

void FrameRectangle(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& pen) {
    RoundRect(canvas, x1, y1, x2, y2, 0, 0, pen, std::nullopt);
}

void Line(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& pen) {
    if (y1 == y2 && x1 != x2) {
        const int last = x2 > x1 ? x2 - 1 : x2 + 1;
        span(canvas, std::min(x1, last), std::max(x1, last), y1, pen);
    } else if (x1 == x2 && y1 != y2) {
        const int last = y2 > y1 ? y2 - 1 : y2 + 1;
        canvas.fillRect(QRect(x1, std::min(y1, last), 1, std::abs(last - y1) + 1), pen);
    }
}

void FocusRect(QImage& image, const QRect& rect) {
    if (rect.isEmpty())
        return;
    const auto invert = [&](int x, int y) {
        if ((x + y) % 2 != 0 || !image.rect().contains(x, y))
            return;
        image.setPixel(x, y, (~image.pixel(x, y) & 0x00FFFFFFu) | 0xFF000000u);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        invert(x, rect.top());
        if (rect.bottom() != rect.top())
            invert(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        invert(rect.left(), y);
        if (rect.right() != rect.left())
            invert(rect.right(), y);
    }
}

} // namespace GdiFigures
