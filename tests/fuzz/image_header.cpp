// Image files as dropped on the window: the header checks that run before any decoding, and
// the decoding of what they let through, which must not hold more pixels than the header said.
#include "FuzzCheck.h"
#include "ImageHeader.h"
#include "VelaError.h"

#include <cstdint>
#include <leptonica/allheaders.h>

namespace {

// Decoding larger accepted images only slows the search down; the checks ran on them anyway.
constexpr qint64 DecodedPixels = 1'000'000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setMsgSeverity(L_SEVERITY_NONE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ImageHeader header;
    try {
        header = ImageHeader::Check(data, static_cast<qint64>(size), QStringLiteral("fuzz"));
    } catch (const VelaError&) {
        return 0;
    }
    const qint64 pixels = qint64(header.Width) * header.Height;
    VELA_FUZZ_CHECK(header.Width > 0 && header.Height > 0);
    VELA_FUZZ_CHECK(pixels <= ImageHeader::MaxPixels);
    if (pixels > DecodedPixels)
        return 0;
    Pix* pix = pixReadMem(data, size);
    if (pix) {
        VELA_FUZZ_CHECK(qint64(pixGetWidth(pix)) * pixGetHeight(pix) <= pixels);
        pixDestroy(&pix);
    }
    return 0;
}
