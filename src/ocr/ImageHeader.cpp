#include "ImageHeader.h"

#include "VelaError.h"

#include <cstring>
#include <leptonica/allheaders.h>

namespace {

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

} // namespace

ImageHeader ImageHeader::Check(const uchar* data, qint64 size, const QString& fileName) {
    if (size <= 0)
        throw VelaError(QStringLiteral("\"%1\" is empty, not an image").arg(fileName));
    l_int32 format = IFF_UNKNOWN;
    l_int32 width = 0, height = 0, bps = 0, spp = 0, colormap = 0;
    if (pixReadHeaderMem(data, size_t(size), &format, &width, &height, &bps, &spp, &colormap) !=
            0 ||
        format == IFF_UNKNOWN)
        throw VelaError(
            QStringLiteral("\"%1\" is not an image file the OCR engine can read").arg(fileName));
    const qint64 pixels = qint64(width) * height;
    if (width <= 0 || height <= 0)
        throw VelaError(QStringLiteral("\"%1\" has no pixels").arg(fileName));
    if (pixels > MaxPixels)
        throw VelaError(QStringLiteral("\"%1\" is too large: %2 x %3 pixels (at most %4 million "
                                       "pixels are accepted)")
                            .arg(fileName, QString::number(width), QString::number(height),
                                 QString::number(MaxPixels / 1'000'000)));

    if (looksDamaged(data, size, format))
        throw VelaError(QStringLiteral("\"%1\" is damaged: its image data is missing or cut short")
                            .arg(fileName));
    return ImageHeader{format, width, height};
}
