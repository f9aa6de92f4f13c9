#pragma once

#include <QString>

// What an image file's header tells before anything is decoded, read by our own code for the
// formats the window takes in (BMP, JPEG, GIF, PNG) and for no other, whatever the file's name.
// The checks refuse what the decoder should never see: another format, no pixels, too many
// pixels (for a GIF, in all its frames together, as the decoder keeps them all), data cut short.
struct ImageHeader {
    // 50 megapixels is more than an A2 page at 300 dpi and stays far below memory limits.
    static constexpr qint64 MaxPixels = 50'000'000;

    int Format = 0; // Leptonica's IFF_ file format
    int Width = 0;
    int Height = 0;

    // The header of the file's bytes; raises VelaError naming fileName when it is refused.
    static ImageHeader Check(const uchar* data, qint64 size, const QString& fileName);
};
