// Plain text files of any encoding: detection, decoding, and code page names.
#include "FuzzCheck.h"
#include "TextDecoding.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TextDecoding::Encoding encoding = TextDecoding::Detect(bytes);
    const QString text = TextDecoding::Decode(bytes);
    if (encoding == TextDecoding::Encoding::Utf8)
        VELA_FUZZ_CHECK(text == QString::fromUtf8(bytes));
    if (encoding == TextDecoding::Encoding::Utf8Bom)
        VELA_FUZZ_CHECK(text == QString::fromUtf8(bytes.mid(3)));
    if (size >= 2)
        TextDecoding::CodePageName(data[0] << 8 | data[1]);
    return 0;
}
