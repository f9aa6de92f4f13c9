#pragma once

#include <QString>

// What an image file's header tells before anything is decoded. The checks refuse what the
// decoder should never see: no image, no pixels, too many pixels, data cut short.
struct ImageHeader {
    // 50 megapixels is more than an A2 page at 300 dpi and stays far below memory limits.
    static constexpr qint64 MaxPixels = 50'000'000;

    int Format = 0; // Leptonica's IFF_ file format
    int Width = 0;
    int Height = 0;

    // The header of the file's bytes; raises VelaError naming fileName when it is refused.
    static ImageHeader Check(const uchar* data, qint64 size, const QString& fileName);
};
