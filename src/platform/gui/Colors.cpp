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

const QPalette& LightControlPalette() {
    static const QPalette light = [] {
        QPalette p(QColor(0xF0, 0xF0, 0xF0));
        for (int group = 0; group < QPalette::NColorGroups; ++group)
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto g = QPalette::ColorGroup(group);
                const auto r = QPalette::ColorRole(role);
                // Every role set, so that none is taken from a dark palette around it.
                p.setBrush(g, r, p.brush(g, r));
            }
        for (const auto g : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(g, QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
            p.setColor(g, QPalette::Base, Qt::white);
            for (const auto r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                 QPalette::HighlightedText})
                p.setColor(g, r, Qt::black);
            p.setColor(g, QPalette::Highlight, QColor(0xC0, 0xC0, 0xC0));
        }
        return p;
    }();
    return light;
}
