#include "DegradedPage.h"

#include "MiDocument.h"
#include "OcrTexts.h"
#include "RenderedPage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

// What preparation must do to each page of the set, and that a clean page is left alone.
PreparationSteps expectedSteps(const QString& name) {
    static const std::map<QString, PreparationSteps> steps = {
        {QStringLiteral("Shaded"), {false, true, 1.0}},
        {QStringLiteral("LowContrast"), {false, true, 1.0}},
        {QStringLiteral("HalfResolution"), {false, false, 2.0}},
        {QStringLiteral("Jpeg"), {false, false, 1.0}},
        {QStringLiteral("Photographed"), {true, true, 1.0}},
        {QStringLiteral("PhotographedClose"), {true, true, 1.0}},
        {QStringLiteral("ShadedLowContrastJpeg"), {false, true, 1.0}},
        {QStringLiteral("Clean"), {false, false, 1.0}},
    };
    return steps.at(name);
}

// Reads every page of the degraded set (and the clean page it was made from) in one
// language: no page above 5 % of characters wrong, 1 % on average, each prepared as it needs.
void checkSet(int language, const QStringList& truth, const QString& family) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage clean = RenderedPage::Paragraph(truth, family);
    std::vector<DegradedPage::Case> cases = DegradedPage::Set();
    cases.push_back({QStringLiteral("Clean"), [](const QImage& p) { return p; }, 0});
    double sum = 0;
    int degraded = 0;
    for (const DegradedPage::Case& c : cases) {
        const QString path = DegradedPage::Save(c, c.spoil(clean), dir.path(), c.name);
        MiDocument document;
        document.Create(path);
        document.OCR(language, true, true);
        const double rate = RenderedPage::CharacterErrorRate(
            truth.join(QLatin1Char('\n')), document.Images(0).Layout().Text(),
            language == MiDocument::LanguageJapanese);
        EXPECT_LE(rate, 0.05) << c.name.toStdString() << ": "
                              << document.Images(0).Layout().Text().toStdString();
        const PreparationSteps want = expectedSteps(c.name);
        const PreparationSteps& got = document.AppliedPreparation();
        EXPECT_EQ(got.cut, want.cut) << c.name.toStdString();
        EXPECT_EQ(got.evened, want.evened) << c.name.toStdString();
        // Half-resolution text is brought back to about its 300-dpi size.
        EXPECT_NEAR(got.scale, want.scale, want.scale == 1.0 ? 0.0 : 0.5) << c.name.toStdString();
        if (c.name != QLatin1String("Clean")) {
            sum += rate;
            ++degraded;
        }
    }
    EXPECT_LE(sum / degraded, 0.01);
}

TEST(DegradedPages, EnglishSetReadWithinOnePercent) {
    checkSet(MiDocument::LanguageEnglish, OcrTexts::English(), QStringLiteral("DejaVu Serif"));
}

TEST(DegradedPages, JapaneseSetReadWithinOnePercent) {
    checkSet(MiDocument::LanguageJapanese, OcrTexts::Japanese(), QStringLiteral("IPAMincho"));
}

} // namespace
