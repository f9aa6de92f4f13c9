#pragma once

#include "Colors.h"

#include <QImage>

class QPalette;
class QRegion;

enum TGradientType {
    gtHorizontal,
    gtVertical,
    gtFromTopLeft,
    gtFromTopRight,
    gtRadial,
    gtDoubleHorz,
    gtDoubleVert
};

enum TGripAlign { gaVertical, gaHorizontal };

// A rectangle by its edges; Right and Bottom are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// The splitter's images: 24-bit colour, one 32-bit word per pixel (blue, green, red, unused).
QImage MakeBarImage(int width, int height);

// Paints a gradient of the kind from one colour to the other over the rectangle, or over the
// part of it inside the region when one is given. Pixels outside the image are skipped.
void DrawGradient(QImage& bitmap, const TRect& rect, TColor from, TColor to, TGradientType kind,
                  const QRegion* region = nullptr, const QPalette* palette = nullptr);

// Copies the normal image into target at the rectangle's corner plus border, then mixes the
// hover image in by percent (0 to 100) over the rectangle, taking it from the hover image's
// origin. All three images come from MakeBarImage.
void BlendBitmaps(QImage& target, const QImage& normal, const QImage& hover, int percent,
                  const TRect& rect, int border);

// The 27 dots of the grip around its centre (x, y), running along the alignment.
void DrawGrip(QImage& bitmap, int x, int y, TGripAlign align);
