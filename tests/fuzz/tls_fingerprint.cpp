// Pinned certificate fingerprints as users write them into the settings or on the command line.
#include "FuzzCheck.h"
#include "TlsPeerCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto digest = TlsPeerCheck::ParseFingerprint(text)) {
        VELA_FUZZ_CHECK(digest->size() == 32);
        VELA_FUZZ_CHECK(TlsPeerCheck::ParseFingerprint(TlsPeerCheck::FingerprintText(*digest)) ==
                        digest);
    }
    return 0;
}
