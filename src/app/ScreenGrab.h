#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QRect>

// The whole desktop as one picture: on Wayland through the desktop portal's screenshot call, so
// that the desktop asks the user; elsewhere (X11) through each screen's own grab.
namespace ScreenGrab {

struct Desktop {
    QImage Image;   // device pixels
    QRect Geometry; // the desktop the picture covers, in the screens' own (logical) pixels
};

// Null Image when the desktop refused or the grab failed.
Desktop Take();

// The desktop portal's screenshot on the bus given (the session bus on Wayland).
Desktop ViaPortal(QDBusConnection bus);

} // namespace ScreenGrab
