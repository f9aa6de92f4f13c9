#pragma once

#include "MiLayout.h"
#include "PageBlocks.h"

#include <functional>
#include <optional>

struct Pix;
namespace tesseract {
class ETEXT_DESC;
class TessBaseAPI;
} // namespace tesseract

// Japanese set vertically: columns read top to bottom and taken from right to left, with the
// engine's vertical model, beside any horizontal block of the same page (a heading) read with
// the horizontal one. Ruby beside the kanji is left out.
namespace VerticalReading {

using Blocks = std::vector<PageBlocks::Block>;

// The blocks of an upright page (PageBlocks), found once for the calls below; none when the
// vertical model is not installed.
Blocks BlocksOf(Pix* page);

// Most of the page's text runs vertically: its blocks of columns are larger than its blocks
// of lines together.
bool MostlyVertical(const Blocks& blocks);

// Where orientation needs to look on a page set in columns, or none for other pages: the
// middle of its largest block of columns, no wider than a quarter of its height (some five
// columns). Orientation over the whole of a dense page costs as much as reading it.
std::optional<MiRect> OrientationArea(const Blocks& blocks);

// A page read in columns: its layout, and the engine's mean confidence (0 to 100) in the
// characters of its columns, ruby left out: low for a page upside down or for something
// else taken for columns. A reading stopped at its first column is not complete (no layout).
struct Columns {
    MiLayout layout;
    double confidence = 0;
    bool complete = true;
};

// The reading of an upright page (with its blocks) when some of its text runs vertically,
// else none (the page is read as horizontal text). Words stay in reading order and carry their
// direction; the text has a line per horizontal text line and per paragraph of columns.
// When sureFrom is set, the first column is read alone first (when the ink shows where it
// ends), and the reading stops there, incomplete, when the engine's confidence in it is below
// sureFrom. monitor is passed to the engine; after a cancel the layout is incomplete, and the
// caller raises. Raises VelaError, naming fileName, when the engine fails.
std::optional<Columns> Read(Pix* page, const Blocks& blocks, tesseract::ETEXT_DESC* monitor,
                            const QString& fileName, double sureFrom = 0);

// For writers that take a page's results from the engine itself (hOCR, a PDF's text layer):
// the whole page read once more as one block of columns with the vertical model, handed to
// recognised while the engine holds it. Raises VelaError, naming fileName, when the engine
// fails; a failure recognised raises ends it.
void HandOver(Pix* page, const std::function<void(tesseract::TessBaseAPI&)>& recognised,
              const QString& fileName);

} // namespace VerticalReading
