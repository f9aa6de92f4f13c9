#include "PageImage.h"

#include "MiDocument.h"
#include "PixPtr.h"

#include <leptonica/allheaders.h>
#include <memory>

QImage PageImage(const MiDocument& document) {
    Pix* page = document.Page();
    if (!page)
        return {};
    const int w = pixGetWidth(page);
    const int h = pixGetHeight(page);
    const bool color = pixGetDepth(page) == 32 || pixGetColormap(page) != nullptr;
    if (!color) {
        PixPtr gray(pixConvertTo8(page, 0));
        if (!gray)
            return {};
        QImage image(w, h, QImage::Format_Grayscale8);
        const l_uint32* data = pixGetData(gray.get());
        const int wpl = pixGetWpl(gray.get());
        for (int y = 0; y < h; ++y) {
            const l_uint32* src = data + y * wpl;
            uchar* dst = image.scanLine(y);
            for (int x = 0; x < w; ++x)
                dst[x] = uchar(GET_DATA_BYTE(src, x));
        }
        return image;
    }
    PixPtr rgb(pixConvertTo32(page));
    if (!rgb)
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    const l_uint32* data = pixGetData(rgb.get());
    const int wpl = pixGetWpl(rgb.get());
    for (int y = 0; y < h; ++y) {
        const l_uint32* src = data + y * wpl;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = 0xff000000u | (src[x] >> 8);
    }
    return image;
}
