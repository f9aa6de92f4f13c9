#pragma once

#include <QCursor>

class QWidget;

// Integer cursor ids as the program's forms use them; positive ids are the program's own
// cursor slots.
namespace Cursors {

constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crHourGlass = -11;
constexpr int crAppStart = -19;
constexpr int crHandPoint = -21;
constexpr int crCustomHand = 1; // slot 1: the program's "HAND" cursor

// Loads the program's "HAND" cursor resource into slot 1.
void LoadCustomHand();
QCursor CursorFor(int id);

// The cursor id a control shows (crDefault when none was set through SetControlCursor).
int ControlCursor(const QWidget* control);
void SetControlCursor(QWidget* control, int id);

// The application-wide cursor (crDefault: each control shows its own).
int ScreenCursor();
void SetScreenCursor(int id);

// Shows a screen cursor for the life of the object, also when a failure leaves early.
class ScopedScreenCursor final {
public:
    explicit ScopedScreenCursor(int id) { SetScreenCursor(id); }
    ~ScopedScreenCursor() { SetScreenCursor(crDefault); }
    ScopedScreenCursor(const ScopedScreenCursor&) = delete;
    ScopedScreenCursor& operator=(const ScopedScreenCursor&) = delete;
};

} // namespace Cursors
