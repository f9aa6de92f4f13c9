#pragma once

#include "PageReading.h"

class InkJudge;

// A second opinion on the words the engine doubts, from its own rival readings of one of their
// characters (ReadWord::rivals), which cost no second run. A word the dictionary does not know
// (short abbreviations and pieces of words broken at a line's end aside) gives way to the
// likeliest rival it knows whose drawing does not match the word's ink (InkJudge) clearly worse.
// Between two words it knows, or two it does not, the drawings decide too seldom right to be
// asked.
namespace SecondOpinion {

// page is the page the reading was made on, judge judges on it. Returns how many words changed.
int Review(const InkJudge& judge, PageReading& reading);
int Review(Pix* page, PageReading& reading);

} // namespace SecondOpinion
