#include "DegradedPage.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "VelaError.h"

#include <QDir>
#include <QFile>
#include <QLineF>
#include <QPolygonF>
#include <QTemporaryDir>
#include <QTransform>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

struct Recognised {
    QString text;
    int quarterTurns = 0;
    double deskew = 0;
};

Recognised recognise(const QString& path, int language, bool orient = true,
                     bool straighten = true) {
    MiDocument document;
    document.Create(path);
    document.OCR(language, orient, straighten);
    Recognised r{document.Images(0).Layout().Text(), document.AppliedQuarterTurns(),
                 document.AppliedDeskew()};
    document.Close(false);
    return r;
}

struct PageCase {
    const char* name;
    int language;
    double degrees; // clockwise turn applied to the upright page
};

// Renders each paragraph once and keeps the upright error rate for the turned variants.
class RecognitionAccuracy : public ::testing::TestWithParam<PageCase> {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_upright = new std::map<int, double>;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        delete s_upright;
    }

    static QStringList truth(int language) {
        return language == MiDocument::LanguageEnglish ? OcrTexts::English() : OcrTexts::Japanese();
    }
    static QImage upright(int language) {
        return language == MiDocument::LanguageEnglish
                   ? RenderedPage::Paragraph(truth(language), QStringLiteral("DejaVu Serif"))
                   : RenderedPage::Paragraph(truth(language), QStringLiteral("IPAMincho"));
    }
    static double errorRate(int language, const QString& text) {
        return RenderedPage::CharacterErrorRate(truth(language).join(QLatin1Char('\n')), text,
                                                language == MiDocument::LanguageJapanese);
    }
    static double uprightRate(int language) {
        auto it = s_upright->find(language);
        if (it == s_upright->end()) {
            const QString path = RenderedPage::SavePng(
                upright(language), s_dir->filePath(QStringLiteral("upright-%1.png").arg(language)));
            it = s_upright->emplace(language, errorRate(language, recognise(path, language).text))
                     .first;
        }
        return it->second;
    }

    static QTemporaryDir* s_dir;
    static std::map<int, double>* s_upright;
};

QTemporaryDir* RecognitionAccuracy::s_dir = nullptr;
std::map<int, double>* RecognitionAccuracy::s_upright = nullptr;

TEST_F(RecognitionAccuracy, EnglishParagraphBelowOnePercent) {
    EXPECT_LT(uprightRate(MiDocument::LanguageEnglish), 0.01);
}

TEST_F(RecognitionAccuracy, JapaneseParagraphBelowTwoPercent) {
    EXPECT_LT(uprightRate(MiDocument::LanguageJapanese), 0.02);
}

class TurnedPage : public RecognitionAccuracy {};

TEST_P(TurnedPage, RecognisedWithinOnePointOfUpright) {
    const PageCase c = GetParam();
    const QString path =
        RenderedPage::SavePng(RenderedPage::Rotated(upright(c.language), c.degrees),
                              s_dir->filePath(QStringLiteral("%1.png").arg(QLatin1String(c.name))));
    const Recognised r = recognise(path, c.language);
    const double rate = errorRate(c.language, r.text);
    EXPECT_LE(rate, uprightRate(c.language) + 0.01) << r.text.toStdString();
    const int quarter = int(c.degrees) % 90 == 0 ? int(c.degrees) / 90 : 0;
    EXPECT_EQ(r.quarterTurns, (4 - quarter) % 4);
    if (quarter == 0) {
        EXPECT_NEAR(std::abs(r.deskew), c.degrees, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TurnedPage,
    ::testing::Values(PageCase{"English90", MiDocument::LanguageEnglish, 90},
                      PageCase{"English180", MiDocument::LanguageEnglish, 180},
                      PageCase{"English270", MiDocument::LanguageEnglish, 270},
                      PageCase{"EnglishSkew3", MiDocument::LanguageEnglish, 3},
                      PageCase{"Japanese90", MiDocument::LanguageJapanese, 90},
                      PageCase{"Japanese180", MiDocument::LanguageJapanese, 180},
                      PageCase{"Japanese270", MiDocument::LanguageJapanese, 270},
                      PageCase{"JapaneseSkew3", MiDocument::LanguageJapanese, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecognitionAccuracy, WithoutOrientationAnUpsideDownPageIsNotRead) {
    const QString path =
        RenderedPage::SavePng(RenderedPage::Rotated(upright(MiDocument::LanguageEnglish), 180),
                              s_dir->filePath(QStringLiteral("plain180.png")));
    const Recognised r = recognise(path, MiDocument::LanguageEnglish, false, false);
    EXPECT_EQ(r.quarterTurns, 0);
    EXPECT_GT(errorRate(MiDocument::LanguageEnglish, r.text), 0.5);
}

} // namespace

namespace {

// The words of a page as read, in the page's own pixels: their texts and centres and sizes.
struct PlacedWord {
    QString text;
    QPointF centre;
    QSizeF size;
};

QList<PlacedWord> placedWords(const QString& path) {
    MiDocument document;
    document.Create(path);
    document.OCR(MiDocument::LanguageEnglish, true, true);
    const PageGeometry geometry = document.Geometry();
    const MiWords& words = document.Images(0).Layout().Words();
    QList<PlacedWord> placed;
    for (int i = 0; i < words.Count(); ++i) {
        const MiRect r = geometry.ToInput(words.Item(i).Rects(0));
        placed.append({words.Item(i).Text(), QPointF(r.Left + r.Right, r.Top + r.Bottom) / 2,
                       QSizeF(r.Right - r.Left, r.Bottom - r.Top)});
    }
    return placed;
}

} // namespace

TEST(DocumentGeometry, WordsOfAPageReadEnlargedTurnedAndStraightenedLieOnTheImageAsGiven) {
    QTemporaryDir dir;
    // Small type, which is read enlarged; turned 88 degrees counter-clockwise, so the page is
    // turned a quarter and straightened by 2 degrees.
    const QImage upright =
        RenderedPage::Paragraph(OcrTexts::English(), QStringLiteral("DejaVu Sans"), 5);
    const QImage turned = RenderedPage::Rotated(upright, -88);
    const QList<PlacedWord> reference =
        placedWords(RenderedPage::SavePng(upright, dir.filePath(QStringLiteral("upright.png"))));
    MiDocument probe;
    probe.Create(RenderedPage::SavePng(turned, dir.filePath(QStringLiteral("turned.png"))));
    probe.OCR(MiDocument::LanguageEnglish, true, true);
    ASSERT_EQ(probe.AppliedQuarterTurns(), 1);
    ASSERT_NE(probe.AppliedDeskew(), 0);
    ASSERT_GT(probe.AppliedPreparation().scale, 1.0);
    const QList<PlacedWord> read = placedWords(dir.filePath(QStringLiteral("turned.png")));

    // Where a point of the upright page went on the turned one.
    QTransform turn;
    turn.translate(turned.width() / 2.0, turned.height() / 2.0);
    turn.rotate(-88);
    turn.translate(-upright.width() / 2.0, -upright.height() / 2.0);
    ASSERT_GE(reference.size(), 40);
    int matched = 0;
    for (const PlacedWord& word : read) {
        const auto same = std::find_if(reference.begin(), reference.end(), [&](const auto& r) {
            return r.text == word.text &&
                   QLineF(turn.map(r.centre), word.centre).length() < 0.6 * r.size.height();
        });
        if (same == reference.end())
            continue;
        ++matched;
        EXPECT_NEAR(word.centre.x(), turn.map(same->centre).x(), 4) << word.text.toStdString();
        EXPECT_NEAR(word.centre.y(), turn.map(same->centre).y(), 4) << word.text.toStdString();
        EXPECT_NEAR(word.size.width(), same->size.height(), 6) << word.text.toStdString();
        EXPECT_NEAR(word.size.height(), same->size.width(), 6) << word.text.toStdString();
    }
    EXPECT_GE(matched, reference.size() * 9 / 10);
}

// A page photographed on a table is cut out of it with its perspective undone: its words lie
// where the camera saw them.
TEST(DocumentGeometry, WordsOfAPageCutOutOfAPhotographLieOnThePhotograph) {
    QTemporaryDir dir;
    const QImage page =
        RenderedPage::Paragraph(OcrTexts::English(), QStringLiteral("DejaVu Sans"), 14);
    const QList<PlacedWord> reference =
        placedWords(RenderedPage::SavePng(page, dir.filePath(QStringLiteral("page.png"))));
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    ASSERT_TRUE(DegradedPage::Photographed(page).save(photo));
    const QList<PlacedWord> read = placedWords(photo);
    // As the photograph was taken: the frame 1.2 x 1.3 times the page, the page's corners at
    // these fractions of it.
    const double fw = page.width() * 1.2, fh = page.height() * 1.3;
    QTransform camera;
    ASSERT_TRUE(QTransform::quadToQuad(
        QPolygonF({QPointF(0, 0), QPointF(page.width(), 0), QPointF(page.width(), page.height()),
                   QPointF(0, page.height())}),
        QPolygonF({QPointF(0.13 * fw, 0.12 * fh), QPointF(0.86 * fw, 0.10 * fh),
                   QPointF(0.94 * fw, 0.88 * fh), QPointF(0.05 * fw, 0.90 * fh)}),
        camera));
    int matched = 0;
    for (const PlacedWord& word : read) {
        const auto same = std::find_if(reference.begin(), reference.end(), [&](const auto& r) {
            return r.text == word.text &&
                   QLineF(camera.map(r.centre), word.centre).length() < r.size.height();
        });
        matched += same != reference.end();
    }
    EXPECT_GE(matched, reference.size() * 8 / 10);
}

// Where the engine hesitated between two readings of a character, the word read the other way
// comes with it: the same word but for that one character.
TEST(DocumentWords, AWordWithAHesitantCharacterComesWithItsOtherReading) {
    QTemporaryDir dir;
    const QImage page = DegradedPage::LowContrast(DegradedPage::HalfResolution(
        RenderedPage::Paragraph(OcrTexts::English(), QStringLiteral("DejaVu Serif"), 5)));
    MiDocument document;
    document.Create(RenderedPage::SavePng(page, dir.filePath(QStringLiteral("small.png"))));
    document.OCR(MiDocument::LanguageEnglish, true, true);
    const MiWords& words = document.Images(0).Layout().Words();
    int others = 0;
    for (int i = 0; i < words.Count(); ++i) {
        const QString& text = words.Item(i).Text();
        const QString& other = words.Item(i).Alternative();
        if (other.isEmpty())
            continue;
        ++others;
        qsizetype head = 0, tail = 0;
        while (head < text.size() && head < other.size() && text[head] == other[head])
            ++head;
        while (tail < text.size() - head && tail < other.size() - head &&
               text[text.size() - 1 - tail] == other[other.size() - 1 - tail])
            ++tail;
        EXPECT_LE(text.size() - head - tail, 2)
            << text.toStdString() << " / " << other.toStdString();
        EXPECT_NE(text, other);
    }
    EXPECT_GT(others, 0);
}
