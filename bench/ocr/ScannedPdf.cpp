// Writes a PDF of "scanned" A4 pages: each page a 300-dpi grey image of printed text on a
// slightly tinted, noisy paper, as an office copier stores it, for timing document reading.
// usage: vela-bench-ocr-scanned-pdf en|ja PAGES FILE
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <cstdio>
#include <cstring>

namespace {

const char* const englishText =
    "Optical character recognition turns the picture of a printed page into text that "
    "can be edited, searched and translated. The scanner delivers an image whose quality "
    "decides much of the result: a clean page at three hundred dots per inch is read "
    "almost without error, while a dark, blurred or skewed copy loses letters and words. ";

const char* const japaneseText =
    "光学文字認識は、印刷されたページの画像を編集や検索や翻訳ができる文字に変える技術です。"
    "スキャナーが読み取った画像の品質が結果を大きく左右します。"
    "三百ドット毎インチのきれいなページならほとんど誤りなく読めますが、"
    "暗い画像やぼやけた画像、傾いた画像では文字や単語が失われます。";

QImage scannedPage(bool japanese, int number, QRandomGenerator& random) {
    QImage page(2480, 3508, QImage::Format_Grayscale8);
    page.fill(QColor(238, 238, 238));
    QPainter painter(&page);
    QFont font(japanese ? QStringLiteral("IPAMincho") : QStringLiteral("DejaVu Serif"));
    font.setPointSize(11);
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 40));
    QString text = QStringLiteral("Page %1\n\n").arg(number);
    for (int i = 0; i < 5; ++i)
        text += QString::fromUtf8(japanese ? japaneseText : englishText) + QStringLiteral("\n\n");
    painter.drawText(QRect(300, 300, 2480 - 600, 3508 - 600),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    // Sensor noise of a few levels on every pixel.
    for (int y = 0; y < page.height(); ++y) {
        uchar* line = page.scanLine(y);
        for (int x = 0; x < page.width(); ++x)
            line[x] = uchar(qBound(0, int(line[x]) + int(random.bounded(9)) - 4, 255));
    }
    return page;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "ja") != 0) ||
        std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: vela-bench-ocr-scanned-pdf en|ja PAGES FILE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool japanese = std::strcmp(argv[1], "ja") == 0;
    QRandomGenerator random(26);
    QPdfWriter pdf(QString::fromLocal8Bit(argv[3]));
    pdf.setResolution(300);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF());
    QPainter painter(&pdf);
    for (int p = 0; p < std::atoi(argv[2]); ++p) {
        if (p > 0)
            pdf.newPage();
        painter.drawImage(QRect(0, 0, 2480, 3508), scannedPage(japanese, p + 1, random));
    }
    return painter.end() ? 0 : 1;
}
