// DIB blocks as a scanner's data source hands them over, written as bitmap files: the file
// must hold exactly what its header says, and read back as a bottom-up DIB of the same image.
#include "DibFile.h"
#include "FuzzCheck.h"

#include <QBuffer>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DibLayout layout;
    const bool readable = ReadDibLayout(data, size, layout) == DibCheck::Ok;
    QByteArray written;
    QBuffer file(&written);
    file.open(QIODevice::WriteOnly);
    const bool ok = WriteDibAsBitmap(data, size, file);
    VELA_FUZZ_CHECK(ok == readable);
    if (!ok)
        return 0;
    VELA_FUZZ_CHECK(std::uint64_t(written.size()) == layout.FileSize());
    const auto* bytes = reinterpret_cast<const unsigned char*>(written.constData());
    VELA_FUZZ_CHECK(written.startsWith("BM"));
    DibLayout again;
    VELA_FUZZ_CHECK(ReadDibLayout(bytes + 14, std::size_t(written.size()) - 14, again) ==
                    DibCheck::Ok);
    VELA_FUZZ_CHECK(!again.topDown && again.width == layout.width &&
                    again.height == layout.height && again.bitCount == layout.bitCount &&
                    again.imageSize == layout.imageSize);
    return 0;
}
