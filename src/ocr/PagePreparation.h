#pragma once

#include "PixPtr.h"
#include "PreparationSteps.h"

// Makes a page as people capture it readable for the engine, deciding from the page itself
// what it needs: cut out of a dark surround with its perspective undone, its uneven or weak
// light evened out and stretched, and (once upright, when character heights can be measured)
// small text enlarged to the size the engine reads best.
// A clean page needs none of it and costs only the look (a few hundredths of a second).
class PagePreparation final {
public:
    // The page cut out and its light evened (8-bit grey), or null when it is best read as
    // it is. steps receives what was done.
    static PixPtr Prepare(Pix* page, PreparationSteps* steps = nullptr);
    // The upright page enlarged when its text is too small for the engine, or null (binary
    // pages are read as they are); Japanese is enlarged from a larger size. steps (when set)
    // receives the scale.
    static PixPtr Enlarge(Pix* page, bool japanese, PreparationSteps* steps = nullptr);

    // The page in 8-bit grey (luminance of a colour page).
    static PixPtr Gray(Pix* page);

    // The height of the page's characters in pixels: the 90th percentile height of the ink's
    // connected pieces in a binary copy (paper is bright), or 0 when there is too little ink.
    static int TextHeight(Pix* gray);
};
