// Prints every word of Vela's reading of the files with the engine's confidence in it and its
// mean confidence in the word's characters, one "file<TAB>word confidence<TAB>character
// confidence<TAB>word" line each. For bench/ocr/doubtful.
// usage: vela-bench-ocr-words en|ja FILE...
#include "MiDocument.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vela-bench-ocr-words en|ja FILE...\n");
        return 2;
    }
    const int language = std::strcmp(argv[1], "ja") == 0 ? MiDocument::LanguageJapanese
                                                         : MiDocument::LanguageEnglish;
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        const QString file = QString::fromLocal8Bit(argv[i]);
        try {
            MiDocument document;
            document.Create(file);
            document.OCR(language, true, true);
            const MiWords& words = document.Images(0).Layout().Words();
            for (int w = 0; w < words.Count(); ++w)
                std::printf("%s\t%.1f\t%.1f\t%s\n", qPrintable(QFileInfo(file).fileName()),
                            words.Item(w).Confidence(), words.Item(w).GlyphConfidence(),
                            words.Item(w).Text().toUtf8().constData());
            std::fflush(stdout);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
