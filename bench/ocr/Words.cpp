// Prints every word of Vela's reading of the files with the engine's confidence in it, its
// mean confidence in the word's characters and whether the window marks it as doubtful, one
// "file<TAB>word confidence<TAB>character confidence<TAB>0|1<TAB>word" line each. For
// bench/ocr/doubtful.
// usage: vela-bench-ocr-words en|ja FILE...
#include "DoubtfulWords.h"
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
    const bool english = std::strcmp(argv[1], "ja") != 0;
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        const QString file = QString::fromLocal8Bit(argv[i]);
        try {
            MiDocument document;
            document.Create(file);
            document.OCR(english ? MiDocument::LanguageEnglish : MiDocument::LanguageJapanese,
                         true, true);
            const MiWords& words = document.Images(0).Layout().Words();
            for (int w = 0; w < words.Count(); ++w) {
                const MiWord& word = words.Item(w);
                std::printf("%s\t%.1f\t%.1f\t%d\t%s\n", qPrintable(QFileInfo(file).fileName()),
                            word.Confidence(), word.GlyphConfidence(),
                            DoubtfulWords::Doubtful(word, english) ? 1 : 0,
                            word.Text().toUtf8().constData());
            }
            std::fflush(stdout);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
