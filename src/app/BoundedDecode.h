#pragma once

#include <QString>
#include <memory>

class MiDocument;

// The first page of an image or document file, decoded on a thread of its own: the pixel limit
// does not bound decoding time (a progressive JPEG of thousands of scans, a costly PDF page),
// so a page that is not done within boundMs is given up with a message saying so, and its
// decoding is left to end by itself while the window goes on. Raises VelaError.
namespace BoundedDecode {

inline constexpr int WindowBoundMs = 20000;

std::shared_ptr<MiDocument> OpenFirstPage(const QString& fileName, int boundMs);

} // namespace BoundedDecode
