#pragma once

#include <QColor>
#include <cstdint>

class QPalette;

// A colour as the program's forms store it: 0x00BBGGRR, or 0x800000nn for system colour nn.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clHighlight = 0x8000000D;
constexpr TColor clHighlightText = 0x8000000E;

constexpr TColor RGBColor(int red, int green, int blue) {
    return TColor(red & 0xFF) | TColor(green & 0xFF) << 8 | TColor(blue & 0xFF) << 16;
}
constexpr bool IsSystemColor(TColor c) {
    return (c & 0xFF000000) == 0x80000000;
}

// System colours come from the palette given, or from the application's palette.
TColor ColorToRGB(TColor c, const QPalette* palette = nullptr);
QColor ToQColor(TColor c, const QPalette* palette = nullptr);
TColor FromQColor(const QColor& c);

// The look of the controls that paint fixed light fills of their own (the selectors, the flat
// buttons, the message box): dark text on light faces whatever the desktop's palette, so that
// a dark desktop does not put its light text on them.
const QPalette& LightControlPalette();
