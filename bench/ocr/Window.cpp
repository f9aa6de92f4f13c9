// Reads one page as the window does: on its recognition thread, in a process whose engine
// libraries were loaded without OMP_THREAD_LIMIT. For bench/ocr/window.
// usage: vela-bench-ocr-window en|ja FILE
#include "MiDocument.h"
#include "Recognition.h"
#include "RecognitionThread.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <future>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vela-bench-ocr-window en|ja FILE\n");
        return 2;
    }
    const int language = std::strcmp(argv[1], "ja") == 0 ? MiDocument::LanguageJapanese
                                                         : MiDocument::LanguageEnglish;
    RecognitionThread thread;
    std::promise<int> lines;
    thread.Post([&] {
        try {
            lines.set_value(
                int(Recognition::RecognizeFile(language, QString::fromLocal8Bit(argv[2]), false)
                        .size()));
        } catch (...) {
            lines.set_value(-1);
        }
    });
    const int count = lines.get_future().get();
    std::printf("%d lines\n", count);
    return count < 0 ? 1 : 0;
}
