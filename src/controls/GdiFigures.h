#pragma once

#include <QColor>
#include <QRect>
#include <optional>

class QImage;
class QPainter;

// Figures rasterised as the Windows graphics interface draws them with a one-pixel pen and
// no anti-aliasing: a figure from (x1,y1) to (x2,y2) leaves out column x2 and row y2, and a
// line leaves out its end point. An empty pen or brush draws nothing.
namespace GdiFigures {

// Rounded rectangle whose corners follow a cornerWidth x cornerHeight ellipse.
void RoundRect(QPainter& canvas, int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight,
               std::optional<QColor> pen, std::optional<QColor> brush);

// Rectangle outline (the brush is clear).
void FrameRectangle(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& pen);

// Horizontal or vertical line from (x1,y1) towards (x2,y2), end point left out.
void Line(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& pen);

// The dotted focus rectangle: every other pixel of the one-pixel border of rect is inverted.
void FocusRect(QImage& image, const QRect& rect);

} // namespace GdiFigures
