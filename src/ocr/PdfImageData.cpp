#include "PdfImageData.h"

#include "PixPtr.h"

#include <leptonica/allheaders.h>
#include <memory>

namespace {

struct CompressedDeleter {
    void operator()(L_COMP_DATA* data) const { l_CIDataDestroy(&data); }
};

int word16(const QByteArray& bytes, qsizetype at) {
    return (uchar(bytes[at]) << 8) | uchar(bytes[at + 1]);
}

// The segments that may stay: the JFIF header, the colour profile, Adobe's colour transform.
bool keptSegment(int marker, const QByteArray& body) {
    if (marker == 0xe0)
        return body.startsWith(QByteArray("JFIF\0", 5));
    if (marker == 0xe2)
        return body.startsWith("ICC_PROFILE");
    if (marker == 0xee)
        return body.startsWith("Adobe");
    return marker < 0xe0 || (marker > 0xef && marker != 0xfe);
}

} // namespace

QByteArray PdfImageData::StrippedJpeg(const QByteArray& jpeg, int* components, int* width,
                                      int* height) {
    if (jpeg.size() < 4 || uchar(jpeg[0]) != 0xff || uchar(jpeg[1]) != 0xd8)
        return {};
    QByteArray out = jpeg.left(2);
    int count = 0;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (uchar(jpeg[at]) != 0xff)
            return {};
        const int marker = uchar(jpeg[at + 1]);
        if (marker == 0xff) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xda) { // the scans follow, to the end
            if (count == 0)
                return {};
            if (components)
                *components = count;
            return out + jpeg.mid(at);
        }
        const int length = word16(jpeg, at + 2);
        if (length < 2 || at + 2 + length > jpeg.size())
            return {};
        const QByteArray body = jpeg.mid(at + 4, length - 2);
        // Start of a frame: its size and components.
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame && body.size() >= 6) {
            count = uchar(body[5]);
            if (height)
                *height = word16(body, 1);
            if (width)
                *width = word16(body, 3);
        }
        if (keptSegment(marker, body))
            out += jpeg.mid(at, 2 + length);
        at += 2 + length;
    }
    return {};
}

PdfImageData PdfImageData::Of(Pix* pix, const QByteArray& jpeg) {
    PdfImageData image;
    image.width = int(pixGetWidth(pix));
    image.height = int(pixGetHeight(pix));
    int components = 0, w = 0, h = 0;
    if (!jpeg.isEmpty()) {
        QByteArray stripped = StrippedJpeg(jpeg, &components, &w, &h);
        if (!stripped.isEmpty() && (components == 1 || components == 3) && w == image.width &&
            h == image.height) {
            image.entries = QByteArray("/Filter /DCTDecode /BitsPerComponent 8 /ColorSpace ") +
                            (components == 1 ? "/DeviceGray" : "/DeviceRGB");
            image.data = std::move(stripped);
            return image;
        }
    }
    PixPtr plain(pixRemoveColormap(pix, REMOVE_CMAP_BASED_ON_SRC));
    if (plain && pixGetDepth(plain.get()) != 1 && pixGetDepth(plain.get()) < 8)
        plain.reset(pixConvertTo8(plain.get(), 0));
    if (plain && pixGetDepth(plain.get()) == 16)
        plain.reset(pixConvert16To8(plain.get(), L_MS_BYTE));
    if (plain && pixGetDepth(plain.get()) == 32)
        pixSetSpp(plain.get(), 3);
    if (!plain)
        return image;
    const bool bilevel = pixGetDepth(plain.get()) == 1;
    L_COMP_DATA* made = nullptr;
    if (pixGenerateCIData(plain.get(), bilevel ? L_G4_ENCODE : L_FLATE_ENCODE, 0, 0, &made) != 0)
        return image;
    std::unique_ptr<L_COMP_DATA, CompressedDeleter> data(made);
    if (bilevel) {
        image.entries = QByteArrayLiteral("/Filter /CCITTFaxDecode /BitsPerComponent 1 "
                                          "/ColorSpace /DeviceGray /DecodeParms << /K -1 "
                                          "/Columns %1 /Rows %2 >>")
                            .replace("%1", QByteArray::number(image.width))
                            .replace("%2", QByteArray::number(image.height));
        if (data->minisblack)
            image.entries += " /Decode [1 0]";
    } else {
        image.entries = "/Filter /FlateDecode /BitsPerComponent " + QByteArray::number(data->bps) +
                        " /ColorSpace " + (data->spp == 3 ? "/DeviceRGB" : "/DeviceGray");
        if (data->predictor)
            image.entries += " /DecodeParms << /Predictor 14 /Colors " +
                             QByteArray::number(data->spp) + " /BitsPerComponent " +
                             QByteArray::number(data->bps) + " /Columns " +
                             QByteArray::number(image.width) + " >>";
    }
    image.data =
        QByteArray(reinterpret_cast<const char*>(data->datacomp), qsizetype(data->nbytescomp));
    return image;
}
