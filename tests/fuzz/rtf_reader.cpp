// Rich text files into a text document, as the text pane opens them.
#include "FuzzCheck.h"
#include "RtfReader.h"
#include "VelaError.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Fonts and document layout need the application object.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument document;
    try {
        RtfReader::Read(bytes, document);
        VELA_FUZZ_CHECK(RtfReader::IsRtf(bytes));
    } catch (const VelaError&) {
        // The one failure the reader reports: data that is no RTF at all.
        VELA_FUZZ_CHECK(!RtfReader::IsRtf(bytes));
    }
    document.toPlainText();
    return 0;
}
