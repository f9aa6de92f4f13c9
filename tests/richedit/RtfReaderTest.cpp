#include "RtfReader.h"

#include "VelaError.h"

#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

QString read(const QByteArray& rtf) {
    QTextDocument doc;
    RtfReader::Read(rtf, doc);
    return doc.toPlainText();
}

// The format of the character at the first occurrence of needle.
QTextCharFormat formatAt(QTextDocument& doc, const QString& needle) {
    const int at = doc.toPlainText().indexOf(needle);
    EXPECT_GE(at, 0) << needle.toStdString();
    QTextCursor cursor(&doc);
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

TEST(RtfReader, ParagraphsAndCharacterFormats) {
    QTextDocument doc;
    RtfReader::Read("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                    "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                    "Plain {\\b bold} {\\i italic} {\\ul under\\ulnone line}\\par "
                    "\\fs40 big \\fs20\\cf1 red \\cf2 blue\\cf0  auto\\par}",
                    doc);
    EXPECT_EQ(doc.toPlainText(),
              QStringLiteral("Plain bold italic underline\nbig red blue auto\n"));
    EXPECT_EQ(formatAt(doc, QStringLiteral("bold")).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(doc, QStringLiteral("Plain")).fontWeight(), QFont::Normal);
    // A group's formats end with the group.
    EXPECT_EQ(formatAt(doc, QStringLiteral(" italic")).fontWeight(), QFont::Normal);
    EXPECT_TRUE(formatAt(doc, QStringLiteral("italic")).fontItalic());
    EXPECT_TRUE(formatAt(doc, QStringLiteral("under")).fontUnderline());
    EXPECT_FALSE(formatAt(doc, QStringLiteral("line")).fontUnderline());
    EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("big")).fontPointSize(), 20.0);
    EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("red")).fontPointSize(), 10.0);
    EXPECT_EQ(formatAt(doc, QStringLiteral("red")).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, QStringLiteral("blue")).foreground().color(), QColor(0, 0, 255));
    EXPECT_FALSE(formatAt(doc, QStringLiteral("auto")).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReader, EightBitTextUsesTheCodePageOfDocumentOrFont) {
    const QString latin = read("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'93q\\'94}");
    EXPECT_EQ(latin, QStringLiteral("café “q”"));
    // Double-byte Shift_JIS characters come as pairs of escapes in a Japanese font.
    const QString japanese =
        read("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
             "\\'96\\'be\\'92\\'a9;}{\\f1\\fnil Arial;}}\\f0 \\'93\\'fa\\'96\\'7b\\'8c\\'ea\\f1  "
             "\\'e9}");
    EXPECT_EQ(japanese, QStringLiteral("日本語 é"));
    const QString wholeDoc = read("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}");
    EXPECT_EQ(wholeDoc, QStringLiteral("あい"));
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallback) {
    EXPECT_EQ(read("{\\rtf1 \\u26085?\\u26412?}"), QStringLiteral("日本"));
    // Two fallback bytes per character, given as escapes; \uc0 has none.
    EXPECT_EQ(read("{\\rtf1\\uc2 \\u35486\\'8c\\'ea!\\uc0 \\u-3937 x}"),
              QString(QStringLiteral("語!")) + QChar(char16_t(65536 - 3937)) + QStringLiteral("x"));
    // A surrogate pair.
    EXPECT_EQ(read("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUcs4(U"\U0001F600", 1));
}

TEST(RtfReader, DestinationsWithoutTextAreSkipped) {
    const QString text =
        read("{\\rtf1{\\fonttbl{\\f0 Times;}}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
             "{\\*\\generator Writer}{\\*\\unknownthing hidden {nested}}"
             "{\\pict\\pngblip 89504e47}{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt shown}}"
             " a\\{b\\}c\\\\d\\line e\\tab f\\bin3 xyzg}");
    // The manual line break reads back as a newline inside the paragraph.
    EXPECT_EQ(text, QStringLiteral("shown a{b}c\\d\ne\tfg"));
}

TEST(RtfReader, OnlyRichTextIsAccepted) {
    EXPECT_TRUE(RtfReader::IsRtf("  \r\n{\\rtf1 x}"));
    EXPECT_FALSE(RtfReader::IsRtf("plain {\\rtf1 x}"));
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    EXPECT_THROW(RtfReader::Read("just text", doc), VelaError);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("kept"));
}

TEST(RtfReader, DamagedInputEndsWithoutHarm) {
    // Unbalanced groups, a cut escape and a huge parameter.
    EXPECT_EQ(read("{\\rtf1 a}}}{b"), QStringLiteral("ab"));
    EXPECT_EQ(read("{\\rtf1 c\\'8"), QStringLiteral("c"));
    EXPECT_EQ(read("{\\rtf1\\fs99999999999999 d\\bin99999999999}"), QStringLiteral("d"));
}

// A file of nothing but braces must not keep a state per brace: groups nested beyond a
// thousand levels are skipped whole, and what follows them reads as before.
TEST(RtfReader, GroupsNestedTooDeeplyAreSkippedWithTheirText) {
    const auto nested = [](int depth, const QByteArray& text) {
        return QByteArray(depth, '{') + text + QByteArray(depth, '}');
    };
    EXPECT_EQ(read("{\\rtf1 a" + nested(1000, "\\b kept") + " b}"), QStringLiteral("akept b"));
    EXPECT_EQ(read("{\\rtf1 a" + nested(200000, "lost") + " b}"), QStringLiteral("a b"));
    EXPECT_EQ(read("{\\rtf1 a" + nested(1022, "c{d}{{e}}f") + "g}"), QStringLiteral("acdfg"));
}

} // namespace
