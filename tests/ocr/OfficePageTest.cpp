#include "OfficePage.h"

#include "MiDocument.h"
#include "OcrEngine.h"
#include "Recognition.h"
#include "RenderedPage.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace {

struct OfficeCase {
    const char* name;
    bool japanese;
    const char* spoiling;
};

// The plain engine's reading of the page as given: its whole text, and the text of every block
// it is sure of.
struct EngineReading {
    QString text;
    QStringList blocks;
};

EngineReading plainEngine(const QString& path, bool japanese) {
    EngineReading out;
    auto& api =
        OcrEngine::Instance().Recognizer(japanese ? QStringLiteral("jpn") : QStringLiteral("eng"));
    Pix* page = pixRead(path.toLocal8Bit().constData());
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(page);
    if (api.Recognize(nullptr) == 0) {
        char* all = api.GetUTF8Text();
        out.text = QString::fromUtf8(all);
        delete[] all;
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (it) {
            do {
                char* text = it->GetUTF8Text(tesseract::RIL_BLOCK);
                if (text && it->Confidence(tesseract::RIL_BLOCK) >= 85)
                    out.blocks << QString::fromUtf8(text);
                delete[] text;
            } while (it->Next(tesseract::RIL_BLOCK));
        }
    }
    api.Clear();
    pixDestroy(&page);
    return out;
}

// One page of the office set read as the window reads it, in both of its modes.
class OfficePages : public ::testing::TestWithParam<OfficeCase> {};

TEST_P(OfficePages, ReadUprightWithEveryBlockTableRowAndLineNumber) {
    const OfficeCase c = GetParam();
    const QString name = QLatin1String(c.name);
    OfficePage::Page page;
    for (OfficePage::Page& p : OfficePage::Set(c.japanese))
        if (p.name == name)
            page = std::move(p);
    DegradedPage::Case spoiling;
    for (DegradedPage::Case& s : OfficePage::Spoilings())
        if (s.name == QLatin1String(c.spoiling))
            spoiling = std::move(s);
    QTemporaryDir dir;
    const QString path = DegradedPage::Save(spoiling, spoiling.spoil(page.image), dir.path(), name);

    const int language = c.japanese ? MiDocument::LanguageJapanese : MiDocument::LanguageEnglish;
    MiDocument document;
    document.Create(path);
    document.OCR(language, true, true);
    // Every page of the set stands upright: short codes and digits are no reason to turn it.
    EXPECT_EQ(document.AppliedQuarterTurns(), 0);
    const MiLayout& layout = document.Images(0).Layout();
    const QString text = layout.Text();
    // No fewer words than the plain engine reads (the set's mean is the benchmark's).
    const EngineReading plain = plainEngine(path, c.japanese);
    const double accuracy = OfficePage::WordAccuracy(page.truth, text);
    EXPECT_GE(accuracy, OfficePage::WordAccuracy(page.truth, plain.text) - 0.01);
    // Codes keep the spaces between their numbers and letters ("13 A-14 A"), and a lone
    // letter after a code read on the Japanese page is not lost.
    EXPECT_GE(accuracy, 0.9) << text.toStdString();

    // Nothing the engine reports on the page is lost on the way to the text pane, in either of
    // the window's modes (line mode joins words without spaces: compared by characters).
    const auto characters = [](const QString& s) {
        QString out;
        for (const QChar ch : s)
            if (!ch.isSpace())
                out += ch + QLatin1Char(' ');
        return out;
    };
    for (bool lineMode : {false, Recognition::UsesLineMode(language, true)}) {
        const QString shown = Recognition::LinesOfLayout(layout, lineMode).join(QLatin1Char('\n'));
        for (const QString& block : plain.blocks) {
            const double found =
                lineMode ? OfficePage::WordAccuracy(characters(block), characters(shown))
                         : OfficePage::WordAccuracy(block, shown);
            EXPECT_GE(found, 0.9) << (lineMode ? "line mode: " : "whole text: ")
                                  << block.toStdString();
        }
    }

    const QStringList lines = Recognition::LinesOfText(text);
    if (name == QLatin1String("Table")) {
        // The cells of a row on one line, one tab between neighbours.
        const qsizetype rows = std::count_if(lines.begin(), lines.end(), [](const QString& l) {
            return l.count(QLatin1Char('\t')) == 4;
        });
        EXPECT_GE(rows, 7) << text.toStdString();
    }
    if (name == QLatin1String("Transcript")) {
        // A line number goes before its line.
        int numbered = 0;
        for (int n = 1; n <= 25; ++n) {
            const QRegularExpression start(QStringLiteral("^%1(\\s|\\D)").arg(n));
            numbered += std::any_of(lines.begin(), lines.end(), [&](const QString& l) {
                return start.match(l).hasMatch() && l.size() > 8;
            });
        }
        EXPECT_GE(numbered, 18) << text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Set, OfficePages,
    ::testing::Values(OfficeCase{"Codes", false, "Scan"}, OfficeCase{"Table", false, "Scan"},
                      OfficeCase{"Transcript", false, "Scan"},
                      OfficeCase{"TwoColumns", false, "Copy"}, OfficeCase{"Slide", false, "Scan"},
                      OfficeCase{"Codes", true, "Copy"},
                      OfficeCase{"Table", true, "Scan"}, OfficeCase{"Transcript", true, "Scan"},
                      OfficeCase{"Form", true, "Scan"}),
    [](const auto& info) {
        return std::string(info.param.japanese ? "Japanese" : "English") + info.param.name +
               info.param.spoiling;
    });

} // namespace
