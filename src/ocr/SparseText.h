#pragma once

#include "PageReading.h"

// Text the layout pass leaves out: isolated numbers and short words (line numbers down a
// margin, page numbers, labels in boxes and on charts). The inked places of the page where
// the engine read no word, or only words it doubts, are read again one at a time as single
// lines; what then reads with confidence replaces the doubtful words there and joins the
// reading in reading order: beside a line at the same height (a line number before its
// line), otherwise as a line of its own before the first line below it.
namespace SparseText {

// page is the page the reading was made on; api holds its language.
void Complete(tesseract::TessBaseAPI& api, Pix* page, PageReading& reading);

} // namespace SparseText
