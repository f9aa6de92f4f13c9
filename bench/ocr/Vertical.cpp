// Vertical Japanese: character error rates and seconds per page of `MiDocument` recognition on
// the tests' vertical pages (clean, with a heading, turned, degraded), beside the plain engine
// on the same files in the same run: the best of jpn and jpn_vert with page segmentation 5
// (one block of vertical text), and jpn_vert's time with segmentation 5 and 3 (automatic).
// Every engine is loaded before timing; each page is read `runs` times by each in turn and the
// medians of wall and processor seconds kept (the script sets OMP_THREAD_LIMIT=1 for both, as
// vela-cli reads pages).
// usage: vela-bench-ocr-vertical [RUNS] [FOLDER]   (FOLDER keeps the pages)
#include "DegradedPage.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "VerticalPage.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <vector>

namespace {

// Wall and processor seconds of one reading.
struct Seconds {
    double wall = 0, cpu = 0;
};

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The readers of one page, each run `runs` times in turn (so that they share the machine's
// load), with the median wall and processor seconds of each and the last text each read.
std::vector<Seconds> medians(int runs, const std::vector<std::function<QString()>>& readers,
                             std::vector<QString>& texts) {
    std::vector<std::vector<Seconds>> all(readers.size());
    texts.assign(readers.size(), QString());
    for (int i = 0; i < runs; ++i)
        for (size_t r = 0; r < readers.size(); ++r) {
            QElapsedTimer timer;
            const double cpu = processorSeconds();
            timer.start();
            texts[r] = readers[r]();
            all[r].push_back({double(timer.nsecsElapsed()) / 1e9, processorSeconds() - cpu});
        }
    std::vector<Seconds> out;
    for (std::vector<Seconds>& s : all) {
        const auto middle = s.begin() + runs / 2;
        std::nth_element(s.begin(), middle, s.end(),
                         [](const Seconds& a, const Seconds& b) { return a.wall < b.wall; });
        const double wall = middle->wall;
        std::nth_element(s.begin(), middle, s.end(),
                         [](const Seconds& a, const Seconds& b) { return a.cpu < b.cpu; });
        out.push_back({wall, middle->cpu});
    }
    return out;
}

QString vela(const QString& path) {
    MiDocument document;
    document.Create(path);
    document.OCR(MiDocument::LanguageJapanese, true, true);
    return document.Images(0).Layout().Text();
}

QString plain(tesseract::TessBaseAPI& api, tesseract::PageSegMode mode, const QString& path) {
    Pix* pix = pixRead(path.toLocal8Bit().constData());
    api.SetPageSegMode(mode);
    api.SetImage(pix);
    char* text = api.GetUTF8Text();
    const QString out = QString::fromUtf8(text);
    delete[] text;
    api.Clear();
    pixDestroy(&pix);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 1);
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();

    tesseract::TessBaseAPI jpn, vert;
    jpn.Init(nullptr, "jpn");
    vert.Init(nullptr, "jpn_vert");
    for (auto* api : {&jpn, &vert})
        api->SetVariable("debug_file", "/dev/null");

    const VerticalPage::Page page = VerticalPage::Render(OcrTexts::VerticalJapanese());
    const VerticalPage::Page headed =
        VerticalPage::Render(OcrTexts::VerticalJapanese(), OcrTexts::VerticalHeading());
    const auto same = [](const QImage& p) { return p; };
    const auto turned = [](double d) {
        return [d](const QImage& p) { return RenderedPage::Rotated(p, d); };
    };
    struct Row {
        DegradedPage::Case c;
        const VerticalPage::Page* page;
    };
    std::vector<Row> rows = {{{QStringLiteral("Clean"), same, 0}, &page},
                             {{QStringLiteral("Heading"), same, 0}, &headed},
                             {{QStringLiteral("Turned90"), turned(90), 0}, &page},
                             {{QStringLiteral("Turned180"), turned(180), 0}, &page},
                             {{QStringLiteral("Turned270"), turned(270), 0}, &page}};
    for (DegradedPage::Case& c : DegradedPage::Set())
        rows.push_back({std::move(c), &page});
    vela(DegradedPage::Save(rows[0].c, page.image, folder, QStringLiteral("warm"))); // loads

    std::printf("%-22s %8s %9s %10s %7s %8s %8s %8s %8s %8s\n", "page", "vela CER%", "plain CER%",
                "(jpn/vert)", "vela s", "vert5 s", "vert3 s", "x vert5", "cpu x v5", "x vert3");
    double worst[2] = {0, 0}, ratio5 = 0, cpu5 = 0, ratio3 = 0;
    for (const Row& row : rows) {
        const QString path = DegradedPage::Save(row.c, row.c.spoil(row.page->image), folder,
                                                QStringLiteral("vertical-") + row.c.name);
        const QString truth = VerticalPage::Text(*row.page);
        std::vector<QString> texts;
        const std::vector<Seconds> t =
            medians(runs,
                    {[&] { return vela(path); },
                     [&] { return plain(vert, tesseract::PSM_SINGLE_BLOCK_VERT_TEXT, path); },
                     [&] { return plain(vert, tesseract::PSM_AUTO, path); }},
                    texts);
        const QString &text = texts[0], &vertText = texts[1];
        const QString jpnText = plain(jpn, tesseract::PSM_SINGLE_BLOCK_VERT_TEXT, path);
        const double ours = t[0].wall, vert5 = t[1].wall, vert3 = t[2].wall;
        const double rate = RenderedPage::CharacterErrorRate(truth, text, true);
        const double jpnRate = RenderedPage::CharacterErrorRate(truth, jpnText, true);
        const double vertRate = RenderedPage::CharacterErrorRate(truth, vertText, true);
        std::printf("%-22s %8.2f %9.2f %5.1f/%4.1f %7.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n",
                    qPrintable(row.c.name), rate * 100, std::min(jpnRate, vertRate) * 100,
                    jpnRate * 100, vertRate * 100, ours, vert5, vert3, ours / vert5,
                    t[0].cpu / t[1].cpu, ours / vert3);
        const bool degraded = &row - rows.data() >= 5;
        worst[degraded] = std::max(worst[degraded], rate);
        ratio5 = std::max(ratio5, ours / vert5);
        cpu5 = std::max(cpu5, t[0].cpu / t[1].cpu);
        ratio3 = std::max(ratio3, ours / vert3);
    }
    std::printf("worst CER: clean/turned %.2f %% (limit 2), degraded %.2f %% (limit 4); worst time "
                "ratio to jpn_vert: psm 5 %.2f (processor time %.2f), psm 3 %.2f (limit 1.5)\n",
                worst[0] * 100, worst[1] * 100, ratio5, cpu5, ratio3);
    return 0;
}
