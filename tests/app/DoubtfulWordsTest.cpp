#include "DoubtfulWords.h"

#include "DropSimulation.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "WordList.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTextEdit>
#include <algorithm>

namespace {

QList<QTextEdit::ExtraSelection> marks(const TfrmMain& form) {
    return form.rmm00->extraSelections();
}

// Three clean lines over a fourth whose right part is blurred and speckled: read, but unsure.
TEST_F(MainFormTest, DoubtfulWordsAreMarkedPointedOutByF8AndUnmarkedWhenEdited) {
    shown();
    const QImage clean =
        RenderedPage::Paragraph(OcrTexts::English().mid(0, 4), QStringLiteral("DejaVu Serif"));
    QImage page = clean.convertToFormat(QImage::Format_Grayscale8);
    // The last line's ink: the last run of rows with dark pixels.
    const auto inked = [&page](int y) {
        const uchar* row = page.constScanLine(y);
        return std::any_of(row, row + page.width(), [](uchar v) { return v < 128; });
    };
    int bottom = page.height() - 1;
    while (bottom > 0 && !inked(bottom))
        --bottom;
    int top = bottom;
    while (top > 0 && inked(top - 1))
        --top;
    const QRect smeared(page.width() * 3 / 5, top - 4, page.width() * 2 / 5, bottom - top + 9);
    {
        const QImage part = page.copy(smeared);
        const QImage blurred =
            part.scaled(part.size() / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .scaled(part.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&page);
        painter.drawImage(smeared.topLeft(), blurred);
    }
    QRandomGenerator noise(7);
    for (int i = 0; i < smeared.width() * smeared.height() / 25; ++i)
        page.setPixel(smeared.x() + int(noise.bounded(smeared.width())),
                      smeared.y() + int(noise.bounded(smeared.height())),
                      noise.bounded(2) ? 0 : 255);
    const QString file = RenderedPage::SavePng(page, dir.filePath(QStringLiteral("smeared.png")));
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {file}));
    QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    const QString text = form->rmm00->toPlainText();
    ASSERT_EQ(form->DocView->Page().size(), page.size()) << "the page is shown as read";

    const auto found = marks(*form);
    ASSERT_FALSE(found.isEmpty()) << text.toStdString();
    for (const auto& mark : found)
        EXPECT_NE(mark.format.underlineStyle(), QTextCharFormat::NoUnderline);
    // F8 goes through the marks in the text's order, each pointed out where it was read.
    int previous = -1;
    for (int i = 0; i < int(found.size()); ++i) {
        QTest::keyClick(form->rmm00, Qt::Key_F8);
        const QTextCursor selected = form->rmm00->textCursor();
        EXPECT_GT(selected.selectionStart(), previous);
        if (i == 0)
            form->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/doubtful-words.png"));
        previous = selected.selectionStart();
        EXPECT_TRUE(form->DocView->Marked().intersects(smeared))
            << selected.selectedText().toStdString() << " is not where the page was smeared";
    }
    QTest::keyClick(form->rmm00, Qt::Key_F8);
    EXPECT_EQ(form->rmm00->textCursor().selectionStart(), found.front().cursor.selectionStart())
        << "after the last, the first again";

    // The marks reach neither the clipboard nor the text.
    QTest::keyClick(form->rmm00, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form->rmm00, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->text(), text);
    EXPECT_FALSE(copied->html().contains(QStringLiteral("underline")))
        << copied->html().toStdString();

    // Typing over a marked word removes its mark, the others stay.
    QTest::keyClick(form->rmm00, Qt::Key_F8);
    QTest::keyClicks(form->rmm00, QStringLiteral("fixed"));
    EXPECT_EQ(marks(*form).size(), found.size() - 1);
    EXPECT_EQ(form->rmm00->toPlainText().count(QStringLiteral("fixed")), 1);
}

// In English the characters' confidence and the dictionary decide, not the word's confidence
// alone; Japanese words, without a dictionary, by that confidence.
TEST(DoubtfulWordsRule, EnglishWordsAreJudgedByTheirCharactersAndTheDictionary) {
    ASSERT_TRUE(WordList::English().Available());
    struct Case {
        QString text;
        float word, glyphs;
        QString other;
        bool english, doubtful;
    };
    const Case cases[] = {
        {QStringLiteral("approached"), 40, 99.5f, {}, true, false},     // a hesitant right word
        {QStringLiteral("Theresienstadt"), 91, 99.0f, {}, true, false}, // a name, surely read
        {QStringLiteral("1938"), 60, 99.4f, {}, true, false},
        {QStringLiteral("itely"), 85, 98.0f, {}, true, true},
        {QStringLiteral("25,000"), 90, 96.5f, {}, true, true},
        {QStringLiteral("testitself,"), 66, 99.5f, {}, true, true}, // a space lost
        {QStringLiteral("oompletely"), 92, 99.4f, QStringLiteral("completely"), true, true},
        {QStringLiteral("の大半を"), 60, 99.5f, {}, false, true},
        {QStringLiteral("の大半を"), 90, 90.0f, {}, false, false},
    };
    QTextEdit edit;
    DoubtfulWords marks(&edit);
    for (const Case& c : cases) {
        edit.setPlainText(QStringLiteral("word ") + c.text);
        marks.Clear();
        marks.Mark(MiWords({MiWord(c.text, {{0, 0, 10, 10}}, false, c.word, c.glyphs, c.other)}),
                   c.english);
        EXPECT_EQ(marks.Count(), c.doubtful ? 1 : 0) << c.text.toStdString();
    }
}

} // namespace
