#pragma once

#include "PageReading.h"

class InkJudge;

// Two readings of one page compared region by region. A region is a group of lines of either
// reading that share some of the page; where the other reading matches the page's ink there
// clearly better (InkJudge), or without a judge reads it with clearly more weight
// (PageReading::Weight), its lines take the place of ours there.
namespace ReadingChoice {

// other was read on the page at 1/scale of reading's size (its rectangles are scaled to
// reading's pixels); judge (when set) holds the page reading was made on. Returns how many
// regions were taken from other.
int KeepBetter(PageReading& reading, PageReading other, double scale = 1.0,
               const InkJudge* judge = nullptr);

// The reading with its rectangles scaled by scale.
PageReading Scaled(PageReading reading, double scale);

} // namespace ReadingChoice
