#include "GradientFill.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    return static_cast<int>((product < 0) != (c < 0) ? -magnitude : magnitude);
}

void FillGradient(QPainter& canvas, const QRect& rect, TColor fromColor, TColor toColor,
                  quint8 direction, quint8 stepCount) {
    if (rect.isEmpty())
        return;
    const QColor from = ToQColor(fromColor);
    if (stepCount < 2) {
        canvas.fillRect(rect, from);
        return;
    }
    const QColor to = ToQColor(toColor);
    const bool reversed = direction == gdBottomToTop || direction == gdRightToLeft;
    const bool vertical = direction == gdTopToBottom || direction == gdBottomToTop;
    const QColor start = reversed ? to : from;
    const QColor end = reversed ? from : to;
    const int dr = end.red() - start.red();
    const int dg = end.green() - start.green();
    const int db = end.blue() - start.blue();

    const int extent = vertical ? rect.height() : rect.width();
    const int n = std::max(2, std::min<int>(stepCount, extent));
    const int band = extent / n;
    // A band along the gradient axis, from offset to offset + thickness.
    const auto part = [&](int offset, int thickness) {
        return vertical ? QRect(rect.left(), rect.top() + offset, rect.width(), thickness)
                        : QRect(rect.left() + offset, rect.top(), thickness, rect.height());
    };
    if (band > 0) {
        for (int i = 0; i < n; ++i) {
            const QColor c((start.red() + MulDiv(i, dr, n - 1)) & 0xFF,
                           (start.green() + MulDiv(i, dg, n - 1)) & 0xFF,
                           (start.blue() + MulDiv(i, db, n - 1)) & 0xFF);
            canvas.fillRect(part(i * band, band), c);
        }
    }
    const int rest = extent % n;
    if (rest > 0)
        canvas.fillRect(part(extent - rest, rest), end);
}
