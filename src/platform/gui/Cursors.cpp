#include "Cursors.h"

#include <QApplication>
#include <QHash>
#include <QPixmap>
#include <QWidget>

namespace {

const char* const CursorProperty = "velaCursor";

QHash<int, QCursor>& customSlots() {
    static QHash<int, QCursor> slots;
    return slots;
}

int s_screenCursor = Cursors::crDefault;

} // namespace

// Resources of a static library must be registered by hand.
static void initPlatformResources() {
    Q_INIT_RESOURCE(platform);
}

namespace Cursors {

void LoadCustomHand() {
    initPlatformResources();
    const QPixmap image(QStringLiteral(":/cursors/hand.xpm"));
    // The hot spot is the tip of the index finger.
    customSlots().insert(crCustomHand, image.isNull() ? QCursor(Qt::PointingHandCursor)
                                                      : QCursor(image, 5, 0));
}

QCursor CursorFor(int id) {
    switch (id) {
    case crDefault:
    case crArrow:
        return QCursor(Qt::ArrowCursor);
    case crHourGlass:
        return QCursor(Qt::WaitCursor);
    case crAppStart:
        return QCursor(Qt::BusyCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    default:
        return customSlots().value(id, QCursor(Qt::ArrowCursor));
    }
}

int ControlCursor(const QWidget* control) {
    const QVariant v = control->property(CursorProperty);
    return v.isValid() ? v.toInt() : crDefault;
}

void SetControlCursor(QWidget* control, int id) {
    control->setProperty(CursorProperty, id);
    if (id == crDefault)
        control->unsetCursor();
    else
        control->setCursor(CursorFor(id));
}

int ScreenCursor() {
    return s_screenCursor;
}

void SetScreenCursor(int id) {
    if (id == s_screenCursor)
        return;
    if (id == crDefault) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    } else if (s_screenCursor == crDefault) {
        QApplication::setOverrideCursor(CursorFor(id));
    } else {
        QApplication::changeOverrideCursor(CursorFor(id));
    }
    s_screenCursor = id;
}

} // namespace Cursors
