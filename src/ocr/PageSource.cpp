#include "PageSource.h"

#include "DecodeBound.h"
#include "ImageHeader.h"
#include "InputFile.h"
#include "MiDocument.h"
#include "PdfPageImage.h"
#include "VelaError.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPdfDocument>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <leptonica/allheaders.h>
#include <memory>
#include <mutex>
#include <utility>

namespace {

int fileFormat(const QByteArray& bytes) {
    QByteArray head = bytes.left(16);
    head.resize(16, '\0');
    l_int32 format = IFF_UNKNOWN;
    findFileFormatBuffer(reinterpret_cast<const l_uint8*>(head.constData()), &format);
    return format;
}

QString pdfFailure(QPdfDocument::Error error) {
    switch (error) {
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return QStringLiteral("it is encrypted and needs a password to be read");
    case QPdfDocument::Error::FileNotFound:
        return QStringLiteral("it cannot be opened");
    default:
        return QStringLiteral("it is damaged or not a PDF file");
    }
}

// Whether a TIFF's chain of pages runs past the end of its bytes: a file cut short loses
// its last pages without the decoder noticing, as each page's directory follows its data.
bool tiffChainCutShort(const uchar* data, qint64 size) {
    if (size < 8)
        return true;
    const bool little = data[0] == 'I';
    auto read = [&](qint64 at, int bytes) -> quint64 {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= quint64(data[at + (little ? i : bytes - 1 - i)]) << (8 * i);
        return value;
    };
    if (read(2, 2) != 42) // BigTIFF and others: left to the decoder
        return false;
    quint64 offset = read(4, 4);
    for (int pages = 0; offset != 0 && pages <= PageSource::MaxPages; ++pages) {
        if (offset + 2 > quint64(size))
            return true;
        const quint64 next = offset + 2 + 12 * read(qint64(offset), 2);
        if (next + 4 > quint64(size))
            return true;
        offset = read(qint64(next), 4);
    }
    return false;
}

void checkPixels(qint64 width, qint64 height, const QString& name) {
    if (width <= 0 || height <= 0)
        throw VelaError(QStringLiteral("%1 has no pixels").arg(name));
    if (width * height > ImageHeader::MaxPixels)
        throw VelaError(QStringLiteral("%1 is too large: %2 x %3 pixels (at most %4 million "
                                       "pixels are accepted)")
                            .arg(name)
                            .arg(width)
                            .arg(height)
                            .arg(ImageHeader::MaxPixels / 1'000'000));
}

// The rendered page on white paper, as the fewest bits hold it: a page with only black and
// white stays bilevel (stored compactly as G4 later), a grey one 8-bit grey, else colour.
PixPtr pixOfRendering(const QImage& rendered, int dpi) {
    const QImage image = rendered.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width();
    const int h = image.height();
    auto onWhite = [](QRgb p, int c) { return c + 255 - qAlpha(p); };
    bool grey = true;
    bool bilevel = true;
    for (int y = 0; y < h && grey; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = onWhite(line[x], qRed(line[x]));
            if (r != onWhite(line[x], qGreen(line[x])) || r != onWhite(line[x], qBlue(line[x]))) {
                grey = false;
                break;
            }
            bilevel = bilevel && (r == 0 || r == 255);
        }
    }
    PixPtr pix(pixCreate(w, h, grey ? 8 : 32));
    if (!pix)
        throw VelaError(QStringLiteral("There is not enough memory for a page"));
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        l_uint32* out = data + qsizetype(y) * wpl;
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            if (grey) {
                SET_DATA_BYTE(out, x, onWhite(p, qRed(p)));
            } else {
                composeRGBPixel(onWhite(p, qRed(p)), onWhite(p, qGreen(p)), onWhite(p, qBlue(p)),
                                out + x);
            }
        }
    }
    if (grey && bilevel)
        pix.reset(pixThresholdToBinary(pix.get(), 128));
    if (!pix)
        throw VelaError(QStringLiteral("There is not enough memory for a page"));
    pixSetResolution(pix.get(), dpi, dpi);
    return pix;
}

} // namespace

struct PageSource::Pdf {
    explicit Pdf(const QByteArray& file) : bytes(file), buffer(&bytes) {}
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument document;
    std::mutex mutex; // the PDF library renders one page at a time
};

PageSource::PageSource(const QString& fileName) : PageSource(ReadInputFile(fileName), fileName) {}

PageSource::PageSource(QByteArray bytes, const QString& name)
    : m_fileName(name), m_bytes(std::move(bytes)) {
    open();
}

void PageSource::open() {
    const QString& fileName = m_fileName;
    m_format = fileFormat(m_bytes);
    if (m_format == IFF_LPDF) {
        m_kind = Kind::Pdf;
        m_pdf = std::make_shared<Pdf>(m_bytes);
        // A damaged page tree can keep the PDF library loading for good.
        const auto opened = std::make_shared<std::pair<QPdfDocument::Error, int>>();
        DecodeBound::Run(
            [pdf = m_pdf, opened] {
                const std::lock_guard lock(pdf->mutex);
                pdf->buffer.open(QIODevice::ReadOnly);
                pdf->document.load(&pdf->buffer);
                *opened = {pdf->document.error(), pdf->document.pageCount()};
            },
            QStringLiteral("\"%1\"").arg(fileName));
        if (opened->first != QPdfDocument::Error::None)
            throw VelaError(
                QStringLiteral("Cannot read \"%1\": %2").arg(fileName, pdfFailure(opened->first)));
        m_pageCount = opened->second;
        m_images = std::make_unique<PdfPageImage>(m_bytes, fileName);
    } else if (L_FORMAT_IS_TIFF(m_format)) {
        m_kind = Kind::Tiff;
        const auto* data = reinterpret_cast<const uchar*>(m_bytes.constData());
        if (tiffChainCutShort(data, m_bytes.size()))
            throw VelaError(
                QStringLiteral("\"%1\" is damaged: its pages are cut short").arg(fileName));
        FILE* stream = fopenReadFromMemory(data, size_t(m_bytes.size()));
        l_int32 count = 0;
        if (!stream || tiffGetCount(stream, &count) != 0)
            count = 0;
        if (stream)
            std::fclose(stream);
        m_pageCount = count;
    } else {
        m_pageCount = 1;
    }
    if (m_pageCount <= 0)
        throw VelaError(QStringLiteral("\"%1\" is damaged: it has no pages").arg(fileName));
    if (m_pageCount > MaxPages)
        throw VelaError(QStringLiteral("\"%1\" has %2 pages; at most %3 pages are read")
                            .arg(fileName)
                            .arg(m_pageCount)
                            .arg(MaxPages));
}

PageSource::~PageSource() = default;

bool PageSource::IsDocumentFile(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("pdf") || suffix == QLatin1String("tif") ||
           suffix == QLatin1String("tiff");
}

QString PageSource::pageName(int index) const {
    return QStringLiteral("Page %1 of \"%2\"").arg(index + 1).arg(m_fileName);
}

void PageSource::Open(int index, MiDocument& document, QByteArray* jpeg) const {
    if (index < 0 || index >= m_pageCount)
        throw VelaError(QStringLiteral("\"%1\" has no page %2").arg(m_fileName).arg(index + 1));
    if (jpeg)
        jpeg->clear();
    switch (m_kind) {
    case Kind::Image:
        document.Create(m_bytes, m_fileName);
        if (jpeg && m_format == IFF_JFIF_JPEG)
            *jpeg = m_bytes;
        return;
    case Kind::Tiff:
        document.Create(tiffPage(index), m_fileName);
        return;
    case Kind::Pdf:
        document.Create(pdfPage(index, jpeg), m_fileName);
        return;
    }
}

PixPtr PageSource::tiffPage(int index) const {
    const auto* data = reinterpret_cast<const l_uint8*>(m_bytes.constData());
    const size_t size = size_t(m_bytes.size());
    l_int32 w = 0, h = 0, bps = 0, spp = 0, res = 0, cmap = 0, format = 0;
    if (readHeaderMemTiff(data, size, index, &w, &h, &bps, &spp, &res, &cmap, &format) != 0)
        throw VelaError(QStringLiteral("%1 is damaged: it cannot be read").arg(pageName(index)));
    checkPixels(w, h, pageName(index));
    PixPtr pix = DecodeBound::Decode(
        [bytes = m_bytes, index] {
            return PixPtr(pixReadMemTiff(reinterpret_cast<const l_uint8*>(bytes.constData()),
                                         size_t(bytes.size()), index));
        },
        pageName(index));
    if (!pix)
        throw VelaError(QStringLiteral("%1 is damaged: it cannot be decoded").arg(pageName(index)));
    return pix;
}

PixPtr PageSource::pdfPage(int index, QByteArray* jpeg) const {
    if (std::optional<PdfPageImage::Image> image = m_images->Page(index, pageName(index))) {
        if (jpeg)
            *jpeg = std::move(image->jpeg);
        return std::move(image->pix);
    }
    // Bounded too: the library may still be held by a rendering that was given up.
    const auto size = std::make_shared<QSizeF>();
    DecodeBound::Run(
        [pdf = m_pdf, index, size] {
            const std::lock_guard lock(pdf->mutex);
            *size = pdf->document.pagePointSize(index);
        },
        pageName(index));
    const QSizeF points = *size;
    const auto pixelsAt = [&](int dpi) {
        return QSize(int(std::lround(points.width() * dpi / 72.0)),
                     int(std::lround(points.height() * dpi / 72.0)));
    };
    // As fine as the page's images are, up to twice the usual and within the pixel limit.
    int dpi = std::clamp(m_images->ImageDpi(index), PdfDpi, 2 * PdfDpi);
    while (dpi > PdfDpi &&
           qint64(pixelsAt(dpi).width()) * pixelsAt(dpi).height() > ImageHeader::MaxPixels)
        dpi -= 25;
    const QSize pixels = pixelsAt(dpi);
    checkPixels(pixels.width(), pixels.height(), pageName(index));
    // Images drawn without smoothing, whose blur would thicken strokes.
    QPdfDocumentRenderOptions options;
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations |
                           QPdfDocumentRenderOptions::RenderFlag::ImageAliased);
    PixPtr pix = DecodeBound::Decode(
        [pdf = m_pdf, index, pixels, options, dpi]() -> PixPtr {
            const std::lock_guard lock(pdf->mutex);
            const QImage rendered = pdf->document.render(index, pixels, options);
            return rendered.isNull() ? nullptr : pixOfRendering(rendered, std::max(dpi, PdfDpi));
        },
        pageName(index));
    if (!pix)
        throw VelaError(
            QStringLiteral("%1 is damaged: it cannot be rendered").arg(pageName(index)));
    return pix;
}
