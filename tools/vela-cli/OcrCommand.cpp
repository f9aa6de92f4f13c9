// vela-cli ocr: prints the text that recognition puts into the text pane.
#include "CliCommand.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "Recognition.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

namespace {

int ocrUsage() {
    std::fprintf(stderr, "usage: vela-cli ocr [--lang en|ja] [--lines] FILE...\n");
    return 2;
}

int runOcr(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int language = MiDocument::LanguageEnglish;
    bool lines = false;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--lang") == 0 && i + 1 < argc) {
            const char* value = argv[++i];
            if (std::strcmp(value, "en") == 0)
                language = MiDocument::LanguageEnglish;
            else if (std::strcmp(value, "ja") == 0)
                language = MiDocument::LanguageJapanese;
            else
                return ocrUsage();
        } else if (std::strcmp(arg, "--lines") == 0) {
            lines = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return ocrUsage();
        } else {
            files.append(QString::fromLocal8Bit(arg));
        }
    }
    if (files.isEmpty())
        return ocrUsage();

    // One short run: the orientation data need not stay loaded while the page is read.
    OcrEngine::Instance().SetKeepsOrientationData(false);
    int status = 0;
    for (const QString& file : files) {
        try {
            const QStringList text = Recognition::RecognizeFile(language, file, lines);
            const QByteArray out = Recognition::JoinLines(text, QStringLiteral("\n")).toUtf8();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            std::fflush(stdout);
        } catch (const VelaError& e) {
            std::fprintf(stderr, "vela-cli ocr: %s\n", e.Message().toLocal8Bit().constData());
            status = 1;
        }
    }
    return status;
}

} // namespace

VELA_CLI_COMMAND("ocr", "ocr [--lang en|ja] [--lines] FILE...  recognise images as the window does",
                 runOcr);
