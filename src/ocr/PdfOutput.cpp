#include "PdfOutput.h"

#include "OutputPage.h"
#include "PdfImageData.h"

#include <QByteArray>
#include <algorithm>
#include <set>

namespace {

// The objects every page refers to; pages follow them.
enum Shared { Catalog = 1, PageTree, Fonts, FontFile, ToUnicode, CidToGid, Info, FirstPage };

// Text readers group words into lines by their baselines, so every word of a line stands on
// the line's baseline: a word's own bottom (a descender, a box reaching into the line below)
// would take it nearer the next line than its own. The font's ascent and descent then set the
// word's top and bottom: one font for each share of the word's height that lies above the
// baseline, in steps fine enough that the baseline moves by at most 1/16 of the word's height
// to fit the box exactly.
constexpr int Variants = 8;

double above(int variant) {
    return (variant + 0.5) / Variants;
}

QByteArray number(double value) {
    QByteArray out = QByteArray::number(value, 'f', 3);
    while (out.contains('.') && (out.endsWith('0') || out.endsWith('.')))
        out.chop(1);
    return out == "-0" ? "0" : out;
}

QByteArray deflated(const QByteArray& data) {
    return qCompress(data, 6).mid(4); // without Qt's length in front: a zlib stream
}

QByteArray hex16(uint value) {
    return QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}

// A text string in UTF-16 with its byte-order mark, as hex.
QByteArray textString(const QString& text) {
    QByteArray out = "<FEFF";
    for (QChar c : text)
        out += hex16(c.unicode());
    return out + '>';
}

} // namespace

PdfOutput::PdfOutput(std::FILE* file, const QString& title, const QByteArray& font)
    : m_file(file), m_title(title), m_font(font) {
    write("%PDF-1.5\n%\xe2\xe3\xcf\xd3\n");
}

void PdfOutput::write(const QByteArray& bytes) {
    if (m_ok &&
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_file) != size_t(bytes.size()))
        m_ok = false;
    m_written += bytes.size();
}

void PdfOutput::object(int n, const QByteArray& body) {
    if (m_offsets.size() < n)
        m_offsets.resize(n);
    m_offsets[n - 1] = m_written;
    write(QByteArray::number(n) + " 0 obj\n" + body + "\nendobj\n");
}

void PdfOutput::stream(int n, const QByteArray& entries, const QByteArray& data) {
    object(n, "<< " + entries + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" +
                  data + "\nendstream");
}

QByteArray PdfOutput::codes(const QString& word) {
    QByteArray out;
    for (char32_t c : word.toUcs4()) {
        auto found = m_codes.find(c);
        if (found == m_codes.end()) {
            m_characters.append(c);
            found = m_codes.insert(c, int(m_characters.size()));
        }
        out += hex16(uint(*found));
    }
    return out;
}

QByteArray PdfOutput::text(const OutputPage& page) {
    const double k = 72.0 / page.dpi;
    QByteArray out = "BT\n3 Tr\n";
    // Every word ends in a space, past its box: readers that join characters lying close
    // together into words keep words apart whose boxes touch.
    const QByteArray space = codes(QStringLiteral(" "));
    int font = -1;
    for (const OutputPage::Block& block : page.blocks)
        for (const OutputPage::Line& line : block.lines)
            for (const OutputPage::Word& word : line.words) {
                const int glyphs = int(word.text.toUcs4().size());
                if (glyphs == 0)
                    continue;
                // The box in points, y upwards.
                const double x0 = word.box.Left * k, x1 = word.box.Right * k;
                const double y0 = (page.height - word.box.Bottom) * k;
                const double y1 = (page.height - word.box.Top) * k;
                // The run u and the glyphs' up v, turned clockwise on the image by direction.
                static constexpr int runs[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
                const int ux = runs[word.direction % 4][0], uy = runs[word.direction % 4][1];
                const int vx = -uy, vy = ux;
                // A word squeezed to nothing at the image's edge still stands in the text.
                const double across = std::max(ux != 0 ? x1 - x0 : y1 - y0, k);
                const double height = std::max(ux != 0 ? y1 - y0 : x1 - x0, k);
                // Lines that run down or are turned stand on their words' feet.
                double share = 1;
                if (word.direction == 0)
                    share = (y1 - (page.height - line.box.Bottom - line.baseline) * k) / height;
                const int variant = std::clamp(int(share * Variants), 0, Variants - 1);
                if (variant != font)
                    out += "/F" + QByteArray::number(variant) + " 1 Tf\n";
                font = variant;
                m_variants.insert(variant);
                const double size = height;
                // The glyphs start at the box's corner that lies first along both, raised to
                // the baseline.
                const double rise = (1 - above(variant)) * height;
                const double ox = (ux + vx > 0 ? x0 : x1) + vx * rise;
                const double oy = (uy + vy > 0 ? y0 : y1) + vy * rise;
                out += number(100.0 * across / (glyphs * size)) + " Tz " + number(size * ux) + ' ' +
                       number(size * uy) + ' ' + number(size * vx) + ' ' + number(size * vy) + ' ' +
                       number(ox) + ' ' + number(oy) + " Tm <" + codes(word.text) + space +
                       "> Tj\n";
            }
    return out + "ET\n";
}

bool PdfOutput::AddPage(const OutputPage& page, const PdfImageData& image) {
    const int n = FirstPage + 3 * int(m_pages.size());
    const double k = 72.0 / page.dpi;
    const QByteArray w = number(page.width * k), h = number(page.height * k);
    const QByteArray content = "q " + w + " 0 0 " + h + " 0 0 cm /Im1 Do Q\n" + text(page);
    object(n, "<< /Type /Page /Parent " + QByteArray::number(PageTree) + " 0 R /MediaBox [0 0 " +
                  w + ' ' + h + "] /Rotate " + QByteArray::number(90 * (page.quarterTurns % 4)) +
                  " /Resources << /XObject << /Im1 " + QByteArray::number(n + 2) +
                  " 0 R >> /Font " + QByteArray::number(Fonts) + " 0 R >> /Contents " +
                  QByteArray::number(n + 1) + " 0 R >>");
    stream(n + 1, "/Filter /FlateDecode", deflated(content));
    stream(n + 2,
           "/Type /XObject /Subtype /Image /Width " + QByteArray::number(image.width) +
               " /Height " + QByteArray::number(image.height) + ' ' + image.entries,
           image.data);
    m_pages.append(n);
    if (m_ok)
        m_ok = std::fflush(m_file) == 0;
    return m_ok;
}

bool PdfOutput::Finish() {
    QByteArray kids;
    for (int page : m_pages)
        kids += QByteArray::number(page) + " 0 R ";
    object(Catalog, "<< /Type /Catalog /Pages 2 0 R >>");
    object(PageTree, "<< /Type /Pages /Kids [ " + kids + "] /Count " +
                         QByteArray::number(m_pages.size()) + " >>");
    // Each font used: its Type 0 font, CID font and descriptor, all on the one font program.
    QByteArray fonts = "<<";
    for (int variant : std::set<int>(m_variants.begin(), m_variants.end())) {
        const int n = std::max(int(m_offsets.size()), FirstPage - 1) + 1;
        const QByteArray ascent = number(1000 * above(variant));
        const QByteArray descent = number(-1000 * (1 - above(variant)));
        fonts += " /F" + QByteArray::number(variant) + ' ' + QByteArray::number(n) + " 0 R";
        object(n, "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H "
                  "/DescendantFonts [" +
                      QByteArray::number(n + 1) + " 0 R] /ToUnicode " +
                      QByteArray::number(ToUnicode) + " 0 R >>");
        object(n + 1, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont "
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                      "/FontDescriptor " +
                          QByteArray::number(n + 2) + " 0 R /DW 1000 /CIDToGIDMap " +
                          QByteArray::number(CidToGid) + " 0 R >>");
        object(n + 2, "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 " +
                          descent + " 1000 " + ascent + "] /ItalicAngle 0 /Ascent " + ascent +
                          " /Descent " + descent + " /CapHeight " + ascent +
                          " /StemV 80 /FontFile2 " + QByteArray::number(FontFile) + " 0 R >>");
    }
    object(Fonts, fonts + " >>");
    stream(FontFile, "/Filter /FlateDecode /Length1 " + QByteArray::number(m_font.size()),
           deflated(m_font));
    // Every character's code to the character; every code draws the font's one empty glyph.
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    for (qsizetype first = 0; first < m_characters.size(); first += 100) {
        const qsizetype count = std::min<qsizetype>(100, m_characters.size() - first);
        cmap += QByteArray::number(count) + " beginbfchar\n";
        for (qsizetype i = first; i < first + count; ++i) {
            QByteArray utf16;
            for (QChar c : QString::fromUcs4(&m_characters[i], 1))
                utf16 += hex16(c.unicode());
            cmap += '<' + hex16(uint(i + 1)) + "> <" + utf16 + ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    stream(ToUnicode, "/Filter /FlateDecode", deflated(cmap));
    QByteArray gids(2 * (m_characters.size() + 1), '\0');
    for (qsizetype i = 1; i <= m_characters.size(); ++i)
        gids[2 * i + 1] = 1;
    stream(CidToGid, "/Filter /FlateDecode", deflated(gids));
    object(Info, "<< /Producer (Vela) /Title " + textString(m_title) + " >>");

    const qint64 index = m_written;
    QByteArray xref =
        "xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (qint64 offset : m_offsets)
        xref += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    write(xref + "trailer\n<< /Size " + QByteArray::number(m_offsets.size() + 1) +
          " /Root 1 0 R /Info " + QByteArray::number(Info) + " 0 R >>\nstartxref\n" +
          QByteArray::number(index) + "\n%%EOF\n");
    if (m_ok)
        m_ok = std::fflush(m_file) == 0;
    return m_ok;
}
