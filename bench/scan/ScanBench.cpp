// The window's scan without the window: TWAIN through the source manager and the SANE source
// into zScan.bmp, in a process that holds the window's GUI libraries and application object
// but not the window (its own start-up is not part of a scan). With --idle the session is
// opened and closed without a scan: the program's idle memory. The seconds from loading the source
// manager to its unloading, what a scan takes in a running window, go to session.txt in OUT_FOLDER.
// With --feeder N the source's window takes N pages from its feeder, one after the other into
// zScan.bmp, as the window does with a batch; with --feeder 0 the window is shown and closed
// without a scan: the idle memory of a session with the source's window.
// Usage: bench_scan SOURCE OUT_FOLDER [--idle | --feeder N]
#include "TwainAcquire.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Chooses colour and the feeder in the source's window and presses スキャン (or キャンセル for
// no pages), once it is up.
void scanFromTheFeeder(QTimer& poll, int pages) {
    QObject::connect(&poll, &QTimer::timeout, [&poll, pages] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != QLatin1String("SaneDialog") || !w->isVisible())
                continue;
            poll.stop();
            w->findChildren<QComboBox*>()[0]->setCurrentIndex(0); // colour, as the page alone
            w->findChild<QCheckBox*>()->setChecked(true);
            for (auto* b : w->findChildren<QAbstractButton*>()) {
                if (pages > 0 && b->text() == QStringLiteral("スキャン"))
                    b->click();
                // The idle window has painted, as the scanning one does.
                if (pages == 0 && b->text() == QStringLiteral("キャンセル"))
                    QTimer::singleShot(300, b, &QAbstractButton::click);
            }
        }
    });
    poll.start(5);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_scan SOURCE OUT_FOLDER [--idle]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const bool idle = argc > 3 && std::strcmp(argv[3], "--idle") == 0;
    const bool window = argc > 4 && std::strcmp(argv[3], "--feeder") == 0;
    const int feeder = window ? std::atoi(argv[4]) : 0;
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("zScan.bmp"));
    TTwainAcquire::SetLibraryFolder(QStringLiteral(VELA_TWAIN_DIR));
    TTwainAcquire twain;
    twain.SetSHOWhideUI(window);
    QTimer poll;
    if (window)
        scanFromTheFeeder(poll, feeder);
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
    if (result == 0 && feeder > 0)
        result = twain.SetCapability(CAP_XFERCOUNT, TWTY_INT16, TW_UINT32(feeder));
    if (result == 0 && !idle)
        result = twain.Acquire();
    twain.CloseSession();
    twain.UnloadSourceManager();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile session(QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("session.txt")));
    if (session.open(QIODevice::WriteOnly))
        session.write(QByteArray::number(seconds, 'f', 4));
    if (window && feeder == 0)
        return result == TWRC_CANCEL ? 0 : 1;
    return result == 0 && (idle || images == std::max(feeder, 1)) ? 0 : 1;
}
