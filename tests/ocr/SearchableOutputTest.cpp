#include "CliRun.h"
#include "OfficePage.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

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

struct Box {
    QString text;
    double left, top, right, bottom;
};

// Checks the hOCR against its format as it goes (elements nested page > block > paragraph >
// line > word, each inside its parent's box, words with a confidence, lines with a baseline)
// and gives its words.
QList<Box> hocrWords(const QString& markup) {
    QList<Box> words;
    QXmlStreamReader xml(markup);
    const QStringList nesting{QStringLiteral("ocr_page"), QStringLiteral("ocr_carea"),
                              QStringLiteral("ocr_par"), QStringLiteral("ocr_line"),
                              QStringLiteral("ocrx_word")};
    QList<Box> open;
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
            Box box{kind, m.captured(1).toDouble(), m.captured(2).toDouble(),
                    m.captured(3).toDouble(), m.captured(4).toDouble()};
            if (!open.isEmpty()) {
                const Box& parent = open.back();
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
QList<Box> layerWords(const QString& pdf, double dpi) {
    QList<Box> words;
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
    const QList<Box> hocr =
        hocrWords(run(cli, QStringList{QStringLiteral("ocr"), QStringLiteral("--format"),
                                       QStringLiteral("hocr")} +
                               pages));

    QString hocrText;
    for (const Box& word : hocr)
        hocrText += word.text + QLatin1Char(' ');
    const QMap<QString, int> expected = wordCounts(text);
    ASSERT_GE(expected.size(), 60);
    EXPECT_EQ(wordCounts(hocrText), expected);
    EXPECT_EQ(wordCounts(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})), expected);

    // The pages are 300-dpi images, the layer's words in hOCR's order.
    QList<Box> layer = layerWords(pdf, 300);
    ASSERT_EQ(layer.size(), hocr.size());
    for (const Box& word : hocr) {
        const auto near = std::find_if(layer.begin(), layer.end(), [&](const Box& b) {
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
