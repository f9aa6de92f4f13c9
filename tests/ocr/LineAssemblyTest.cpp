#include "MiLayout.h"
#include "Recognition.h"
#include "VelaError.h"

#include <gtest/gtest.h>

namespace {

MiWord word(const char* text, int top, int bottom) {
    return MiWord(QString::fromUtf8(text), {MiRect{0, top, 10, bottom}});
}

TEST(LineMode, WordsOnThreeVisualLinesGiveThreeLinesWithoutSpaces) {
    const MiWords words({word("吾輩", 10, 50), word("は猫", 12, 52), word("である", 11, 49),
                         word("名前", 80, 120), word("は", 82, 121), word("まだ", 150, 190)});
    EXPECT_EQ(Recognition::LinesOfWords(words),
              QStringList({QStringLiteral("吾輩は猫である"), QStringLiteral("名前は"),
                           QStringLiteral("まだ")}));
}

TEST(LineMode, TheLimitIsTheFirstWordsBottomPlusFourPixels) {
    // Only the line's first word sets the limit: a later, taller word does not extend it.
    const MiWords words({word("a", 0, 20), word("b", 24, 60), word("c", 25, 40)});
    int index = 0;
    QString line;
    EXPECT_TRUE(Recognition::ReadNextLine(words, index, line));
    EXPECT_EQ(line, QStringLiteral("ab"));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(Recognition::ReadNextLine(words, index, line));
    EXPECT_EQ(line, QStringLiteral("c"));
    EXPECT_EQ(index, 3);
}

TEST(LineMode, OverlappingBoxesStayOnOneLine) {
    // Any vertical overlap joins, including a word that starts above the first one.
    const MiWords words({word("x", 100, 140), word("y", 139, 180), word("z", 60, 101)});
    EXPECT_EQ(Recognition::LinesOfWords(words), QStringList({QStringLiteral("xyz")}));
}

TEST(LineMode, AWordBelowTheLimitStartsTheNextLineEvenIfLaterWordsWouldFit) {
    const MiWords words({word("a", 0, 20), word("b", 30, 50), word("c", 5, 20)});
    EXPECT_EQ(Recognition::LinesOfWords(words),
              QStringList({QStringLiteral("a"), QStringLiteral("bc")}));
}

TEST(LineMode, ALastWordAloneBecomesItsOwnLine) {
    const MiWords words({word("a", 0, 20), word("b", 2, 20), word("c", 40, 60)});
    EXPECT_EQ(Recognition::LinesOfWords(words),
              QStringList({QStringLiteral("ab"), QStringLiteral("c")}));
}

TEST(LineMode, APageWithoutWordsGivesNoLinesButReadingWordZeroRaises) {
    const MiWords none;
    EXPECT_TRUE(Recognition::LinesOfWords(none).isEmpty());
    int index = 0;
    QString line;
    EXPECT_THROW(Recognition::ReadNextLine(none, index, line), VelaError);
}

TEST(LineMode, AColumnOfVerticalWordsIsALineAndColumnsFollowLeftwards) {
    // Columns 50 pixels wide, 30 apart: a narrow word (、 at the column's right) stays in its
    // column; the next column starts when a word's right edge lies left of the limit; a
    // horizontal word after a column starts a line even where it overlaps it.
    const auto vertical = [](const char* text, int left, int right, int top) {
        return MiWord(QString::fromUtf8(text), {MiRect{left, top, right, top + 50}}, true);
    };
    const MiWords words({vertical("朝から", 200, 250, 0), vertical("、", 230, 248, 150),
                         vertical("雨", 204, 249, 200), vertical("駅", 120, 170, 0),
                         vertical("まで", 117, 166, 50), word("記録", 0, 40)});
    EXPECT_EQ(Recognition::LinesOfWords(words),
              QStringList({QStringLiteral("朝から、雨"), QStringLiteral("駅まで"),
                           QStringLiteral("記録")}));
}

TEST(LineMode, AppliesOnlyToJapaneseWithTheBoxChecked) {
    EXPECT_TRUE(Recognition::UsesLineMode(17, true));
    EXPECT_FALSE(Recognition::UsesLineMode(17, false));
    EXPECT_FALSE(Recognition::UsesLineMode(9, true));
}

TEST(WholeText, SplitsAtEveryKindOfLineBreak) {
    EXPECT_EQ(Recognition::LinesOfText(QStringLiteral("a\r\nb\rc\nd")),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}));
    EXPECT_EQ(Recognition::LinesOfText(QStringLiteral("a\r\n\r\nb\r\n")),
              QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_TRUE(Recognition::LinesOfText(QString()).isEmpty());
}

TEST(WholeText, EveryLineIsFollowedByABreak) {
    EXPECT_EQ(Recognition::JoinLines({QStringLiteral("a"), QStringLiteral("b")}),
              QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(Recognition::JoinLines({}), QString());
}

TEST(WholeText, LayoutChoosesWordsInLineModeAndTextOtherwise) {
    const MiLayout layout(QStringLiteral("one two\r\nthree"),
                          MiWords({word("one", 0, 10), word("two", 0, 10), word("three", 30, 40)}));
    EXPECT_EQ(Recognition::LinesOfLayout(layout, false),
              QStringList({QStringLiteral("one two"), QStringLiteral("three")}));
    EXPECT_EQ(Recognition::LinesOfLayout(layout, true),
              QStringList({QStringLiteral("onetwo"), QStringLiteral("three")}));
}

} // namespace
