#include "CliRun.h"
#include "DecodeBound.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "PageSource.h"
#include "PixPtr.h"
#include "RenderedPage.h"
#include "VelaError.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

CliRun ocr(const QStringList& args) {
    CliRun run = RunVelaCli(QStringList{QStringLiteral("ocr")} + args, 180000);
    EXPECT_NE(run.Status, -1) << "vela-cli ocr crashed or did not end";
    return run;
}

QString tool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString withoutSpaces(QString text) {
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    return text.remove(spaces);
}

// Each image listed in pdfimages -list: page, width, height, encoding, x-ppi.
struct PdfImage {
    int page, width, height;
    QString encoding;
    int ppi;
};

QList<PdfImage> pdfImages(const QString& pdf) {
    QList<PdfImage> images;
    const QStringList rows =
        tool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'));
    for (const QString& row : rows.mid(2)) {
        const QStringList f = row.simplified().split(QLatin1Char(' '));
        if (f.size() >= 14)
            images.append({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[8], f[12].toInt()});
    }
    return images;
}

class MultiPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = new QTemporaryDir; }
    static void TearDownTestSuite() { delete s_dir; }
    static QString path(const QString& name) { return s_dir->filePath(name); }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* MultiPage::s_dir = nullptr;

TEST_F(MultiPage, PdfPagesReadAsSinglePagesAndBecomeASearchablePdfOfTheSameSize) {
    const QStringList english = OcrTexts::English();
    const QList<QStringList> pages{english.mid(0, 2), english.mid(2, 2), english.mid(4, 1)};
    const QSizeF size(160, 40);
    // Small type, which the engine reads enlarged.
    RenderedPage::WriteTextPdf(path(QStringLiteral("doc.pdf")), pages, size, 7);
    QStringList singles;
    for (int p = 0; p < 3; ++p) {
        singles.append(path(QStringLiteral("page%1.pdf").arg(p)));
        RenderedPage::WriteTextPdf(singles.back(), {pages[p]}, size, 7);
    }

    const CliRun whole = ocr({QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("-o"),
                              path(QStringLiteral("doc.txt")), path(QStringLiteral("doc.pdf"))});
    ASSERT_EQ(whole.Status, 0) << whole.Errors.toStdString();
    EXPECT_TRUE(whole.Output.isEmpty());
    EXPECT_TRUE(whole.Errors.contains(QStringLiteral("doc.pdf page 3/3")));
    QFile text(path(QStringLiteral("doc.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QByteArray wholeText = text.readAll();

    const CliRun one = ocr(singles);
    ASSERT_EQ(one.Status, 0) << one.Errors.toStdString();
    // Each page alone gives the same text; the document sets its pages apart by a blank line.
    QList<QByteArray> pageTexts = one.Output.split('\n');
    pageTexts.removeLast();
    ASSERT_EQ(pageTexts.size(), 5) << one.Output.toStdString();
    const QByteArray expected = pageTexts[0] + '\n' + pageTexts[1] + "\n\n" + pageTexts[2] + '\n' +
                                pageTexts[3] + "\n\n" + pageTexts[4] + '\n';
    EXPECT_EQ(wholeText, expected);

    // hOCR on standard output: the pages in order, each with its own words.
    const CliRun hocr =
        ocr({QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("--format"),
             QStringLiteral("hocr"), path(QStringLiteral("doc.pdf"))});
    ASSERT_EQ(hocr.Status, 0) << hocr.Errors.toStdString();
    const QString markup = QString::fromUtf8(hocr.Output);
    EXPECT_TRUE(markup.trimmed().endsWith(QStringLiteral("</html>")));
    const QStringList hocrPages = markup.split(QStringLiteral("class='ocr_page'"));
    ASSERT_EQ(hocrPages.size(), 4);
    for (int p = 0; p < 3; ++p)
        EXPECT_TRUE(hocrPages[p + 1].contains(QStringLiteral("ppageno %1").arg(p)) &&
                    hocrPages[p + 1].contains(
                        QStringLiteral(">%1<").arg(QString::fromUtf8(pageTexts[p == 0   ? 0
                                                                               : p == 1 ? 2
                                                                                        : 4])
                                                       .section(' ', -1))))
            << hocrPages[p + 1].left(400).toStdString();
    EXPECT_LT(RenderedPage::CharacterErrorRate(english.join(QLatin1Char(' ')),
                                               QString::fromUtf8(wholeText), false),
              0.03)
        << wholeText.toStdString();

    // The searchable PDF: an old file of that name is replaced once the new one is whole.
    const QString searchable = path(QStringLiteral("searchable.pdf"));
    QFile old(searchable);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    // A JPEG after the document: its page follows the document's, as its own bytes.
    const QString jpeg = path(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(RenderedPage::Paragraph(english.mid(0, 1), QStringLiteral("DejaVu Sans"))
                    .save(jpeg, "JPEG", 90));
    const CliRun pdf = ocr({QStringLiteral("--jobs"), QStringLiteral("2"),
                            QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("-o"),
                            searchable, path(QStringLiteral("doc.pdf")), jpeg});
    ASSERT_EQ(pdf.Status, 0) << pdf.Errors.toStdString();
    // Nothing of the output is left beside it.
    EXPECT_TRUE(QDir(s_dir->path())
                    .entryList({QStringLiteral(".searchable*")}, QDir::Hidden | QDir::Files)
                    .isEmpty());

    const QString layer = tool(QStringLiteral("pdftotext"), {searchable, QStringLiteral("-")});
    const QStringList layerPages = layer.split(QLatin1Char('\f'));
    ASSERT_EQ(layerPages.size(), 5); // four pages, each ending in a form feed
    const QList<QByteArray> expectedPages{pageTexts[0] + ' ' + pageTexts[1],
                                          pageTexts[2] + ' ' + pageTexts[3], pageTexts[4]};
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(layerPages[p].simplified(), QString::fromUtf8(expectedPages[p]).simplified());

    // Page images: the page's size at 300 dpi, stored losslessly.
    QPdfDocument input;
    ASSERT_EQ(input.load(path(QStringLiteral("doc.pdf"))), QPdfDocument::Error::None);
    const QSizeF points = input.pagePointSize(0);
    QList<PdfImage> images = pdfImages(searchable);
    ASSERT_EQ(images.size(), 4);
    EXPECT_TRUE(layerPages[3].contains(QStringLiteral("quick brown fox")));
    ASSERT_EQ(QProcess::execute(QStringLiteral("pdfimages"),
                                {QStringLiteral("-j"), QStringLiteral("-f"), QStringLiteral("4"),
                                 searchable, path(QStringLiteral("kept"))}),
              0);
    QFile original(jpeg), kept(path(QStringLiteral("kept-000.jpg")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), original.readAll());
    images.removeLast();
    for (const PdfImage& image : images) {
        EXPECT_EQ(image.width, qRound(points.width() * 300 / 72));
        EXPECT_EQ(image.height, qRound(points.height() * 300 / 72));
        EXPECT_EQ(image.encoding, QStringLiteral("image"));
        EXPECT_EQ(image.ppi, 300);
    }

    // Word boxes of the text layer lie on the words of the same page, read enlarged, carried
    // back to the page's own pixels.
    PageSource source(path(QStringLiteral("doc.pdf")));
    MiDocument document;
    source.Open(1, document);
    document.OCR(MiDocument::LanguageEnglish, true, true);
    ASSERT_GT(document.AppliedPreparation().scale, 1.0);
    const MiWords& words = document.Images(0).Layout().Words();
    const QString bbox =
        tool(QStringLiteral("pdftotext"),
             {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("2"),
              QStringLiteral("-l"), QStringLiteral("2"), searchable, QStringLiteral("-")});
    static const QRegularExpression wordTag(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    int matched = 0;
    auto it = wordTag.globalMatch(bbox);
    const double px = 300 / 72.0;
    for (int i = 0; it.hasNext() && i < words.Count(); ++i) {
        const auto m = it.next();
        const MiWord& word = words.Item(i);
        ASSERT_EQ(m.captured(5), word.Text().toHtmlEscaped());
        const MiRect r = document.Geometry().ToInput(word.Rects(0));
        EXPECT_NEAR(m.captured(1).toDouble() * px, r.Left, 3) << word.Text().toStdString();
        EXPECT_NEAR(m.captured(2).toDouble() * px, r.Top, 3) << word.Text().toStdString();
        EXPECT_NEAR(m.captured(3).toDouble() * px, r.Right, 3) << word.Text().toStdString();
        EXPECT_NEAR(m.captured(4).toDouble() * px, r.Bottom, 3) << word.Text().toStdString();
        ++matched;
    }
    EXPECT_EQ(matched, words.Count());
    EXPECT_GE(matched, 15);
}

TEST_F(MultiPage, BilevelTiffPagesKeepTheirPixelsAndJapaneseComesBackFromTheTextLayer) {
    const QStringList japanese = OcrTexts::Japanese();
    const QList<QStringList> pages{japanese.mid(0, 1), japanese.mid(1, 2), japanese.mid(3, 2)};
    const QString tiff = path(QStringLiteral("doc.tif"));
    QStringList singles;
    QList<QSize> sizes;
    for (int p = 0; p < 3; ++p) {
        const QString grey =
            RenderedPage::SavePng(RenderedPage::Paragraph(pages[p], QStringLiteral("IPAMincho")),
                                  path(QStringLiteral("grey%1.png").arg(p)));
        PixPtr read(pixRead(grey.toLocal8Bit().constData()));
        PixPtr bilevel(pixThresholdToBinary(read.get(), 128));
        pixSetResolution(bilevel.get(), 300, 300);
        singles.append(path(QStringLiteral("jpage%1.png").arg(p)));
        sizes.append({pixGetWidth(bilevel.get()), pixGetHeight(bilevel.get())});
        ASSERT_EQ(pixWrite(singles.back().toLocal8Bit().constData(), bilevel.get(), IFF_PNG), 0);
        ASSERT_EQ(pixWriteTiff(tiff.toLocal8Bit().constData(), bilevel.get(), IFF_TIFF_G4,
                               p == 0 ? "w" : "a"),
                  0);
    }

    const QString searchable = path(QStringLiteral("japanese.pdf"));
    const CliRun pdf = ocr({QStringLiteral("--lang"), QStringLiteral("ja"),
                            QStringLiteral("--lines"), QStringLiteral("--format"),
                            QStringLiteral("pdf"), QStringLiteral("-o"), searchable, tiff});
    ASSERT_EQ(pdf.Status, 0) << pdf.Errors.toStdString();
    const CliRun one = ocr({QStringLiteral("--lang"), QStringLiteral("ja"),
                            QStringLiteral("--lines"), singles[0], singles[1], singles[2]});
    ASSERT_EQ(one.Status, 0) << one.Errors.toStdString();
    EXPECT_LT(RenderedPage::CharacterErrorRate(japanese.join(QString()),
                                               QString::fromUtf8(one.Output), true),
              0.05)
        << one.Output.toStdString();

    // The text layer gives back the characters the engine read, page by page in its order.
    const QString layer = tool(QStringLiteral("pdftotext"),
                               {QStringLiteral("-raw"), searchable, QStringLiteral("-")});
    EXPECT_EQ(withoutSpaces(layer), withoutSpaces(QString::fromUtf8(one.Output)))
        << layer.toStdString();
    EXPECT_EQ(layer.count(QLatin1Char('\f')), 3);

    const QList<PdfImage> images = pdfImages(searchable);
    ASSERT_EQ(images.size(), 3);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(images[p].page, p + 1);
        EXPECT_EQ(QSize(images[p].width, images[p].height), sizes[p]);
        EXPECT_EQ(images[p].encoding, QStringLiteral("ccitt"));
        EXPECT_EQ(images[p].ppi, 300);
    }

    // The same TIFF cut short loses its last page, which a decoder does not notice.
    QFile whole(tiff);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString cut = path(QStringLiteral("cut.tif"));
    QFile cutFile(cut);
    ASSERT_TRUE(cutFile.open(QIODevice::WriteOnly));
    cutFile.write(bytes.left(bytes.size() * 2 / 3));
    cutFile.close();
    try {
        PageSource source(cut);
        ADD_FAILURE() << source.PageCount() << " pages read from a cut TIFF";
    } catch (const VelaError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("\"%1\" is damaged: its pages are cut short").arg(cut));
    }
}

TEST_F(MultiPage, AScannedPdfPageIsItsImagesOwnPixelsAtItsOwnResolution) {
    // A 200-dpi page as a scanner stores it: JPEG (colour and grey), lossless grey, and G4.
    QImage page =
        RenderedPage::Paragraph(OcrTexts::English().mid(0, 2), QStringLiteral("DejaVu Sans"));
    page.setDotsPerMeterX(7874);
    page.setDotsPerMeterY(7874);
    QImage tinted = page.convertToFormat(QImage::Format_RGB32);
    QPainter(&tinted).fillRect(0, 0, 60, 60, Qt::red);
    const QStringList scans{path(QStringLiteral("scan.jpg")), path(QStringLiteral("colour.jpg")),
                            path(QStringLiteral("scan.png")), path(QStringLiteral("scan.tif"))};
    ASSERT_TRUE(page.save(scans[0], "JPEG", 80) && tinted.save(scans[1], "JPEG", 80) &&
                page.save(scans[2], "PNG"));
    PixPtr grey(pixRead(scans[2].toLocal8Bit().constData()));
    PixPtr bilevel(pixThresholdToBinary(grey.get(), 128));
    pixSetResolution(bilevel.get(), 200, 200);
    ASSERT_EQ(pixWrite(scans[3].toLocal8Bit().constData(), bilevel.get(), IFF_TIFF_G4), 0);
    const QString pdf = path(QStringLiteral("scans.pdf"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("img2pdf"),
                                scans + QStringList{QStringLiteral("-o"), pdf}),
              0);
    const QList<PdfImage> stored = pdfImages(pdf);
    ASSERT_EQ(stored.size(), 4);
    EXPECT_EQ(
        QStringList({stored[0].encoding, stored[2].encoding, stored[3].encoding}),
        QStringList({QStringLiteral("jpeg"), QStringLiteral("image"), QStringLiteral("ccitt")}));

    PageSource source(pdf);
    for (int p = 0; p < 4; ++p) {
        MiDocument document;
        QByteArray jpeg;
        source.Open(p, document, &jpeg);
        PixPtr scan(pixRead(scans[p].toLocal8Bit().constData()));
        l_int32 same = 0;
        pixEqual(document.Page(), scan.get(), &same);
        EXPECT_TRUE(same) << p;
        EXPECT_EQ(pixGetXRes(document.Page()), 200) << p;
        QFile file(scans[p]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(jpeg, p < 2 ? file.readAll() : QByteArray()) << p;
    }
}

// The pages come from the file as it was when it was opened: cutting it short or rewriting it
// afterwards neither kills the reader nor slips a page past the pixel limit.
TEST_F(MultiPage, TiffPagesAreReadFromTheFileAsOpened) {
    const QString tiff = path(QStringLiteral("changing.tif"));
    for (int p = 0; p < 3; ++p) {
        PixPtr page(pixCreate(200 + 100 * p, 300, 1));
        ASSERT_EQ(pixWriteTiff(tiff.toLocal8Bit().constData(), page.get(), IFF_TIFF_ZIP,
                               p == 0 ? "w" : "a"),
                  0);
    }
    PageSource source(tiff);
    ASSERT_EQ(source.PageCount(), 3);
    QFile file(tiff);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(QByteArray(file.size() / 2, '\xff'));
    file.resize(64);
    file.close();
    for (int p = 0; p < 3; ++p) {
        MiDocument document;
        source.Open(p, document);
        EXPECT_EQ(pixGetWidth(document.Page()), 200 + 100 * p);
    }
}

TEST_F(MultiPage, APhotographedPageKeepsItsJpegWithoutWhereItWasTakenAndIsShownUpright) {
    // A page photographed sideways, its JPEG carrying EXIF with GPS, XMP and a comment.
    const QImage upright =
        RenderedPage::Paragraph(OcrTexts::English().mid(0, 3), QStringLiteral("DejaVu Sans"));
    QByteArray clean;
    QBuffer buffer(&clean);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) &&
                RenderedPage::Rotated(upright, -90).save(&buffer, "JPEG", 85));
    const auto segment = [](int marker, const QByteArray& body) {
        const int length = int(body.size()) + 2;
        return QByteArray{"\xff"} + char(marker) + char(length >> 8) + char(length & 0xff) + body;
    };
    const int app0 = 4 + ((uchar(clean[4]) << 8) | uchar(clean[5]));
    const QByteArray metadata =
        segment(0xe1, QByteArray("Exif\0\0MM\0*GPSLatitude 35.6586 GPSLongitude 139.7454", 48)) +
        segment(0xe1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>Tokyo Tower</x:xmpmeta>") +
        segment(0xfe, "taken at home");
    const QString photo = path(QStringLiteral("sideways.jpg"));
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(clean.left(app0) + metadata + clean.mid(app0));
    file.close();

    const QString searchable = path(QStringLiteral("photo.pdf"));
    const CliRun pdf = ocr({QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("-o"),
                            searchable, photo});
    ASSERT_EQ(pdf.Status, 0) << pdf.Errors.toStdString();
    QFile out(searchable);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray bytes = out.readAll();
    for (const char* left : {"Exif", "GPS", "xmpmeta", "Tokyo", "taken at"})
        EXPECT_FALSE(bytes.contains(left)) << left;
    EXPECT_LT(bytes.size(), file.size() * 11 / 10);
    ASSERT_EQ(QProcess::execute(QStringLiteral("pdfimages"),
                                {QStringLiteral("-j"), searchable, path(QStringLiteral("photo"))}),
              0);
    QFile kept(path(QStringLiteral("photo-000.jpg")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), clean);
    EXPECT_TRUE(
        tool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                         QStringLiteral("-l"), QStringLiteral("1"), searchable})
            .contains(QRegularExpression(QStringLiteral("rot:\\s+90\\n"))));
    EXPECT_TRUE(tool(QStringLiteral("pdftotext"), {searchable, QStringLiteral("-")})
                    .contains(QStringLiteral("quick brown fox")));
}

// Decoding a page that takes longer than its bound (a progressive JPEG of many scans, a costly
// PDF page) is given up, wherever the page is read.
TEST_F(MultiPage, APageThatTakesTooLongToDecodeIsRefused) {
    QImage noise(2000, 2000, QImage::Format_Grayscale8);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.scanLine(y)[x] = uchar((x * 7919 + y * 104729) >> 3);
    QImageWriter jpeg(path(QStringLiteral("slow.jpg")));
    jpeg.setProgressiveScanWrite(true);
    ASSERT_TRUE(jpeg.write(noise));
    const QString pdf = path(QStringLiteral("slow.pdf"));
    RenderedPage::WriteTextPdf(pdf, {{QStringLiteral("x")}}, QSizeF(300, 300));
    const auto restore = qScopeGuard([] { DecodeBound::SetLimit(std::chrono::seconds(20)); });
    for (const QString& file : {jpeg.fileName(), pdf}) {
        DecodeBound::SetLimit(std::chrono::milliseconds(1));
        MiDocument document;
        try {
            PageSource(file).Open(0, document);
            ADD_FAILURE() << "no bound for " << file.toStdString();
        } catch (const VelaError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String("takes too long to decode")))
                << e.Message().toStdString();
        }
        DecodeBound::SetLimit(std::chrono::seconds(20));
        PageSource(file).Open(0, document);
        EXPECT_GT(pixGetWidth(document.Page()), 1000);
    }
    // What was given up still ends, before the program does.
    EXPECT_TRUE(QTest::qWaitFor([] { return DecodeBound::Running() == 0; }, 20000));
}

// The PDF library loads this damaged file for good (a page tree holding itself, a broken
// object): opening it is refused within the bound. In a process of its own, which the endless
// load outlives.
TEST_F(MultiPage, APdfThePdfLibraryNeverEndsLoadingIsRefusedWithinTheBound) {
    const QByteArray endless =
        "%PDF-1.4\n"
        "1 0 obj\n"
        "<< /Type /Catalog /Pages 2 0 R >>\n"
        "endobj\n"
        "2 0 obj\n"
        "<< /Type /Pages /Kids [2 0 R] /Count 1 >>\n"
        "endobj\n"
        "3 0 obj\n"
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 14400 14400] /Contents 4 0 R >>\n"
        "endobj\n"
        "4 0 obj\n"
        "<< /L0000 n \n"
        "0000000115 00000 n \n"
        "0000000206 tream\n"
        "endobj\n"
        "xref\n"
        "0 5\n"
        "0000000000 65535 f \n"
        "0000000009 00000 n \n"
        "0000000058 00000 n \n"
        "0000000115 00400 n \n"
        "0000000206 00000 n \n"
        "trailer\n"
        "<< /Size 5 /Root 1 0 R >>\n"
        "startxref\n"
        "271\n"
        "%%EOF\n";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            DecodeBound::SetLimit(std::chrono::seconds(2));
            try {
                PageSource(endless, QStringLiteral("endless.pdf"));
            } catch (const VelaError& e) {
                std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
                std::_Exit(e.Message().contains(QLatin1String("takes too long")) ? 7 : 8);
            }
            std::_Exit(9);
        },
        testing::ExitedWithCode(7), "endless.pdf");
}

TEST_F(MultiPage, DamagedEncryptedTooLongAndTooLargePdfsFailClearlyAndKeepTheOldOutput) {
    const QString damaged = path(QStringLiteral("damaged.pdf"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >>\nendobj\ntrailer <<");
    file.close();
    const QString plain = path(QStringLiteral("plain.pdf"));
    RenderedPage::WriteTextPdf(plain, {{QStringLiteral("secret")}}, QSizeF(100, 30));
    const QString encrypted = path(QStringLiteral("encrypted.pdf"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("qpdf"),
                                {QStringLiteral("--encrypt"), QStringLiteral("user"),
                                 QStringLiteral("owner"), QStringLiteral("256"),
                                 QStringLiteral("--"), plain, encrypted}),
              0);
    const QString tooLong = path(QStringLiteral("long.pdf"));
    RenderedPage::WriteTextPdf(tooLong, QList<QStringList>(PageSource::MaxPages + 1, QStringList()),
                               QSizeF(20, 20));
    const QString tooLarge = path(QStringLiteral("large.pdf"));
    RenderedPage::WriteTextPdf(tooLarge, {{QStringLiteral("x")}}, QSizeF(2000, 2000));

    const QString out = path(QStringLiteral("kept.pdf"));
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    const CliRun run = ocr({QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("-o"),
                            out, damaged, encrypted, tooLong, tooLarge});
    EXPECT_EQ(run.Status, 1);
    const QString err = run.Errors;
    EXPECT_TRUE(err.contains(QStringLiteral("\"%1\": it is damaged").arg(damaged)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("\"%1\": it is encrypted").arg(encrypted)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("\"%1\" has 2001 pages; at most 2000").arg(tooLong)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Page 1 of \"%1\" is too large").arg(tooLarge)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("\"%1\" was not written").arg(out)))
        << err.toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

} // namespace
