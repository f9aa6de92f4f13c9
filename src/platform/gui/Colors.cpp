#include "Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The system colour indexes the forms use, mapped onto the palette's roles.
QPalette::ColorRole roleOf(unsigned index) {
    switch (index) {
    case 5: // window
        return QPalette::Base;
    case 8: // window text
        return QPalette::Text;
    case 13: // highlight
        return QPalette::Highlight;
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 16: // button shadow
        return QPalette::Dark;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 15: // button face
    default:
        return QPalette::Button;
    }
}

} // namespace

TColor ColorToRGB(TColor c, const QPalette* palette) {
    if (!IsSystemColor(c))
        return c & 0xFFFFFF;
    const QPalette p = palette ? *palette : QGuiApplication::palette();
    return FromQColor(p.color(QPalette::Active, roleOf(c & 0xFF)));
}

QColor ToQColor(TColor c, const QPalette* palette) {
    const TColor rgb = ColorToRGB(c, palette);
    return QColor(int(rgb & 0xFF), int(rgb >> 8 & 0xFF), int(rgb >> 16 & 0xFF));
}

TColor FromQColor(const QColor& c) {
    return RGBColor(c.red(), c.green(), c.blue());
}
