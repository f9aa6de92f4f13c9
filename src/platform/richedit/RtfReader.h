#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMap>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

class QTextDocument;

// Reads rich text format into a text document: text, paragraphs, bold, italic,
// underline, font size and colour, \uN and \'hh in the code page of the document or of
// the current font. Destinations it does not know are skipped.
class RtfReader final {
public:
    static bool IsRtf(const QByteArray& data);
    // Replaces the document's content. Raises VelaError when the data is not RTF.
    static void Read(const QByteArray& data, QTextDocument& document);

private:
    struct State {
        bool bold = false;
        bool italic = false;
        bool underline = false;
        int halfPoints = 0; // 0: the document's own size
        int color = 0;      // index into the colour table; 0 is the automatic colour
        int font = -1;
        int unicodeSkip = 1;
        bool skip = false;
        enum class Dest { Text, FontTable, ColorTable } dest = Dest::Text;
    };
    struct FontDef {
        int codePage = 0;
        QString name;
    };

    RtfReader(const QByteArray& data, QTextDocument& document);
    void run();
    void controlWord(const QByteArray& word, bool hasParam, int param);
    void controlSymbol(char c);
    void textByte(char c);
    void textChars(const QString& text);
    void flushBytes();
    void flushText();
    void beginGroup();
    void endGroup();
    void skipCharacters(int count);
    int currentCodePage() const;
    QTextCharFormat format() const;

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    QTextDocument& m_document;
    QTextCursor m_cursor;
    // Groups nested deeper than this are skipped with everything in them: real documents stay
    // far below it, and a file of nothing but "{" would otherwise keep a state per byte.
    static constexpr int MaxGroupDepth = 1024;
    QList<State> m_stack;
    State m_state;
    // Groups open beyond MaxGroupDepth, and whether the group at the limit skipped already.
    int m_tooDeep = 0;
    bool m_skipAtLimit = false;
    int m_documentCodePage = 1252;
    QMap<int, FontDef> m_fonts;
    int m_fontBeingDefined = -1;
    QList<QColor> m_colors;
    QColor m_colorBeingDefined;
    bool m_colorHasValue = false;
    QByteArray m_pendingBytes;
    QString m_pendingText;
    bool m_groupStart = false;
};
