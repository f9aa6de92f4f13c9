#include "ImageHeader.h"

#include "VelaError.h"

#include <cstring>
#include <leptonica/allheaders.h>
#include <limits>

namespace {

// Reads the file's bytes without ever leaving them: a read past the end gives 0 and marks
// the header as cut short.
class Bytes {
public:
    Bytes(const uchar* data, qint64 size) : m_data(data), m_size(size) {}
    qint64 Size() const { return m_size; }
    bool Short() const { return m_short; }
    uchar At(qint64 i) {
        if (i >= 0 && i < m_size)
            return m_data[i];
        m_short = true;
        return 0;
    }
    quint32 Le16(qint64 i) { return quint32(At(i)) | quint32(At(i + 1)) << 8; }
    quint32 Be16(qint64 i) { return quint32(At(i)) << 8 | quint32(At(i + 1)); }
    quint32 Le32(qint64 i) { return Le16(i) | Le16(i + 2) << 16; }
    quint32 Be32(qint64 i) { return Be16(i) << 16 | Be16(i + 2); }
    bool Starts(const char* magic) const {
        const qint64 n = qint64(std::strlen(magic));
        return m_size >= n && std::memcmp(m_data, magic, size_t(n)) == 0;
    }

private:
    const uchar* m_data;
    qint64 m_size;
    bool m_short = false;
};

// Width times height, held at the largest qint64 where a header's two 32-bit fields would
// overflow it: the limit compares against this, so it must never wrap.
qint64 area(qint64 w, qint64 h) {
    qint64 pixels = 0;
    return __builtin_mul_overflow(w, h, &pixels) ? std::numeric_limits<qint64>::max() : pixels;
}

// What the header promises: the size of the picture and the pixels the decoder will hold
// for it (for an animation, every frame, as the decoder reads them all).
struct Promise {
    int Format = IFF_UNKNOWN;
    qint64 Width = 0;
    qint64 Height = 0;
    qint64 DecodedPixels = 0;
};

Promise pngHeader(Bytes& b) {
    // The first chunk must be the header chunk.
    if (b.Be32(8) != 13 || b.Be32(12) != 0x49484452u) // "IHDR"
        return {};
    const qint64 w = b.Be32(16), h = b.Be32(20);
    return {IFF_PNG, w, h, area(w, h)};
}

Promise jpegHeader(Bytes& b) {
    qint64 pos = 2;
    while (pos < b.Size()) {
        if (b.At(pos) != 0xFF)
            return {};
        while (pos < b.Size() && b.At(pos) == 0xFF)
            ++pos;
        const uchar marker = b.At(pos++);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (marker == 0xD9 || marker == 0xDA)
            return {}; // image data or its end before any frame header
        const qint64 length = b.Be16(pos);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            const qint64 h = b.Be16(pos + 3), w = b.Be16(pos + 5);
            return {IFF_JFIF_JPEG, w, h, w * h};
        }
        if (length < 2)
            return {};
        pos += length;
    }
    return {};
}

Promise bmpHeader(Bytes& b) {
    const quint32 infoSize = b.Le32(14);
    if (infoSize == 12) {
        const qint64 w = b.Le16(18), h = b.Le16(20);
        return {IFF_BMP, w, h, w * h};
    }
    if (infoSize < 40)
        return {};
    // Rows run top-down when the height is negative.
    const qint64 w = qint32(b.Le32(18)), h = std::abs(qint64(qint32(b.Le32(22))));
    return {IFF_BMP, w, h, w * h};
}

// Walks the blocks of a GIF without decoding any: the size of every frame is in its
// descriptor, and the decoder keeps every frame it reads.
Promise gifHeader(Bytes& b) {
    Promise p{IFF_GIF, b.Le16(6), b.Le16(8), 0};
    const auto skipSubBlocks = [&b](qint64 pos) {
        for (uchar n = b.At(pos); n != 0 && !b.Short(); n = b.At(pos))
            pos += 1 + n;
        return pos + 1;
    };
    const auto colourTable = [](uchar flags) {
        return (flags & 0x80) ? qint64(3) << ((flags & 7) + 1) : 0;
    };
    qint64 pos = 13 + colourTable(b.At(10));
    int frames = 0;
    while (!b.Short()) {
        const uchar block = b.At(pos);
        if (block == 0x3B)
            break;
        if (block == 0x21) {
            pos = skipSubBlocks(pos + 2);
        } else if (block == 0x2C) {
            const qint64 w = b.Le16(pos + 5), h = b.Le16(pos + 7);
            p.Width = std::max(p.Width, w);
            p.Height = std::max(p.Height, h);
            p.DecodedPixels += w * h;
            ++frames;
            // The descriptor, its colour table and the code size, then the image's sub-blocks.
            pos = skipSubBlocks(pos + 10 + colourTable(b.At(pos + 9)) + 1);
        } else {
            return {};
        }
    }
    if (frames == 0)
        return {IFF_GIF, 0, 0, 0};
    // The decoder holds the whole screen, whatever its frames cover.
    p.DecodedPixels = std::max(p.DecodedPixels, p.Width * p.Height);
    return p;
}

// Decoders report damage on stderr before they fail; a file cut short is caught here
// first, from its structure, so the user gets our message and stderr stays quiet.
bool looksDamaged(const uchar* data, qint64 size, int format) {
    auto at = [&](qint64 i) { return i >= 0 && i < size ? data[i] : uchar(0); };
    switch (format) {
    case IFF_PNG: {
        // Walk the chunks up to IEND; every chunk must fit into the file.
        qint64 pos = 8;
        bool pixels = false;
        while (pos + 8 <= size) {
            const quint32 length = quint32(at(pos)) << 24 | quint32(at(pos + 1)) << 16 |
                                   quint32(at(pos + 2)) << 8 | quint32(at(pos + 3));
            const bool end = std::memcmp(data + pos + 4, "IEND", 4) == 0;
            pixels = pixels || std::memcmp(data + pos + 4, "IDAT", 4) == 0;
            pos += 12 + qint64(length);
            if (pos > size)
                return true;
            if (end)
                return !pixels;
        }
        return true;
    }
    case IFF_JFIF_JPEG: {
        // The end-of-image marker, possibly followed by padding.
        for (qint64 i = size - 1; i > 0 && i >= size - 4096; --i)
            if (at(i - 1) == 0xFF && at(i) == 0xD9)
                return false;
        return true;
    }
    case IFF_GIF:
        // The trailer byte, possibly followed by padding zeros.
        for (qint64 i = size - 1; i >= 0 && i >= size - 4096; --i) {
            if (at(i) == 0x3B)
                return false;
            if (at(i) != 0)
                return true;
        }
        return true;
    default:
        return false;
    }
}

// Only the formats the window takes in; anything else is never handed to a decoder,
// whatever its name says.
Promise readPromise(Bytes& b) {
    if (b.Starts("\x89PNG\r\n\x1a\n"))
        return pngHeader(b);
    if (b.Starts("\xFF\xD8"))
        return jpegHeader(b);
    if (b.Starts("BM"))
        return bmpHeader(b);
    if (b.Starts("GIF87a") || b.Starts("GIF89a"))
        return gifHeader(b);
    return {};
}

} // namespace

ImageHeader ImageHeader::Check(const uchar* data, qint64 size, const QString& fileName) {
    if (size <= 0)
        throw VelaError(QStringLiteral("\"%1\" is empty, not an image").arg(fileName));
    Bytes bytes(data, size);
    const Promise p = readPromise(bytes);
    if (p.Format == IFF_UNKNOWN)
        throw VelaError(
            QStringLiteral("\"%1\" is not an image file the OCR engine can read: it reads BMP, "
                           "JPEG, GIF and PNG")
                .arg(fileName));
    if (p.Width <= 0 || p.Height <= 0)
        throw VelaError(QStringLiteral("\"%1\" has no pixels").arg(fileName));
    if (p.DecodedPixels > MaxPixels)
        throw VelaError(
            QStringLiteral("\"%1\" is too large: %2 x %3 pixels%4; at most %5 million pixels are "
                           "accepted")
                .arg(fileName, QString::number(p.Width), QString::number(p.Height),
                     p.DecodedPixels > area(p.Width, p.Height)
                         ? QStringLiteral(", %1 in all its frames").arg(p.DecodedPixels)
                         : QString(),
                     QString::number(MaxPixels / 1'000'000)));
    if (bytes.Short() || looksDamaged(data, size, p.Format))
        throw VelaError(QStringLiteral("\"%1\" is damaged: its image data is missing or cut short")
                            .arg(fileName));
    return ImageHeader{p.Format, int(p.Width), int(p.Height)};
}
