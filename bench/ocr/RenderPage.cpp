// Renders a full A4 page of text at 300 dpi as PNG, for timing recognition.
// usage: vela-bench-ocr-page en|ja FILE
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char* const englishText =
    "Optical character recognition turns the picture of a printed page into text that "
    "can be edited, searched and translated. The scanner delivers an image whose quality "
    "decides much of the result: a clean page at three hundred dots per inch is read "
    "almost without error, while a dark, blurred or skewed copy loses letters and words. "
    "Before the recognition engine looks at the characters it finds the text lines, "
    "separates the columns and turns the page upright when it was scanned sideways. ";

const char* const japaneseText =
    "光学文字認識は、印刷されたページの画像を編集や検索や翻訳ができる文字に変える技術です。"
    "スキャナーが読み取った画像の品質が結果を大きく左右します。"
    "三百ドット毎インチのきれいなページならほとんど誤りなく読めますが、"
    "暗い画像やぼやけた画像、傾いた画像では文字や単語が失われます。"
    "認識エンジンは文字を調べる前に行を見つけ、段組みを分け、横向きに読み取られたページを正しい向き"
    "に直します。";

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "ja") != 0)) {
        std::fprintf(stderr, "usage: vela-bench-ocr-page en|ja FILE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool japanese = std::strcmp(argv[1], "ja") == 0;
    const int dpm = int(std::lround(300 / 0.0254));
    QImage page(2480, 3508, QImage::Format_Grayscale8);
    page.setDotsPerMeterX(dpm);
    page.setDotsPerMeterY(dpm);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(japanese ? QStringLiteral("IPAMincho") : QStringLiteral("DejaVu Serif"));
    font.setPointSize(11);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRect body(300, 300, 2480 - 600, 3508 - 600);
    const QString paragraph = QString::fromUtf8(japanese ? japaneseText : englishText);
    QString text;
    for (int i = 0; i < 6; ++i)
        text += (japanese ? QStringLiteral("　") : QString()) + paragraph + QStringLiteral("\n\n");
    painter.drawText(body, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    return page.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
