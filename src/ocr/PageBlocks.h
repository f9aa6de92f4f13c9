#pragma once

#include <vector>

struct Pix;

// The blocks of text on an upright page and which way each one's text runs, found from the
// page's ink alone: characters joined along their lines grow long in the direction the text
// runs (rows for horizontal text, columns for vertical text).
namespace PageBlocks {

struct Block {
    int left = 0, top = 0, right = 0, bottom = 0; // page pixels, right and bottom exclusive
    bool vertical = false;
};

// The page's blocks in the order a Japanese reader takes them: a block comes after every block
// that lies wholly above it, and among the blocks free to come next the rightmost one is read
// first. Empty when the page has too little text to tell.
std::vector<Block> Find(Pix* page);

bool AnyVertical(const std::vector<Block>& blocks);

} // namespace PageBlocks
