#pragma once

#include "PixPtr.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// A scanned PDF page is one image laid over the whole page. Read from that image's own pixels
// (what pdfimages gives), it reads as the scan does; a rendering resamples it. This finds such
// pages with a PDF library of its own (the renderer shows no images) and decodes their image.
class PdfPageImage final {
public:
    struct Image {
        PixPtr pix;      // the image's pixels, with the resolution it is laid at
        QByteArray jpeg; // the image's own bytes when it is a JPEG
    };

    // The file's bytes, which must outlive this, named fileName. A file the library cannot
    // read yields no images; its pages are then rendered.
    PdfPageImage(const QByteArray& bytes, const QString& fileName);
    ~PdfPageImage();
    PdfPageImage(const PdfPageImage&) = delete;
    PdfPageImage& operator=(const PdfPageImage&) = delete;

    // Page index's image, or none when the page is more than one image or its image is not
    // decoded here (it is rendered then). Raises VelaError naming pageName for an image larger
    // than the pixel limit or one that cannot be decoded.
    std::optional<Image> Page(int index, const QString& pageName) const;
    // The resolution that keeps the detail of the page's largest image (0 without images).
    int ImageDpi(int index) const;

private:
    struct Document;
    std::unique_ptr<Document> m_document;
};
