#include "GradDrawCore.h"

#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Round half to even, as every rounding of the drawing routines does.
std::int64_t roundEven(double v) {
    return static_cast<std::int64_t>(std::nearbyint(v));
}

int channel(TColor c, int shift) {
    return int(c >> shift & 0xFF);
}

void setPixel(QImage& image, int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
}

// The extent over which the colour runs from one end to the other.
double extentOf(TGradientType kind, int w, int h, int left) {
    const std::int64_t diagonal = roundEven(std::hypot(double(w), double(h))) - left;
    switch (kind) {
    case gtHorizontal:
        return w;
    case gtVertical:
        return h;
    case gtFromTopLeft:
    case gtFromTopRight:
        return double(diagonal);
    case gtRadial:
        return double(diagonal / 2);
    case gtDoubleHorz:
        return w / 2;
    case gtDoubleVert:
        return h / 2;
    }
    return 0;
}

// Distance of a pixel from where the from colour sits.
double distanceOf(TGradientType kind, const TRect& r, double extent, int px, int py) {
    const auto len = [](double dx, double dy) { return std::sqrt(dx * dx + dy * dy); };
    switch (kind) {
    case gtHorizontal:
        return px - r.Left;
    case gtVertical:
        return py - r.Top;
    case gtFromTopLeft:
        return len(px - r.Left, py - r.Top);
    case gtFromTopRight:
        return len(r.Right - px, py - r.Top);
    case gtRadial:
        // The centre is measured from the image's origin, not from the rectangle's corner.
        return len((r.Right - r.Left) / 2 - px, py - (r.Bottom - r.Top) / 2);
    case gtDoubleHorz:
        return std::abs(px - extent - r.Left);
    case gtDoubleVert:
        return std::abs(py - extent - r.Top);
    }
    return 0;
}

} // namespace

QImage MakeBarImage(int width, int height) {
    return QImage(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
}

void DrawGradient(QImage& bitmap, const TRect& rect, TColor from, TColor to, TGradientType kind,
                  const QRegion* region, const QPalette* palette) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0)
        return;
    if (from == to) {
        QPainter p(&bitmap);
        const QColor colour = ToQColor(from, palette);
        if (region) {
            p.setClipRegion(*region);
            p.fillRect(bitmap.rect(), colour);
        } else {
            p.fillRect(QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top),
                       colour);
        }
        return;
    }
    const TColor f = ColorToRGB(from, palette);
    const TColor t = ColorToRGB(to, palette);
    const double extent = extentOf(kind, rect.Right - rect.Left, rect.Bottom - rect.Top, rect.Left);
    double start[3], step[3];
    for (int c = 0; c < 3; ++c) {
        start[c] = channel(f, 8 * c);
        // A zero extent (a rectangle one pixel across) leaves the from colour everywhere.
        step[c] = extent == 0 ? 0 : (channel(t, 8 * c) - start[c]) / extent;
        if (step[c] > 255)
            step[c] = 255;
    }
    const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, bitmap.height());
    const int left = std::max(rect.Left, 0), right = std::min(rect.Right, bitmap.width());
    for (int py = top; py < bottom; ++py) {
        auto* row = reinterpret_cast<QRgb*>(bitmap.scanLine(py));
        for (int px = left; px < right; ++px) {
            if (region && !region->contains(QPoint(px, py)))
                continue;
            const double d = distanceOf(kind, rect, extent, px, py);
            const auto value = [&](int c) { return int(roundEven(step[c] * d + start[c]) & 0xFF); };
            row[px] = qRgb(value(0), value(1), value(2));
        }
    }
}

void BlendBitmaps(QImage& target, const QImage& normal, const QImage& hover, int percent,
                  const TRect& rect, int border) {
    const int copyW = std::min(
        {rect.Right - rect.Left - border, normal.width(), target.width() - rect.Left - border});
    const int copyH = std::min(
        {rect.Bottom - rect.Top - border, normal.height(), target.height() - rect.Top - border});
    for (int y = 0; y < copyH; ++y) {
        const int ty = rect.Top + border + y;
        const int tx = rect.Left + border;
        if (ty < 0 || tx < 0 || copyW <= 0)
            continue;
        std::memcpy(reinterpret_cast<QRgb*>(target.scanLine(ty)) + tx, normal.constScanLine(y),
                    size_t(copyW) * sizeof(QRgb));
    }
    if (percent <= 0)
        return;
    percent = std::min(percent, 100);
    const double c = (100 - percent) / 100.0;
    const double h = 1 - c;
    // Each byte is c * target + h * hover; the two products come from tables of 256.
    double fromTarget[256], fromHover[256];
    for (int v = 0; v < 256; ++v) {
        fromTarget[v] = c * v;
        fromHover[v] = h * v;
    }
    const int top = std::max(rect.Top, 0);
    const int bottom = std::min({rect.Bottom, target.height(), rect.Top + hover.height()});
    const int left = std::max(rect.Left, 0);
    const int right = std::min({rect.Right, target.width(), rect.Left + hover.width()});
    for (int py = top; py < bottom; ++py) {
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(py));
        const auto* in = reinterpret_cast<const QRgb*>(hover.constScanLine(py - rect.Top));
        for (int px = left; px < right; ++px) {
            const QRgb a = out[px], b = in[px - rect.Left];
            const auto mix = [&](int va, int vb) {
                return int(roundEven(fromTarget[va] + fromHover[vb]));
            };
            out[px] =
                qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
        }
    }
}

void DrawGrip(QImage& bitmap, int x, int y, TGripAlign align) {
    const QRgb gray = qRgb(128, 128, 128), white = qRgb(255, 255, 255);
    const QRgb silver = qRgb(192, 192, 192);
    const auto square = [&](int left, int top, QRgb colour) {
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                setPixel(bitmap, left + dx, top + dy, colour);
    };
    for (int d = -40; d <= 38; d += 3) {
        const int X = align == gaVertical ? x : x + d;
        const int Y = align == gaVertical ? y + d : y;
        square(X, Y, gray);
        square(X + 1, Y + 1, white);
        setPixel(bitmap, X + 1, Y + 2, silver);
        setPixel(bitmap, X + 1, Y + 1, gray);
        setPixel(bitmap, X, Y, white);
    }
}
