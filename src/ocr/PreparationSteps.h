#pragma once

// What preparation did to a page before recognition.
struct PreparationSteps {
    bool cut = false;    // cut out of a dark surround, perspective undone
    bool evened = false; // uneven or weak light evened out
    double scale = 1.0;  // enlargement of small text
    bool Any() const { return cut || evened || scale != 1.0; }
};
