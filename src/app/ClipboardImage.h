#pragma once

#include <QStringList>

class QMimeData;

// A picture on the clipboard as files the window takes in as dropped ones.
namespace ClipboardImage {

// Files copied in a file manager are those files. An image's own bytes (PNG, JPEG, BMP, GIF,
// TIFF) are written unchanged as a work file in folder, so that they meet the same header
// checks and pixel limit as a dropped file; a picture offered only as decoded pixels is written
// as PNG. Empty when the clipboard holds no picture; raises EFileError when it cannot be written.
QStringList Files(const QMimeData& data, const QString& folder);

} // namespace ClipboardImage
