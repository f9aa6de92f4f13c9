// The control connection's bytes, cut into reads of varying sizes, through the reply assembly
// and every parser of reply texts.
#include "FtpReply.h"
#include "FtpReplyAssembler.h"
#include "FuzzCheck.h"

#include <cstdint>

namespace {

// The reading end holds one read of at most this many bytes on top of what it keeps.
constexpr int ReadSize = 4096;

void parse(const QString& reply) {
    FtpReply::Positive(reply);
    FtpReply::Intermediate(reply);
    FtpReply::SystemType(reply);
    const QString path = FtpReply::QuotedPath(reply);
    VELA_FUZZ_CHECK(path.size() <= reply.size());
    FtpReply::NetTermPath(path);
    VELA_FUZZ_CHECK(FtpReply::SizeValue(reply) >= 0);
    if (const auto size = FtpReply::TransferSize(reply))
        VELA_FUZZ_CHECK(*size >= 0);
    if (const auto endpoint = FtpReply::PassiveEndpoint(reply))
        VELA_FUZZ_CHECK(endpoint->Address.count(QLatin1Char('.')) == 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte seeds the read sizes; the rest is what the server sent.
    std::uint32_t seed = data[0] | 1u;
    const char* stream = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    FtpReplyAssembler assembler;
    std::size_t pos = 0;
    while (pos < length) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t want = (seed >> 16) % 3 == 0 ? ReadSize : 1 + (seed >> 16) % 97;
        const int n = static_cast<int>(std::min(want, length - pos));
        assembler.Append(FtpReplyAssembler::Received(stream + pos, n));
        pos += static_cast<std::size_t>(n);
        while (const auto reply = assembler.Next()) {
            if (!reply->Error.isEmpty())
                continue;
            VELA_FUZZ_CHECK(!reply->Line.isEmpty());
            VELA_FUZZ_CHECK(reply->Line.size() <= FtpReplyAssembler::MaxSize + ReadSize);
            VELA_FUZZ_CHECK(!reply->Line.contains(QLatin1Char('\n')));
            qsizetype held = 0;
            for (const QString& line : reply->Lines)
                held += line.size() + 1;
            VELA_FUZZ_CHECK(held <= 2 * (FtpReplyAssembler::MaxSize + ReadSize));
            parse(reply->Line);
        }
    }
    // The parsers also see what no assembly would let through (line ends, NULs).
    parse(QString::fromLocal8Bit(stream, static_cast<qsizetype>(length)));
    return 0;
}
