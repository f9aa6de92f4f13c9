// Character error rates of recognition on the tests' page sets: the clean, turned and skewed
// pages and the degraded ones (shaded, low contrast, 150 dpi, JPEG, photographed), English and
// Japanese, with the time each page took and how much of it the page preparation alone takes.
// Prints one line per page and the means.
// usage: vela-bench-ocr-degraded [FOLDER]   (FOLDER keeps the pages; default: a temporary one)
#include "DegradedPage.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "PagePreparation.h"
#include "RenderedPage.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <map>

namespace {

struct Language {
    int id;
    const char* name;
    QStringList truth;
    QString family;
};

double recognise(const Language& language, const QString& path, double& seconds) {
    QElapsedTimer timer;
    timer.start();
    QString text;
    try {
        MiDocument document;
        document.Create(path);
        document.OCR(language.id, true, true);
        text = document.Images(0).Layout().Text();
        document.Close(false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), e.what());
    }
    seconds = timer.elapsed() / 1000.0;
    return RenderedPage::CharacterErrorRate(language.truth.join(QLatin1Char('\n')), text,
                                            language.id == MiDocument::LanguageJapanese);
}

// Milliseconds the page preparation takes on the file's page (deciding, and what it decides).
double preparation(const QString& path, bool japanese) {
    const PixPtr page(pixRead(path.toLocal8Bit().constData()));
    if (!page)
        return 0;
    QElapsedTimer timer;
    timer.start();
    PixPtr prepared = PagePreparation::Prepare(page.get());
    const PixPtr large = PagePreparation::Enlarge(prepared ? prepared.get() : page.get(), japanese);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();

    const Language languages[] = {
        {MiDocument::LanguageEnglish, "en", OcrTexts::English(), QStringLiteral("DejaVu Serif")},
        {MiDocument::LanguageJapanese, "ja", OcrTexts::Japanese(), QStringLiteral("IPAMincho")},
    };
    std::vector<DegradedPage::Case> cases = {
        {QStringLiteral("Clean"), [](const QImage& p) { return p; }, 0},
        {QStringLiteral("Turned90"), [](const QImage& p) { return RenderedPage::Rotated(p, 90); },
         0},
        {QStringLiteral("Turned180"), [](const QImage& p) { return RenderedPage::Rotated(p, 180); },
         0},
        {QStringLiteral("Turned270"), [](const QImage& p) { return RenderedPage::Rotated(p, 270); },
         0},
        {QStringLiteral("Skewed3"), [](const QImage& p) { return RenderedPage::Rotated(p, 3); }, 0},
    };
    const size_t cleanCount = cases.size();
    for (DegradedPage::Case& c : DegradedPage::Set())
        cases.push_back(std::move(c));

    std::printf("%-24s %-4s %8s %8s %8s\n", "page", "lang", "CER %", "seconds", "prep ms");
    for (const Language& language : languages) {
        const QImage clean = RenderedPage::Paragraph(language.truth, language.family);
        double sums[2] = {0, 0};
        double worst[2] = {0, 0};
        for (size_t i = 0; i < cases.size(); ++i) {
            const DegradedPage::Case& c = cases[i];
            const QString path = DegradedPage::Save(
                c, c.spoil(clean), folder,
                QStringLiteral("%1-%2").arg(QLatin1String(language.name), c.name));
            double seconds = 0;
            const double rate = recognise(language, path, seconds);
            const int set = i < cleanCount ? 0 : 1;
            sums[set] += rate;
            worst[set] = std::max(worst[set], rate);
            std::printf("%-24s %-4s %8.2f %8.2f %8.1f\n", qPrintable(c.name), language.name,
                        rate * 100, seconds,
                        preparation(path, language.id == MiDocument::LanguageJapanese));
        }
        std::printf("mean %s: clean/turned/skewed %.2f %% (worst %.2f), degraded %.2f %% (worst "
                    "%.2f)\n\n",
                    language.name, sums[0] * 100 / double(cleanCount), worst[0] * 100,
                    sums[1] * 100 / double(cases.size() - cleanCount), worst[1] * 100);
    }
    return 0;
}
