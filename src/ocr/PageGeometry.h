#pragma once

#include "MiLayout.h"
#include "PreparationSteps.h"

// Where the page as the engine read it lies on the image as given: the page may have been cut
// out of its surround, turned upright, enlarged and straightened in between.
struct PageGeometry {
    int inputWidth = 0, inputHeight = 0; // the image as given
    int inputResolution = 0;             // its pixels per inch; 0 when unknown
    PreparationSteps steps;
    int quarterTurns = 0;      // clockwise
    double deskew = 0;         // degrees, clockwise
    int width = 0, height = 0; // the page as read

    // A rectangle of the page as read on the image as given: its centre carried back, its
    // size (upright on the page as read) scaled and turned with it, clipped to the image.
    MiRect ToInput(const MiRect& onPage) const;
};
