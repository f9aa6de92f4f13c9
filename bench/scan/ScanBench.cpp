// The window's scan without the window: TWAIN through the source manager and the SANE source
// into zScan.bmp, in a process that holds the window's GUI libraries and application object
// but not the window (its own start-up is not part of a scan). With --idle the session is
// opened and closed without a scan: the program's idle memory. The seconds from loading the source
// manager to its unloading, what a scan takes in a running window, go to session.txt in OUT_FOLDER.
// Usage: bench_scan SOURCE OUT_FOLDER [--idle]
#include "TwainAcquire.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_scan SOURCE OUT_FOLDER [--idle]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const bool idle = argc > 3 && std::strcmp(argv[3], "--idle") == 0;
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("zScan.bmp"));
    TTwainAcquire::SetLibraryFolder(QStringLiteral(VELA_TWAIN_DIR));
    TTwainAcquire twain;
    twain.SetSHOWhideUI(false);
    int images = 0;
    twain.OnNewImage = [&](QObject*, QString& fileName, TW_IMAGEINFO&, int) {
        fileName = out;
        ++images;
    };
    twain.OnTwainError = [](QObject*, int state, int error) {
        std::fprintf(stderr, "bench_scan: TWAIN error %d in state %d\n", error, state);
    };
    QElapsedTimer timer;
    timer.start();
    if (!twain.LoadSourceManager())
        return 1;
    twain.OpenSourceManager();
    int result = twain.ChooseSource(QString::fromLocal8Bit(argv[1]));
    if (result == 0)
        result = twain.OpenSource();
    if (result == 0 && !idle)
        result = twain.Acquire();
    twain.CloseSession();
    twain.UnloadSourceManager();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile session(QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("session.txt")));
    if (session.open(QIODevice::WriteOnly))
        session.write(QByteArray::number(seconds, 'f', 4));
    return result == 0 && (idle || images == 1) ? 0 : 1;
}
