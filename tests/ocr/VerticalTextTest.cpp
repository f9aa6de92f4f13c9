#include "DegradedPage.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "Recognition.h"
#include "RenderedPage.h"
#include "VerticalPage.h"
#include "WordJoin.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tesseract/baseapi.h>

namespace {

double errorRate(const QString& truth, const QString& text) {
    return RenderedPage::CharacterErrorRate(truth, text, true);
}

// A vertical page with a horizontal heading gives the heading, then the columns from right to
// left, each top to bottom: one line per column in line mode, one per paragraph otherwise,
// and no ruby in either; the engine holding the page is handed on as for a horizontal page.
TEST(VerticalText, HeadingThenColumnsRightToLeftAsLinesOrParagraphs) {
    QTemporaryDir dir;
    const VerticalPage::Page page =
        VerticalPage::Render(OcrTexts::VerticalJapanese(), OcrTexts::VerticalHeading());
    MiDocument document;
    document.Create(RenderedPage::SavePng(page.image, dir.filePath(QStringLiteral("mixed.png"))));
    // Writers of hOCR and searchable PDF take the page from the engine.
    QString engineText;
    document.Recognised = [&](tesseract::TessBaseAPI& engine) {
        engineText = WordJoin::Taken(engine.GetUTF8Text());
    };
    document.OCR(MiDocument::LanguageJapanese, true, true);
    EXPECT_LE(errorRate(VerticalPage::Text(page), engineText), 0.1) << engineText.toStdString();
    const MiLayout& layout = document.Images(0).Layout();
    EXPECT_EQ(document.AppliedQuarterTurns(), 0);

    const QStringList columns = Recognition::LinesOfLayout(layout, true);
    ASSERT_EQ(columns.size(), page.columns.size() + 1) << columns.join(u'\n').toStdString();
    EXPECT_LE(errorRate(page.heading, columns[0]), 0.2) << columns[0].toStdString();
    for (qsizetype i = 0; i < page.columns.size(); ++i) // 12 set across may be lost
        EXPECT_LE(errorRate(page.columns[i], columns[i + 1]), 0.15)
            << i << ": " << columns[i + 1].toStdString();

    const QStringList paragraphs = Recognition::LinesOfLayout(layout, false);
    ASSERT_EQ(paragraphs.size(), page.paragraphs.size() + 1) << layout.Text().toStdString();
    for (qsizetype i = 0; i < page.paragraphs.size(); ++i)
        EXPECT_LE(errorRate(page.paragraphs[i], paragraphs[i + 1]), 0.04)
            << paragraphs[i + 1].toStdString();
    for (const char* ruby : {"あじさい", "どうりょう", "にじ"})
        EXPECT_FALSE(layout.Text().contains(QString::fromUtf8(ruby))) << ruby;
}

// Clean, turned and degraded copies of a vertical page: each put upright and read within
// 2 % of characters (clean and turned) or 4 % (degraded).
TEST(VerticalText, CleanTurnedAndDegradedPagesPutUprightAndRead) {
    QTemporaryDir dir;
    const VerticalPage::Page page = VerticalPage::Render(OcrTexts::VerticalJapanese());
    struct Copy {
        DegradedPage::Case spoiling;
        int quarterTurns;
        double limit;
    };
    const auto turned = [](double degrees) {
        return [degrees](const QImage& p) { return RenderedPage::Rotated(p, degrees); };
    };
    std::vector<Copy> copies = {
        {{QStringLiteral("Clean"), [](const QImage& p) { return p; }, 0}, 0, 0.02},
        {{QStringLiteral("Turned180"), turned(180), 0}, 2, 0.02},
        {{QStringLiteral("Turned90"), turned(90), 0}, 3, 0.02},
    };
    for (DegradedPage::Case& c : DegradedPage::Set())
        copies.push_back({std::move(c), 0, 0.04});
    for (const Copy& copy : copies) {
        const QString& name = copy.spoiling.name;
        MiDocument document;
        document.Create(
            DegradedPage::Save(copy.spoiling, copy.spoiling.spoil(page.image), dir.path(), name));
        document.OCR(MiDocument::LanguageJapanese, true, true);
        const QString text = document.Images(0).Layout().Text();
        EXPECT_EQ(document.AppliedQuarterTurns(), copy.quarterTurns) << name.toStdString();
        EXPECT_LE(errorRate(VerticalPage::Text(page), text), copy.limit)
            << name.toStdString() << ": " << text.toStdString();
    }
}

} // namespace
