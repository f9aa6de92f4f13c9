#pragma once

// Reading a packed DIB (header, colour masks, colour table, pixel rows) from a memory block
// of a given size, and writing it as a bitmap file. Every length comes from the block, so
// every one is checked against the block's size with overflow-safe arithmetic.

#include <array>
#include <cstddef>
#include <cstdint>

class QIODevice;

enum class DibCheck {
    Ok,
    // Compressed, and biSizeImage does not say how long the pixel data is.
    CompressedWithoutSize,
    // The header is not one we know, or the block is shorter than the header claims.
    Refused,
};

struct DibLayout {
    std::uint32_t headerSize = 0;
    std::uint32_t masksSize = 0; // colour masks after a 40-byte header
    std::uint32_t colours = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::int32_t width = 0;
    std::uint32_t height = 0; // rows, without the sign
    bool topDown = false;
    std::uint64_t rowSize = 0;   // 0 for compressed images
    std::uint64_t imageSize = 0; // bytes of pixel data

    std::uint64_t PixelOffset() const {
        return std::uint64_t(headerSize) + masksSize + 4ull * colours;
    }
    std::uint64_t FileSize() const { return 14 + PixelOffset() + imageSize; }
};

DibCheck ReadDibLayout(const unsigned char* dib, std::size_t size, DibLayout& layout);

// The 14-byte file header of the layout.
std::array<unsigned char, 14> BitmapFileHeader(const DibLayout& layout);

// Writes the file header and the DIB, bottom-up with a header that tells its true size;
// false when the block does not hold what its header claims or a write fell short.
bool WriteDibAsBitmap(const unsigned char* dib, std::size_t size, QIODevice& file);
