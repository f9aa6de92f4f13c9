#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <cstdio>

struct OutputPage;
struct PdfImageData;

// A searchable PDF written page by page as pages come: each page the image as scanned, under an
// invisible text layer that sets every word over its box, its glyphs stretched to the box's
// length and as high as the box, in a glyph-less font so that any character can be placed. A
// word that runs down (vertical Japanese, a page turned a quarter) is set running down.
// A page that was turned to be read is shown upright by the page's rotation.
class PdfOutput final {
public:
    // font is a TrueType font whose glyphs draw nothing.
    PdfOutput(std::FILE* file, const QString& title, const QByteArray& font);
    PdfOutput(const PdfOutput&) = delete;
    PdfOutput& operator=(const PdfOutput&) = delete;

    // False when writing failed.
    bool AddPage(const OutputPage& page, const PdfImageData& image);
    // Writes the document's shared objects and its index; false when writing failed.
    bool Finish();

private:
    QByteArray text(const OutputPage& page);
    QByteArray codes(const QString& word);
    void object(int number, const QByteArray& body);
    void stream(int number, const QByteArray& entries, const QByteArray& data);
    void write(const QByteArray& bytes);

    std::FILE* m_file;
    const QString m_title;
    const QByteArray m_font;
    qint64 m_written = 0;
    bool m_ok = true;
    QList<qint64> m_offsets; // by object number, from 1
    QList<int> m_pages;
    // The characters used, numbered from 1 in the order met: their numbers are the codes.
    QHash<char32_t, int> m_codes;
    QList<char32_t> m_characters;
    QSet<int> m_variants; // the fonts used, by the share of a word above its baseline
};
