#include "CliRun.h"
#include "OcrEngine.h"
#include "OfficePage.h"
#include "OutputPage.h"
#include "PdfImageData.h"
#include "PdfOutput.h"
#include "PixPtr.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(180000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QMap<QString, int> wordCounts(const QString& text) {
    QMap<QString, int> counts;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        ++counts[word];
    return counts;
}

struct Placed {
    QString text;
    double left, top, right, bottom;
};

// Checks the hOCR against its format as it goes (elements nested page > block > paragraph >
// line > word, each inside its parent's box, words with a confidence, lines with a baseline)
// and gives its words.
QList<Placed> hocrWords(const QString& markup) {
    QList<Placed> words;
    QXmlStreamReader xml(markup);
    const QStringList nesting{QStringLiteral("ocr_page"), QStringLiteral("ocr_carea"),
                              QStringLiteral("ocr_par"), QStringLiteral("ocr_line"),
                              QStringLiteral("ocrx_word")};
    QList<Placed> open;
    static const QRegularExpression bbox(QStringLiteral("bbox (\\d+) (\\d+) (\\d+) (\\d+)"));
    bool system = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("meta") &&
            xml.attributes().value(QLatin1String("name")) == QLatin1String("ocr-system"))
            system =
                xml.attributes().value(QLatin1String("content")).startsWith(QLatin1String("Vela"));
        const QString kind = xml.attributes().value(QLatin1String("class")).toString();
        if (xml.isStartElement() && nesting.contains(kind)) {
            EXPECT_EQ(nesting.indexOf(kind), open.size()) << kind.toStdString();
            const QString title = xml.attributes().value(QLatin1String("title")).toString();
            const auto m = bbox.match(title);
            EXPECT_TRUE(m.hasMatch()) << title.toStdString();
            Placed box{kind, m.captured(1).toDouble(), m.captured(2).toDouble(),
                       m.captured(3).toDouble(), m.captured(4).toDouble()};
            if (!open.isEmpty()) {
                const Placed& parent = open.back();
                EXPECT_TRUE(box.left >= parent.left && box.top >= parent.top &&
                            box.right <= parent.right && box.bottom <= parent.bottom)
                    << title.toStdString();
            }
            EXPECT_EQ(kind == QLatin1String("ocr_line"),
                      title.contains(QLatin1String("; baseline ")));
            EXPECT_EQ(kind == QLatin1String("ocrx_word"),
                      title.contains(QLatin1String("; x_wconf ")));
            EXPECT_TRUE(kind != QLatin1String("ocr_page") ||
                        title.startsWith(QLatin1String("image \"")))
                << title.toStdString();
            open.append(box);
            if (kind == QLatin1String("ocrx_word")) {
                box.text = xml.readElementText();
                words.append(box);
                open.removeLast();
            }
        } else if (xml.isEndElement() && !open.isEmpty() &&
                   (xml.name() == QLatin1String("div") || xml.name() == QLatin1String("p") ||
                    (xml.name() == QLatin1String("span") &&
                     open.back().text == QLatin1String("ocr_line")))) {
            open.removeLast();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(system);
    return words;
}

// The word boxes of a PDF's text layer, in pixels of the page at dpi.
QList<Placed> layerWords(const QString& pdf, double dpi) {
    QList<Placed> words;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const double px = dpi / 72;
    auto it = word.globalMatch(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    while (it.hasNext()) {
        const auto m = it.next();
        words.append({m.captured(5), m.captured(1).toDouble() * px, m.captured(2).toDouble() * px,
                      m.captured(3).toDouble() * px, m.captured(4).toDouble() * px});
    }
    return words;
}

} // namespace

// A table page, whose cells the table pass reads after the engine's own reading of the page:
// text, hOCR and the PDF's text layer hold the same words, and the layer sets each word over
// its hOCR box.
TEST(SearchableOutput, TextHocrAndTheTextLayerHoldTheSameFinalReadingAtTheSamePlaces) {
    QTemporaryDir dir;
    QStringList pages;
    for (const OfficePage::Page& page : OfficePage::Set(false))
        if (page.name == QLatin1String("Table") || page.name == QLatin1String("Form")) {
            pages.append(dir.filePath(page.name + QStringLiteral(".png")));
            ASSERT_TRUE(page.image.save(pages.back()));
        }
    ASSERT_EQ(pages.size(), 2);
    const QString cli = QStringLiteral(VELA_CLI);
    const QString text = run(cli, QStringList{QStringLiteral("ocr")} + pages);
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    run(cli, QStringList{QStringLiteral("ocr"), QStringLiteral("--format"), QStringLiteral("pdf"),
                         QStringLiteral("-o"), pdf} +
                 pages);
    const QList<Placed> hocr =
        hocrWords(run(cli, QStringList{QStringLiteral("ocr"), QStringLiteral("--format"),
                                       QStringLiteral("hocr")} +
                               pages));

    QString hocrText;
    for (const Placed& word : hocr)
        hocrText += word.text + QLatin1Char(' ');
    const QMap<QString, int> expected = wordCounts(text);
    ASSERT_GE(expected.size(), 60);
    EXPECT_EQ(wordCounts(hocrText), expected);
    EXPECT_EQ(wordCounts(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})), expected);

    // The pages are 300-dpi images, the layer's words in hOCR's order.
    QList<Placed> layer = layerWords(pdf, 300);
    ASSERT_EQ(layer.size(), hocr.size());
    for (const Placed& word : hocr) {
        const auto near = std::find_if(layer.begin(), layer.end(), [&](const Placed& b) {
            return b.text == word.text && std::abs(b.left - word.left) <= 3 &&
                   std::abs(b.top - word.top) <= 3 && std::abs(b.right - word.right) <= 3 &&
                   std::abs(b.bottom - word.bottom) <= 3;
        });
        EXPECT_NE(near, layer.end()) << word.text.toStdString() << " at " << word.left << ","
                                     << word.top << "-" << word.right << "," << word.bottom;
        if (near != layer.end())
            layer.erase(near);
    }
}

// Boxes as readings give them at times: a word whose box takes in the next two, and a word with
// a descender whose box reaches into a mark of the line below. Text readers join words that
// touch on what they take as one line; the layer keeps every word apart and on its box.
TEST(SearchableOutput, WordsReadTouchingOrOverlappingStayApartInTheTextLayer) {
    auto line = [](QList<OutputPage::Word> words, int baseline) {
        OutputPage::SetApart(words);
        const int bottom = std::max_element(words.begin(), words.end(), [](auto& a, auto& b) {
                               return a.box.Bottom < b.box.Bottom;
                           })->box.Bottom;
        return OutputPage::Line{words, {0, 0, 0, bottom}, baseline - bottom};
    };
    using W = OutputPage::Word;
    const OutputPage page{
        QStringLiteral("page.png"),
        600,
        400,
        300,
        0,
        {{{line({W{"Peta", {91, 161, 262, 178}}, W{"ply", {373, 162, 394, 187}}}, 178),
           line({W{"CODE", {169, 192, 270, 219}}, W{"%", {388, 180, 400, 194}},
                 W{"ar", {420, 200, 450, 219}}},
                219),
           line({W{"What", {76, 295, 123, 303}}, W{"is", {99, 291, 107, 306}},
                 W{"the", {110, 295, 123, 303}}},
                303)},
          {}}}};
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    QFile font(QDir(OcrDataFolder()).filePath(QStringLiteral("pdf.ttf")));
    ASSERT_TRUE(font.open(QIODevice::ReadOnly));
    std::FILE* file = std::fopen(QFile::encodeName(pdf).constData(), "wb");
    ASSERT_NE(file, nullptr);
    {
        PdfOutput out(file, QStringLiteral("page"), font.readAll());
        PixPtr white(pixCreate(page.width, page.height, 1));
        ASSERT_TRUE(out.AddPage(page, PdfImageData::Of(white.get(), {})));
        ASSERT_TRUE(out.Finish());
    }
    std::fclose(file);

    QString words;
    const QList<Placed> layer = layerWords(pdf, 300);
    for (const OutputPage::Line& l : page.blocks[0].lines)
        for (const OutputPage::Word& w : l.words) {
            words += w.text + QLatin1Char(' ');
            EXPECT_TRUE(std::any_of(layer.begin(), layer.end(), [&](const Placed& b) {
                return b.text == w.text && std::abs(b.left - w.box.Left) <= 1 &&
                       std::abs(b.top - w.box.Top) <= 1 && std::abs(b.right - w.box.Right) <= 1 &&
                       std::abs(b.bottom - w.box.Bottom) <= 1;
            })) << w.text.toStdString();
        }
    EXPECT_EQ(wordCounts(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})),
              wordCounts(words));
}
