// The office page set of the tests for the recognition benchmark (bench/ocr/office): renders
// every page clean and spoiled, and scores a recognised text against a page's truth.
// usage: vela-bench-ocr-office render FOLDER      writes PAGE.png|jpg and PAGE.txt (the truth);
//                                                  prints one "PAGE-FILE LANG TRUTH-FILE" a line
//        vela-bench-ocr-office score en|ja TRUTH TEXT   prints word accuracy and CER in percent
#include "OfficePage.h"
#include "RenderedPage.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>

namespace {

QString readAll(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int render(const QString& folder) {
    QDir().mkpath(folder);
    std::vector<DegradedPage::Case> spoilings = OfficePage::Spoilings();
    spoilings.insert(spoilings.begin(),
                     {QStringLiteral("Clean"), [](const QImage& p) { return p; }, 0});
    for (const char* language : {"en", "ja"}) {
        for (const OfficePage::Page& page : OfficePage::Set(std::strcmp(language, "ja") == 0)) {
            for (const DegradedPage::Case& c : spoilings) {
                const QString stem =
                    QStringLiteral("%1-%2-%3").arg(QLatin1String(language), page.name, c.name);
                const QString path = DegradedPage::Save(c, c.spoil(page.image), folder, stem);
                QFile truth(QDir(folder).filePath(stem + QStringLiteral(".txt")));
                if (!truth.open(QIODevice::WriteOnly) || truth.write(page.truth.toUtf8()) < 0)
                    return 1;
                std::printf("%s %s %s\n", qPrintable(path), language, qPrintable(truth.fileName()));
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "render") == 0)
        return render(QString::fromLocal8Bit(argv[2]));
    if (argc == 5 && std::strcmp(argv[1], "score") == 0) {
        const QString truth = readAll(argv[3]), text = readAll(argv[4]);
        std::printf("%.2f %.2f\n", OfficePage::WordAccuracy(truth, text) * 100,
                    RenderedPage::CharacterErrorRate(truth, text, std::strcmp(argv[2], "ja") == 0) *
                        100);
        return 0;
    }
    std::fprintf(stderr, "usage: vela-bench-ocr-office render FOLDER | score en|ja TRUTH TEXT\n");
    return 2;
}
