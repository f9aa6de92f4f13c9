// Document files as the recognition reads them: the walk over a TIFF's pages, the opening of a
// PDF, and the first pages decoded from either, which must keep to the page and pixel limits.
#include "FuzzCheck.h"
#include "ImageHeader.h"
#include "MiDocument.h"
#include "PageSource.h"
#include "VelaError.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdint>
#include <leptonica/allheaders.h>

namespace {

// Decoding more pages only slows the search down: the walk covered them all.
constexpr int DecodedPages = 3;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    setMsgSeverity(L_SEVERITY_NONE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const PageSource source(bytes, QStringLiteral("fuzz"));
        VELA_FUZZ_CHECK(source.PageCount() >= 1 && source.PageCount() <= PageSource::MaxPages);
        for (int page = 0; page < std::min(source.PageCount(), DecodedPages); ++page) {
            try {
                MiDocument document;
                source.Open(page, document);
                VELA_FUZZ_CHECK(qint64(pixGetWidth(document.Page())) *
                                    pixGetHeight(document.Page()) <=
                                ImageHeader::MaxPixels);
            } catch (const VelaError&) {
            }
        }
    } catch (const VelaError&) {
    }
    return 0;
}
