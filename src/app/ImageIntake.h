#pragma once

#include <QString>

class TFileDrop;
class TfrmMain;

// What the main window takes in by drop: the extension tests and the drop target.
namespace ImageIntake {

inline constexpr char ImageExtensions[] = ".bmp;.jpg;.gif;.png;";
inline constexpr char TextExtensions[] = ".txt;.dat;.def;.rtf;";

// Text files larger than this are refused instead of filling the text pane.
inline constexpr qint64 MaxTextFileBytes = 64 * 1024 * 1024;

// The file's extension, dot included, lower case; empty when the name has none.
QString LowerExtension(const QString& fileName);
// An extension is accepted when it occurs anywhere in the list string, so ".jp" and a
// bare "." pass, ".jpeg" does not, and a name without extension never does. Documents of
// pages (.pdf, .tif, .tiff) are images too.
bool IsImageFile(const QString& fileName);
bool IsTextFile(const QString& fileName);

// Creates the window's drop target without a control, so the whole window takes drops,
// and routes its drops to FileDrop1FileDrop.
TFileDrop* CreateFileDrop(TfrmMain& form);

} // namespace ImageIntake
