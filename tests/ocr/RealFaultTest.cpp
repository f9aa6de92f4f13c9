#include "FaultPage.h"
#include "InkJudge.h"
#include "MiDocument.h"
#include "MissedWords.h"
#include "OcrEngine.h"
#include "OfficePage.h"
#include "PageReading.h"
#include "ReadingChoice.h"
#include "Recognition.h"
#include "SecondOpinion.h"
#include "SparseText.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

namespace {

// VELA_KEEP_PAGES=DIR keeps a copy of each drawn page there, for a look.
QString save(const QImage& image, const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    image.save(path);
    if (qEnvironmentVariableIsSet("VELA_KEEP_PAGES"))
        QFile::copy(path,
                    QString::fromLocal8Bit(qgetenv("VELA_KEEP_PAGES")) + QLatin1Char('/') + name);
    return path;
}

QString vela(const QString& path) {
    MiDocument document;
    document.Create(path);
    document.OCR(MiDocument::LanguageEnglish, true, true);
    return document.Images(0).Layout().Text();
}

QString plainEngine(const QString& path) {
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    Pix* page = pixRead(path.toLocal8Bit().constData());
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(page);
    char* all = api.Recognize(nullptr) == 0 ? api.GetUTF8Text() : nullptr;
    const QString text = QString::fromUtf8(all);
    delete[] all;
    api.Clear();
    pixDestroy(&page);
    return text;
}

// Two framed panels of numbered lines side by side are running text, not a table: no line
// runs on into the next or into the other panel, and nothing is lost against the plain engine.
TEST(RealFaults, FramedPanelsOfRunningTextAreReadAsText) {
    const FaultPage::Page page = FaultPage::CondensedTranscript();
    QTemporaryDir dir;
    const QString path = save(page.image, dir, QStringLiteral("panels.png"));
    const QString text = vela(path);
    EXPECT_GE(OfficePage::WordAccuracy(page.truth, text),
              OfficePage::WordAccuracy(page.truth, plainEngine(path)) - 0.01);
    static const QRegularExpression turn(QStringLiteral("[QA]\\. "));
    static const QRegularExpression sentence(QStringLiteral("[a-z]{2}[?.]( |$)"));
    int whole = 0;
    for (const QString& line : Recognition::LinesOfText(text)) {
        EXPECT_LE(line.count(sentence), 1) << line.toStdString();
        EXPECT_FALSE(line.contains(QLatin1Char('\t'))) << line.toStdString();
        for (const QString& truthLine : Recognition::LinesOfText(page.truth))
            whole += line.size() > 20 && truthLine.endsWith(line.section(turn, -1));
    }
    EXPECT_GE(whole, 45) << text.toStdString();
}

// Two readings of the same lines judged on the page's pixels: a reading that misreads words
// or leaves words out gives way to one that reads them, and never the other way round.
TEST(RealFaults, TheReadingThatMatchesThePageInkIsKept) {
    QImage image(1400, 420, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const auto& [face, y] :
         {std::pair{"DejaVu Sans Mono", 40}, {"DejaVu Serif", 160}, {"DejaVu Sans", 280}}) {
        QFont font{QLatin1String(face)};
        font.setPixelSize(44);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(40, y, 1320, 90), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Total 6% supplies GST: 15.84 Payable 39.78"));
    }
    painter.end();
    QTemporaryDir dir;
    const QString path = save(image, dir, QStringLiteral("lines.png"));
    Pix* page = pixRead(path.toLocal8Bit().constData());
    ASSERT_NE(page, nullptr);
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    const PageReading right = PageReading::Read(api, page, path);
    api.Clear();
    ASSERT_EQ(right.Lines.size(), 3);
    const InkJudge judge(page);
    ASSERT_TRUE(judge.Usable());
    // Each line spoilt its own way: letters misread, a number misread, a word left out.
    PageReading wrong = right;
    wrong.Lines[0][1].text = QStringLiteral("Fees");
    wrong.Lines[0][2].text = QStringLiteral("Be");
    wrong.Lines[1].last().text = QStringLiteral("HaI");
    wrong.Lines[2].removeAt(3);
    wrong.Lines[2].removeAt(1);
    PageReading kept = wrong;
    EXPECT_EQ(ReadingChoice::KeepBetter(kept, right, 1.0, &judge), 3);
    EXPECT_EQ(kept.Layout(false).Text(), right.Layout(false).Text());
    kept = right;
    EXPECT_EQ(ReadingChoice::KeepBetter(kept, wrong, 1.0, &judge), 0);
    pixDestroy(&page);
}

namespace {

// Lines drawn in DejaVu Sans, each in a band of 70 pixels, saved in dir as name; read receives
// the engine's reading of them, which must be their text, one line each.
Pix* drawnLines(const QStringList& lines, const QTemporaryDir& dir, const QString& name,
                PageReading* read) {
    QImage image(1100, 70 * int(lines.size()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font{QStringLiteral("DejaVu Sans")};
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(20, 70 * i, 1060, 70), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    painter.end();
    Pix* page = pixRead(save(image, dir, name).toLocal8Bit().constData());
    if (!page)
        return nullptr;
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    *read = PageReading::Read(api, page, name);
    api.Clear();
    EXPECT_EQ(read->Layout(false).Text().toStdString(),
              lines.join(QStringLiteral("\r\n")).toStdString());
    return read->Lines.size() == lines.size() ? page : (pixDestroy(&page), nullptr);
}

} // namespace

// A doubted word the dictionary does not know gives way to the engine's rival reading that it
// knows, unless that reading's drawing does not match the word's ink; known words stay.
TEST(RealFaults, ADoubtedWordTakesTheRivalReadingThatIsAWordAndFitsItsInk) {
    const QString line =
        QStringLiteral("Rounding adjustment excepting Invoice Total payable 39.78");
    QTemporaryDir dir;
    PageReading right;
    Pix* page = drawnLines({line}, dir, QStringLiteral("words.png"), &right);
    ASSERT_NE(page, nullptr);
    // Misread words with their rivals; a known word with a rival; a rival that is a word but
    // draws nothing like the ink.
    PageReading doubted = right;
    for (const auto& [word, first, rival] : {std::tuple{3, "lnvoice", "Invoice"},
                                             {2, "excenting", "excepting"},
                                             {4, "Tota1", "Total"},
                                             {0, "Rounding", "Pounding"},
                                             {5, "payab1e", "pa"}}) {
        ReadWord& w = doubted.Lines[0][word];
        w.text = QString::fromLatin1(first);
        w.alternative = QString::fromLatin1(rival);
        w.confidence = 30;
    }
    EXPECT_EQ(SecondOpinion::Review(page, doubted), 3);
    EXPECT_EQ(doubted.Layout(false).Text().toStdString(),
              "Rounding adjustment excepting Invoice Total payab1e 39.78");
    pixDestroy(&page);
}

// Past rivals the dictionary does not know, the likeliest it knows is asked of a word read with
// sure characters; rivals that make a mark of a letter inside a word, or one number of two, and
// pieces of a word broken at the line's end are not.
TEST(RealFaults, ADoubtedWordIsAskedEveryRivalThatMakesAWord) {
    const QString line = QStringLiteral("Shipment arrived 22:06 and the clerk signed for it");
    QTemporaryDir dir;
    PageReading doubted;
    Pix* page = drawnLines({line}, dir, QStringLiteral("rivals.png"), &doubted);
    ASSERT_NE(page, nullptr);
    using Rivals = QStringList;
    for (const auto& [word, first, rivals, glyphs] :
         {std::tuple{0, "Shipnent", Rivals{"Shipnemt", "Shipment"}, 99},
          {1, "arrivcd", Rivals{"arrivcb", "arrived"}, 90},
          {2, "22:06", Rivals{"22106"}, 99},
          {5, "cler-", Rivals{"clerk"}, 99},
          {6, "sigued", Rivals{"signed"}, 99},
          {8, "jt", Rivals{"!t", "it"}, 99}}) {
        ReadWord& w = doubted.Lines[0][word];
        w.text = QString::fromLatin1(first);
        w.alternative = rivals.front();
        w.rivals = rivals;
        w.confidence = 30;
        w.glyphConfidence = float(glyphs);
    }
    // "cler-" ends the first line, "sigued" begins the second.
    doubted.Lines.append(doubted.Lines[0].mid(6));
    doubted.Lines[0].resize(6);
    EXPECT_EQ(SecondOpinion::Review(page, doubted), 2);
    EXPECT_EQ(doubted.Layout(false).Text().toStdString(),
              "Shipment arrivcd 22:06 and the cler-\r\nsigued for it");
    pixDestroy(&page);
}

// A word one reading found and the reading kept lacks is read again alone and put back in its
// place; a word of the other reading where the page has no ink is not.
TEST(RealFaults, AWordOnlyOneReadingFoundIsReadAgainAlone) {
    const QString line = QStringLiteral("Received 500 units of stock on 12 March");
    QTemporaryDir dir;
    PageReading whole;
    Pix* page = drawnLines({line}, dir, QStringLiteral("missed.png"), &whole);
    ASSERT_NE(page, nullptr);
    PageReading kept = whole, other = whole;
    kept.Lines[0].removeAt(1);
    other.Lines[0] = {ReadWord{QStringLiteral("unit"), MiRect{1000, 20, 1060, 45}, 90}};
    const InkJudge judge(page);
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    EXPECT_EQ(MissedWords::ReadAgain(api, page, kept, {&whole, &other}, judge), 1);
    EXPECT_EQ(kept.Layout(false).Text(), line);
    pixDestroy(&page);
}

// A line of figures the engine doubts (its words stand too tall) keeps its own words where the
// engine was surer of them than of what its places read alone (its first number, as the line
// has it, tells which survives); a line read with less confidence than its places gives way
// to them.
TEST(RealFaults, ADoubtfulLineKeepsTheWordsTheEngineWasSurerOf) {
    const QStringList lines{
        QStringLiteral("Invoice for goods received this week"), QStringLiteral("27932 12 5.40"),
        QStringLiteral("Total payable before the end of month"), QStringLiteral("61718 24 3.15")};
    QTemporaryDir dir;
    PageReading reading;
    Pix* page = drawnLines(lines, dir, QStringLiteral("figures.png"), &reading);
    ASSERT_NE(page, nullptr);
    for (ReadWord& w : reading.Lines[1]) {
        const int h = w.box.Bottom - w.box.Top;
        w.box.Top -= h;
        w.box.Bottom += h;
        w.confidence = 99;
    }
    reading.Lines[1][0].text = QStringLiteral("27,932");
    for (ReadWord& w : reading.Lines[3]) {
        w.text.replace(QLatin1Char('1'), QLatin1Char('l'));
        w.confidence = 30;
    }
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    SparseText::Complete(api, page, reading);
    const QStringList read = reading.Layout(false).Text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(read.size(), 4);
    EXPECT_EQ(read[1].toStdString(), "27,932 12 5.40");
    EXPECT_TRUE(read[3].startsWith(QStringLiteral("61718 "))) << read[3].toStdString();
    pixDestroy(&page);
}

// A table ruled between its rows only, tinted and with a dark header, is read by cell: every
// row on a line of its own, its cells set apart by tabs, its numbers whole.
TEST(RealFaults, ATableRuledBetweenRowsIsReadByCell) {
    const FaultPage::Page page = FaultPage::StatisticalTable();
    QTemporaryDir dir;
    const QString path = save(page.image, dir, QStringLiteral("table.png"));
    const QString text = vela(path);
    EXPECT_GE(OfficePage::WordAccuracy(page.truth, text),
              OfficePage::WordAccuracy(page.truth, plainEngine(path)) - 0.01);
    const QStringList lines = Recognition::LinesOfText(text);
    int rows = 0;
    for (const QString& row : Recognition::LinesOfText(page.truth))
        rows += lines.contains(row);
    EXPECT_GE(rows, 8) << text.toStdString();
}

} // namespace
