#pragma once

// Packed DIBs for the tests and the scripted test source: a known pattern of pixel bytes in
// visual rows (row 0 is the top), stored bottom-up or top-down, with the header variants that
// sources hand over.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

struct DibSpec {
    std::int32_t width = 8;
    std::int32_t height = 8; // negative: top-down
    std::uint16_t bits = 24;
    std::uint32_t headerSize = 40;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
    std::size_t cut = 0; // bytes cut from the end of the block
};

inline std::uint8_t DibPatternByte(std::uint32_t visualRow, std::uint32_t index) {
    return static_cast<std::uint8_t>(index * 3 + visualRow * 17);
}

inline std::vector<std::uint8_t> MakeDib(const DibSpec& s) {
    const auto put32 = [](std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); };
    const std::uint32_t rows = std::uint32_t(s.height < 0 ? -s.height : s.height);
    const std::uint32_t rowSize = (std::uint32_t(s.bits) * std::uint32_t(s.width) + 31) / 32 * 4;
    const std::uint32_t colours = s.clrUsed ? s.clrUsed : (s.bits <= 8 ? 1u << s.bits : 0);
    const std::uint32_t pixels = s.compression ? s.sizeImage : rowSize * rows;
    std::vector<std::uint8_t> dib(s.headerSize + 4 * colours + pixels);
    put32(&dib[0], s.headerSize);
    put32(&dib[4], std::uint32_t(s.width));
    put32(&dib[8], std::uint32_t(s.height));
    dib[12] = 1;
    dib[14] = std::uint8_t(s.bits);
    put32(&dib[16], s.compression);
    put32(&dib[20], s.sizeImage);
    put32(&dib[24], 11811); // 300 dpi
    put32(&dib[28], 11811);
    put32(&dib[32], s.clrUsed);
    std::uint8_t* table = &dib[s.headerSize];
    for (std::uint32_t i = 0; i < colours; ++i) {
        const auto grey = std::uint8_t(colours > 1 ? i * 255 / (colours - 1) : 0);
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = grey;
    }
    std::uint8_t* data = table + 4 * colours;
    if (s.compression == 0) {
        for (std::uint32_t stored = 0; stored < rows; ++stored) {
            const std::uint32_t visual = s.height < 0 ? stored : rows - 1 - stored;
            for (std::uint32_t i = 0; i < rowSize; ++i)
                data[std::size_t(stored) * rowSize + i] = DibPatternByte(visual, i);
        }
    }
    dib.resize(dib.size() - std::min(s.cut, dib.size()));
    return dib;
}
