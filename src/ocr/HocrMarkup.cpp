#include "HocrMarkup.h"

#include "OutputPage.h"

#include <QFileInfo>
#include <cmath>

namespace HocrMarkup {

namespace {

QString bbox(const MiRect& r) {
    return QStringLiteral("bbox %1 %2 %3 %4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

// A value inside a title attribute, which is quoted with double quotes.
QString quoted(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return out.toHtmlEscaped();
}

} // namespace

QByteArray Head(const QString& title) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"\n"
               "    \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
               "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\" lang=\"en\">\n"
               "<head>\n<title>%1</title>\n"
               "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\"/>\n"
               "<meta name='ocr-system' content='Vela " VELA_VERSION "'/>\n"
               "<meta name='ocr-capabilities' content='ocr_page ocr_carea ocr_par ocr_line "
               "ocrx_word ocrp_wconf'/>\n"
               "</head>\n<body>\n")
        .arg(title.toHtmlEscaped())
        .toUtf8();
}

QByteArray Page(const OutputPage& page, int number) {
    const int p = number + 1;
    // The name last: what it holds is not taken for a place of the next argument.
    QString out = QStringLiteral("<div class='ocr_page' id='page_%1' title='image \"%6\"; "
                                 "bbox 0 0 %2 %3; ppageno %4; scan_res %5 %5'>\n")
                      .arg(p)
                      .arg(page.width)
                      .arg(page.height)
                      .arg(number)
                      .arg(page.dpi)
                      .arg(quoted(QFileInfo(page.fileName).fileName()));
    int blockId = 0, lineId = 0, wordId = 0;
    for (const OutputPage::Block& block : page.blocks) {
        ++blockId;
        out += QStringLiteral(" <div class='ocr_carea' id='block_%1_%2' title='%3'>\n"
                              "  <p class='ocr_par' id='par_%1_%2' title='%3'>\n")
                   .arg(p)
                   .arg(blockId)
                   .arg(bbox(block.box));
        for (const OutputPage::Line& line : block.lines) {
            out += QStringLiteral("   <span class='ocr_line' id='line_%1_%2' title='%3; "
                                  "baseline 0 %4'>")
                       .arg(p)
                       .arg(++lineId)
                       .arg(bbox(line.box))
                       .arg(line.baseline);
            for (const OutputPage::Word& word : line.words) {
                out += QStringLiteral("<span class='ocrx_word' id='word_%1_%2' title='%3; "
                                      "x_wconf %4'>%5</span> ")
                           .arg(p)
                           .arg(++wordId)
                           .arg(bbox(word.box))
                           .arg(std::lround(std::max(word.confidence, 0.0f)))
                           .arg(word.text.toHtmlEscaped());
            }
            out.chop(1);
            out += QStringLiteral("</span>\n");
        }
        out += QStringLiteral("  </p>\n </div>\n");
    }
    out += QStringLiteral("</div>\n");
    return out.toUtf8();
}

QByteArray Tail() {
    return "</body>\n</html>\n";
}

} // namespace HocrMarkup
