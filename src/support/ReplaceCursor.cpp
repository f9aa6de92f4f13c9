#include "Support.h"

#include "Cursors.h"

#include <QWidget>

void ReplaceCursor(QWidget* form, int oldCursor, int newCursor) {
    // Ownership decides: controls on panels are reached too, in creation order.
    const auto controls = form->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        try {
            if (Cursors::ControlCursor(control) == oldCursor)
                Cursors::SetControlCursor(control, newCursor);
        } catch (...) {
            // A control that refuses the change keeps its cursor.
        }
    }
}
