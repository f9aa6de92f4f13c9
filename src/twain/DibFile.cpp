#include "DibFile.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;
constexpr std::uint32_t MinHeaderSize = 40;
constexpr std::uint32_t V5HeaderSize = 124;

std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t u16(const unsigned char* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool knownBitCount(std::uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

constexpr std::uint64_t ChunkBytes = 1u << 20;

// In pieces of at most a megabyte: one write of a whole scanned page made the kernel take its
// page-cache memory in large blocks, which a virtual machine has often given back to its host,
// and about one write in four then took 65-75 ms instead of 7.
bool writeAll(QIODevice& file, const unsigned char* data, std::uint64_t length) {
    for (std::uint64_t done = 0; done < length;) {
        const std::uint64_t count = std::min(ChunkBytes, length - done);
        if (file.write(reinterpret_cast<const char*>(data + done), qint64(count)) != qint64(count))
            return false;
        done += count;
    }
    return true;
}

} // namespace

DibCheck ReadDibLayout(const unsigned char* dib, std::size_t size, DibLayout& layout) {
    layout = {};
    if (!dib || size < MinHeaderSize)
        return DibCheck::Refused;
    layout.headerSize = u32(dib);
    if (layout.headerSize < MinHeaderSize || layout.headerSize > size)
        return DibCheck::Refused;
    layout.width = std::int32_t(u32(dib + 4));
    const auto height = std::int32_t(u32(dib + 8));
    layout.bitCount = u16(dib + 14);
    layout.compression = u32(dib + 16);
    const std::uint32_t sizeImage = u32(dib + 20);
    const std::uint32_t clrUsed = u32(dib + 32);
    if (layout.width <= 0 || height == 0 || height == INT32_MIN || !knownBitCount(layout.bitCount))
        return DibCheck::Refused;
    layout.topDown = height < 0;
    layout.height = std::uint32_t(height < 0 ? -height : height);

    const bool rows = layout.compression == BI_RGB || layout.compression == BI_BITFIELDS ||
                      layout.compression == BI_ALPHABITFIELDS;
    if (layout.compression == BI_BITFIELDS || layout.compression == BI_ALPHABITFIELDS) {
        if (layout.bitCount != 16 && layout.bitCount != 32)
            return DibCheck::Refused;
        if (layout.headerSize == MinHeaderSize)
            layout.masksSize = layout.compression == BI_BITFIELDS ? 12 : 16;
    }
    if ((layout.compression == BI_RLE8 && layout.bitCount != 8) ||
        (layout.compression == BI_RLE4 && layout.bitCount != 4))
        return DibCheck::Refused;
    // Only rows of pixels can be stored top-down.
    if (layout.topDown && !rows)
        return DibCheck::Refused;

    const std::uint32_t paletteMax = layout.bitCount <= 8 ? 1u << layout.bitCount : 0;
    layout.colours = clrUsed ? clrUsed : paletteMax;
    if (paletteMax && layout.colours > paletteMax)
        return DibCheck::Refused;
    if (layout.PixelOffset() > size)
        return DibCheck::Refused;

    if (rows) {
        layout.rowSize =
            (std::uint64_t(layout.bitCount) * std::uint64_t(layout.width) + 31) / 32 * 4;
        if (__builtin_mul_overflow(layout.rowSize, std::uint64_t(layout.height), &layout.imageSize))
            return DibCheck::Refused;
    } else {
        if (sizeImage == 0)
            return DibCheck::CompressedWithoutSize;
        layout.imageSize = sizeImage;
    }
    if (layout.imageSize > size - layout.PixelOffset() || layout.FileSize() > UINT32_MAX)
        return DibCheck::Refused;
    return DibCheck::Ok;
}

std::array<unsigned char, 14> BitmapFileHeader(const DibLayout& layout) {
    std::array<unsigned char, 14> header{};
    header[0] = 'B';
    header[1] = 'M';
    put32(header.data() + 2, std::uint32_t(layout.FileSize()));
    put32(header.data() + 10, std::uint32_t(14 + layout.PixelOffset()));
    return header;
}

bool WriteDibAsBitmap(const unsigned char* dib, std::size_t size, QIODevice& file) {
    DibLayout layout;
    if (ReadDibLayout(dib, size, layout) != DibCheck::Ok)
        return false;

    // The header as written: its image size and a positive height always tell the truth.
    std::vector<unsigned char> info(dib, dib + layout.PixelOffset());
    put32(info.data() + 8, layout.height);
    put32(info.data() + 20, std::uint32_t(layout.imageSize));
    if (layout.headerSize >= V5HeaderSize) {
        // An embedded or linked colour profile would point at bytes the file does not carry.
        constexpr std::uint32_t embedded = 0x4D424544, linked = 0x4C494E4B, sRGB = 0x73524742;
        const std::uint32_t csType = u32(info.data() + 56);
        if (csType == embedded || csType == linked) {
            put32(info.data() + 56, sRGB);
            put32(info.data() + 112, 0);
            put32(info.data() + 116, 0);
        }
    }

    const auto fileHeader = BitmapFileHeader(layout);
    if (!writeAll(file, fileHeader.data(), fileHeader.size()) ||
        !writeAll(file, info.data(), info.size()))
        return false;
    const unsigned char* pixels = dib + layout.PixelOffset();
    // Bottom-up rows are the file's as they stand: written without a copy of their own (a copy
    // cost a third of the write).
    if (!layout.topDown)
        return writeAll(file, pixels, layout.imageSize);
    // Top-down rows go out from the last, in pieces of whole rows.
    const std::uint64_t piece =
        std::max<std::uint64_t>(1, ChunkBytes / layout.rowSize) * layout.rowSize;
    std::vector<unsigned char> chunk(std::min(piece, layout.imageSize));
    for (std::uint64_t done = 0; done < layout.imageSize;) {
        const std::uint64_t count = std::min(piece, layout.imageSize - done);
        for (std::uint64_t at = 0; at < count; at += layout.rowSize) {
            const std::uint64_t row = layout.height - 1 - (done + at) / layout.rowSize;
            std::memcpy(chunk.data() + at, pixels + row * layout.rowSize, layout.rowSize);
        }
        if (!writeAll(file, chunk.data(), count))
            return false;
        done += count;
    }
    return true;
}
