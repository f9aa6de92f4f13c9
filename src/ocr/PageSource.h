#pragma once

#include "PixPtr.h"

#include <QByteArray>
#include <QString>
#include <memory>

class MiDocument;
class PdfPageImage;

// The pages of one input file: a single image, every page of a multi-page TIFF as stored, or
// every page of a PDF: a page that is one image (a scan) as that image's own pixels, another
// rendered at the resolution its images need, at least 300 dpi (also a page that carries text
// of its own, so that all pages are read the same way). Opening reads only what counting the pages
// needs; a page is decoded when it is asked for, so a long document never sits in memory whole.
// Every failure raises VelaError naming the file. Pages may be asked for from several threads.
class PageSource final {
public:
    static constexpr int PdfDpi = 300;
    static constexpr int MaxPages = 2000;

    explicit PageSource(const QString& fileName);
    // The same for a file's bytes, read beforehand: name stands for the file in errors.
    PageSource(QByteArray bytes, const QString& name);
    ~PageSource();
    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    // True for names that this source reads as documents (PDF, TIFF) rather than as one image.
    static bool IsDocumentFile(const QString& fileName);

    const QString& FileName() const { return m_fileName; }
    int PageCount() const { return m_pageCount; }
    // Opens page index (0-based) in document; the per-page pixel limit applies. jpeg (when
    // set) receives the JPEG bytes whose pixels the page is (a JPEG file, or a PDF page's
    // JPEG image), or is emptied.
    void Open(int index, MiDocument& document, QByteArray* jpeg = nullptr) const;

private:
    enum class Kind { Image, Tiff, Pdf };
    void open();
    PixPtr tiffPage(int index) const;
    PixPtr pdfPage(int index, QByteArray* jpeg) const;
    QString pageName(int index) const;

    QString m_fileName;
    Kind m_kind = Kind::Image;
    int m_format = 0;
    int m_pageCount = 0;
    // The file as read once: every page is checked and decoded from these same bytes.
    QByteArray m_bytes;
    // Shared with a rendering that outlives its time bound.
    struct Pdf;
    std::shared_ptr<Pdf> m_pdf;
    std::unique_ptr<PdfPageImage> m_images;
};
