#pragma once

#include <QSize>
#include <QString>
#include <QStringView>
#include <optional>

class QWidget;

// Settings helpers over the program's settings file. `base` is the file's path without ".ini";
// every helper appends it, opens the file for this one access and closes it again.
// Reads fall back to the default; the Write* helpers raise EFileError with
// "<path> に書き込めません" when the value cannot be written.

// An integer as the settings file holds it: leading blanks skipped, an optional sign, then
// "0x", "0X" or "$" for hexadecimal, else decimal. Empty when the text does not convert
// completely or the value lies outside the 32-bit range.
std::optional<int> ParseIniInteger(QStringView text);

// Reads prefix+"Top" (default: the window's current top) and moves the window there; then
// prefix+"Left" likewise. No clamping to the screen.
void ReadFormPosition(const QString& base, const QString& section, const QString& prefix,
                      QWidget* window);
// Reads prefix+"Width" and resizes; then prefix+"Height". The window's minimum size raises
// values below it.
void ReadFormSize(const QString& base, const QString& section, const QString& prefix,
                  QSize defaultSize, QWidget* window);

QString ReadIniString(const QString& base, const QString& section, const QString& key,
                      const QString& def);
void WriteIniString(const QString& base, const QString& section, const QString& key,
                    const QString& value);

int ReadIniInteger(const QString& base, const QString& section, const QString& key, int def);
void WriteIniInteger(const QString& base, const QString& section, const QString& key, int value);

// The settings file holds a password (SERVER/PASS) that other users may read. The Write*
// helpers then narrow it to the owner (0600) as they rewrite it.
bool SettingsPasswordExposed(const QString& base);
// Says so on standard error, after "program: ".
void WarnIfSettingsPasswordExposed(const QString& base, const char* program);
// A settings file that other users may write could send the password elsewhere: its write
// permission for them is taken away at once, and standard error says so (after "program: ").
// Another user's file stays as it is.
enum class SettingsWriters { OwnerOnly, Narrowed, NotNarrowed };
SettingsWriters NarrowSettingsWritableByOthers(const QString& base, const char* program);

// Booleans are stored as "1" and "0"; any non-zero integer reads as true.
bool ReadIniBool(const QString& base, const QString& section, const QString& key, bool def);
void WriteIniBool(const QString& base, const QString& section, const QString& key, bool value);
