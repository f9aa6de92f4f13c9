#pragma once

#include <QByteArray>
#include <QString>

class QWidget;
class RichEdit;

// Sets the cursor of every control of the form that shows OldCursor to NewCursor.
void ReplaceCursor(QWidget* form, int oldCursor, int newCursor);
// Insets the area in which the edit lays out its text by h and v pixels on every side.
void SetTextMargins(RichEdit* edit, int h, int v);
// The current local time as hhmmss.
QString MakeTimeStamp();
// The last n characters of s (all of s when n is at least its length).
QString RightChars(const QString& s, int n);
// Text in the system code page converted to its UTF-8 bytes.
QByteArray ToUtf8(const QByteArray& text);
