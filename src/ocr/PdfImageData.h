#pragma once

#include <QByteArray>

struct Pix;

// A page image as a PDF image stream: a JPEG as it was scanned (its bytes kept, its metadata
// left out), a bilevel page in CCITT G4, any other losslessly (Flate).
struct PdfImageData {
    int width = 0, height = 0;
    QByteArray entries; // of the stream's dictionary, its length aside
    QByteArray data;

    // pix is the page's image; jpeg (when not empty) a JPEG file of the same pixels. Empty
    // data when the image cannot be encoded.
    static PdfImageData Of(Pix* pix, const QByteArray& jpeg);

    // A JPEG file without its metadata (EXIF, XMP, GPS, IPTC, comments, thumbnails, other
    // images): what draws the picture and its colour profile only. Empty when the bytes are
    // no JPEG that can be taken apart. components (when set) receives the number of colour
    // components, width and height the size.
    static QByteArray StrippedJpeg(const QByteArray& jpeg, int* components = nullptr,
                                   int* width = nullptr, int* height = nullptr);
};
