#pragma once

#include "PageReading.h"

class InkJudge;

namespace tesseract {
class TessBaseAPI;
}

// Words that one of two readings of a page found and the reading kept lacks (no word of it
// overlaps theirs) are read again alone, each in its own rectangle, and put into the reading
// kept when the engine reads them alone with confidence as real words (or numbers) and their
// drawing covers the ink there (InkJudge).
namespace MissedWords {

// page is the page reading and every one of others (in its rectangles) were made on; the
// engine is left cleared. Returns how many words were put in.
int ReadAgain(tesseract::TessBaseAPI& api, Pix* page, PageReading& reading,
              const QList<const PageReading*>& others, const InkJudge& judge);

} // namespace MissedWords
