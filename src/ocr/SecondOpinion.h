#pragma once

#include "PageReading.h"

// A second opinion on the words the engine doubts, from its own rival reading of one of their
// characters (ReadWord::alternative), which costs no second run. A word the dictionary does
// not know (short abbreviations aside) gives way to a rival it knows, unless the rival's drawing
// matches the word's ink (InkJudge) clearly worse. Between two words it knows, or two it does not, the drawings
// decide too seldom right to be asked.
namespace SecondOpinion {

// page is the page the reading was made on. Returns how many words changed.
int Review(Pix* page, PageReading& reading);

} // namespace SecondOpinion
