// vela-cli scan: one page (or a feeder's batch) from a TWAIN source into bitmap files.
#include "CliCommand.h"
#include "TwainAcquire.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int scanUsage() {
    std::fprintf(stderr, "usage: vela-cli scan [--list] [--source NAME] [--no-ui] "
                         "[--resolution DPI] [--mode color|gray|lineart] OUT.bmp\n");
    return 2;
}

// OUT.bmp for a single page; OUT-1.bmp, OUT-2.bmp, ... for the pages of a batch.
QString pageName(const QString& out, int page, bool batch) {
    if (!batch)
        return out;
    const QFileInfo info(out);
    const QString base = info.path() + '/' + info.completeBaseName();
    return QStringLiteral("%1-%2.%3").arg(base, QString::number(page), info.suffix());
}

int runScan(int argc, char** argv) {
    bool list = false, noUi = false;
    QString source, out;
    int resolution = 0;
    int pixelType = -1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--list") == 0) {
            list = true;
        } else if (std::strcmp(arg, "--no-ui") == 0) {
            noUi = true;
        } else if (std::strcmp(arg, "--source") == 0 && i + 1 < argc) {
            source = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--resolution") == 0 && i + 1 < argc) {
            resolution = std::atoi(argv[++i]);
            if (resolution <= 0 || resolution > 32767)
                return scanUsage();
        } else if (std::strcmp(arg, "--mode") == 0 && i + 1 < argc) {
            const char* mode = argv[++i];
            pixelType = std::strcmp(mode, "color") == 0     ? TWPT_RGB
                        : std::strcmp(mode, "gray") == 0    ? TWPT_GRAY
                        : std::strcmp(mode, "lineart") == 0 ? TWPT_BW
                                                            : -2;
            if (pixelType == -2)
                return scanUsage();
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return scanUsage();
        } else if (out.isEmpty()) {
            out = QString::fromLocal8Bit(arg);
        } else {
            return scanUsage();
        }
    }
    if (!list && out.isEmpty())
        return scanUsage();
    // Dialogs need widgets; a scan without them runs on a plain core application.
    std::unique_ptr<QCoreApplication> app;
    if (noUi || list)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);

    TTwainAcquire twain;
    twain.SetAppInfo(QStringLiteral("vela-cli"));
    twain.SetSHOWhideUI(!noUi);
    twain.OnTwainError = [](QObject*, int state, int error) {
        std::fprintf(stderr, "vela-cli scan: TWAIN error %d in state %d\n", error, state);
    };
    QStringList written;
    bool batch = false;
    int page = 0;
    twain.OnNewImage = [&](QObject*, QString& fileName, TW_IMAGEINFO& info, int pending) {
        if (page == 0)
            batch = pending != 0;
        fileName = pageName(out, ++page, batch);
        written << fileName;
        std::fprintf(stderr, "page %d: %d x %d, %d bits -> %s\n", page, int(info.ImageWidth),
                     int(info.ImageLength), int(info.BitsPerPixel), qPrintable(fileName));
    };
    if (!twain.LoadSourceManager()) {
        std::fprintf(stderr, "vela-cli scan: cannot load %s\n",
                     TTwainAcquire::SourceManagerLibrary);
        return 1;
    }
    struct Session {
        TTwainAcquire& t;
        ~Session() {
            t.CloseSession();
            t.UnloadSourceManager();
        }
    } session{twain};
    if (twain.OpenSourceManager() != 0)
        return 1;
    if (list) {
        for (const QString& name : twain.SourceNames())
            std::printf("%s\n", qPrintable(name));
        return 0;
    }
    if (source.isEmpty())
        twain.SelectSource(true, source);
    if (twain.ChooseSource(source) != 0 || twain.OpenSource() != 0)
        return 1;
    if (pixelType >= 0 &&
        twain.SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, TW_UINT32(pixelType)) != 0)
        return 1;
    if (resolution && twain.SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, TW_UINT32(resolution)) != 0)
        return 1;
    const int result = twain.Acquire();
    bool complete = !written.isEmpty();
    for (const QString& name : written)
        complete = complete && QFileInfo(name).size() > 0;
    return result == 0 && complete ? 0 : 1;
}

} // namespace

VELA_CLI_COMMAND("scan",
                 "scan [--list] [--source NAME] [--no-ui] [--resolution DPI] "
                 "[--mode color|gray|lineart] OUT.bmp",
                 runScan);
