#pragma once

#include "MiLayout.h"

#include <vector>

struct Pix;

// Numbers set across in vertical text (縦中横): two or three digits side by side in one
// character cell, which the vertical model reads as some other character or not at all.
namespace UprightNumbers {

struct Cell {
    MiRect rect;    // page pixels
    int digits = 0; // the pieces side by side
};

// The cells of a column (its rectangle on the page) that hold pieces side by side, alone in
// their rows, of a digit's shape: as tall as each other, narrower than half a character and at
// least half as tall as one. em is the body's character size in pixels.
std::vector<Cell> Find(Pix* page, const MiRect& column, int em);

} // namespace UprightNumbers
