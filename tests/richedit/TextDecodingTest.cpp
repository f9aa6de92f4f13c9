#include "TextDecoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

using TextDecoding::Encoding;

const QString japanese = QStringLiteral("日本語のテキスト、漢字と仮名。");

QByteArray encoded(const char* codec, const QString& text) {
    QStringEncoder encoder(codec);
    return encoder(text);
}

TEST(TextDecoding, AByteOrderMarkDecides) {
    // The UTF-16 mark wins even over bytes that would be valid UTF-8.
    QByteArray le("\xFF\xFE", 2);
    le += encoded("UTF-16LE", QStringLiteral("ab"));
    EXPECT_EQ(TextDecoding::Detect(le), Encoding::Utf16LE);
    EXPECT_EQ(TextDecoding::Decode(le), QStringLiteral("ab"));
    QByteArray be("\xFE\xFF", 2);
    be += encoded("UTF-16BE", japanese);
    EXPECT_EQ(TextDecoding::Decode(be), japanese);
    const QByteArray bom = QByteArray("\xEF\xBB\xBF") + japanese.toUtf8();
    EXPECT_EQ(TextDecoding::Detect(bom), Encoding::Utf8Bom);
    EXPECT_EQ(TextDecoding::Decode(bom), japanese);
}

TEST(TextDecoding, ValidUtf8ComesBeforeTheJapaneseCodePages) {
    EXPECT_EQ(TextDecoding::Detect(japanese.toUtf8()), Encoding::Utf8);
    EXPECT_EQ(TextDecoding::Decode(japanese.toUtf8()), japanese);
    EXPECT_EQ(TextDecoding::Detect("plain ascii\r\n"), Encoding::Utf8);
}

TEST(TextDecoding, ShiftJisAndEucJpAreToldApart) {
    const QString withKana = QStringLiteral("日本語のテキスト、ｶﾀｶﾅも少し。\r\n");
    const QByteArray sjis = encoded("Shift_JIS", withKana);
    EXPECT_EQ(TextDecoding::Detect(sjis), Encoding::ShiftJis);
    EXPECT_EQ(TextDecoding::Decode(sjis), withKana);
    const QByteArray euc = encoded("EUC-JP", japanese);
    EXPECT_EQ(TextDecoding::Detect(euc), Encoding::EucJp);
    EXPECT_EQ(TextDecoding::Decode(euc), japanese);
    // Full-width katakana in EUC-JP are also valid Shift_JIS, as half-width kana.
    const QString katakana = QStringLiteral("カタカナ");
    const QByteArray both = encoded("EUC-JP", katakana);
    EXPECT_EQ(TextDecoding::Detect(both), Encoding::EucJp);
    EXPECT_EQ(TextDecoding::Decode(both), katakana);
}

TEST(TextDecoding, BytesValidInNoneFallBackToTheSystemCodePage) {
    const QByteArray bytes("ab\x80\x80\xFF", 5);
    EXPECT_EQ(TextDecoding::Detect(bytes), Encoding::System);
    QStringDecoder system(QStringDecoder::System);
    EXPECT_EQ(TextDecoding::Decode(bytes), QString(system(bytes)));
}

TEST(TextDecoding, WindowsCodePagesHaveDecoders) {
    EXPECT_FALSE(TextDecoding::CodePageName(932).isEmpty());
    EXPECT_EQ(TextDecoding::CodePageName(1252), QByteArray("windows-1252"));
    EXPECT_TRUE(TextDecoding::CodePageName(12345).isEmpty());
}

} // namespace
