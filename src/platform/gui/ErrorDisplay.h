#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

// The application's default error display: a modal box with the program's title, an error
// icon and one OK button. Tests replace the box with a recorder.
using ErrorDisplayFunction = std::function<void(const QString& caption, const QString& text)>;
void SetErrorDisplay(ErrorDisplayFunction display);

// The failure's message as shown: a "." is appended when the last character sorts after ".".
QString ErrorDisplayText(const QString& message);
QString ProgramTitle();
void ShowDefaultError(const QString& message);
// Shows the error in flight (call inside a catch block).
void ShowCurrentException();

// Runs an event handler; a failure it raises is shown and ends only that handler.
template <class F> void Guard(F&& handler) {
    try {
        handler();
    } catch (...) {
        ShowCurrentException();
    }
}

// Wraps a handler without arguments for connecting to a Qt signal.
template <class F> auto Guarded(F handler) {
    return [handler] { Guard(handler); };
}
