#pragma once

#include <array>

// What preparation did to a page before recognition.
struct PreparationSteps {
    bool cut = false;    // cut out of a dark surround, perspective undone
    bool evened = false; // uneven or weak light evened out
    double scale = 1.0;  // enlargement of small text
    // A cut page's corners on the page as given (x, y of top-left, top-right, bottom-right,
    // bottom-left) and its size once cut.
    std::array<double, 8> corners{};
    int cutWidth = 0, cutHeight = 0;
    bool Any() const { return cut || evened || scale != 1.0; }
};
