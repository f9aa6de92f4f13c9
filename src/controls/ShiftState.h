#pragma once

#include <QFlags>
#include <Qt>

// The keys and mouse buttons held during a mouse event.
enum TShiftStateFlag {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
};
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

enum TMouseButton { mbLeft, mbRight, mbMiddle };

TShiftState ShiftStateOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons);
// The state as the platform reports it now.
TShiftState CurrentShiftState();
