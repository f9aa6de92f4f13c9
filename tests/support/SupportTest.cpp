#include "Cursors.h"
#include "Support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include "RichEdit.h"

#include <QScrollBar>
#include <QTextFrame>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

TEST(RightChars, TakesTheTailOrAllOfAShortString) {
    EXPECT_EQ(RightChars(QStringLiteral("009"), 2), QStringLiteral("09"));
    EXPECT_EQ(RightChars(QStringLiteral("7"), 2), QStringLiteral("7"));
    EXPECT_EQ(RightChars(QString(), 2), QString());
    EXPECT_EQ(RightChars(QStringLiteral("abc"), 0), QString());
}

TEST(MakeTimeStamp, IsSixDigitsOfTheCurrentTime) {
    const QString stamp = MakeTimeStamp();
    ASSERT_TRUE(QRegularExpression(QStringLiteral("^\\d{6}$")).match(stamp).hasMatch()) << stamp.toStdString();
    const int h = stamp.left(2).toInt(), m = stamp.mid(2, 2).toInt(), s = stamp.right(2).toInt();
    EXPECT_LT(h, 24);
    EXPECT_LT(m, 60);
    EXPECT_LT(s, 60);
    const int stampSecs = h * 3600 + m * 60 + s;
    const int nowSecs = QTime::currentTime().msecsSinceStartOfDay() / 1000;
    EXPECT_LE((nowSecs - stampSecs + 86400) % 86400, 2);
}

TEST(ToUtf8, KeepsAsciiAndEncodesJapaneseInThreeBytes) {
    EXPECT_EQ(ToUtf8(QByteArray("http://a/[1].html")), QByteArray("http://a/[1].html"));
    EXPECT_EQ(ToUtf8(QByteArray()), QByteArray());
    const QByteArray systemText = QStringLiteral("翻訳ｱ").toLocal8Bit();
    const QByteArray utf8 = ToUtf8(systemText);
    EXPECT_EQ(utf8.size(), 9); // half-width katakana takes three bytes too
    EXPECT_EQ(QString::fromUtf8(utf8), QStringLiteral("翻訳ｱ"));
}

TEST(ToUtf8, StopsAtTheFirstZero) {
    EXPECT_EQ(ToUtf8(QByteArray("ab\0cd", 5)), QByteArray("ab"));
}

TEST(ReplaceCursor, SwitchesOnlyControlsShowingTheOldCursorIncludingNestedOnes) {
    QWidget form;
    auto* panel = new QWidget(&form);
    auto* nested = new QPushButton(panel);
    auto* other = new QCheckBox(&form);
    auto* plain = new QWidget(&form);
    Cursors::SetControlCursor(nested, Cursors::crHandPoint);
    Cursors::SetControlCursor(other, Cursors::crHourGlass);
    new QTimer(&form); // not a control: skipped
    Cursors::LoadCustomHand();
    ReplaceCursor(&form, Cursors::crHandPoint, Cursors::crCustomHand);
    EXPECT_EQ(Cursors::ControlCursor(nested), Cursors::crCustomHand);
    EXPECT_EQ(Cursors::ControlCursor(other), Cursors::crHourGlass);
    EXPECT_EQ(Cursors::ControlCursor(plain), Cursors::crDefault);
    EXPECT_EQ(nested->cursor().shape(), Qt::BitmapCursor);
}

TEST(SetTextMargins, InsetsTheTextAreaAndSurvivesNewContent) {
    RichEdit edit;
    edit.resize(200, 100);
    edit.show();
    SetTextMargins(&edit, 4, 6);
    edit.setPlainText(QStringLiteral("abc"));
    EXPECT_EQ(edit.FormatMargins(), QMargins(4, 6, 4, 6));
    const QRect area = edit.viewport()->geometry();
    const QRect client = edit.contentsRect();
    EXPECT_EQ(area.left() - client.left(), 4);
    EXPECT_EQ(area.top() - client.top(), 6);
    EXPECT_EQ(client.bottom() - area.bottom(), 6 + (edit.horizontalScrollBar()->isVisible() ? edit.horizontalScrollBar()->height() : 0));
}
