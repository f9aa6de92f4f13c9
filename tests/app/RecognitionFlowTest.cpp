#include "DropSimulation.h"
#include "Eventually.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "UserInput.h"
#include "WheelComboBox.h"

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// The window with a rendered three-line Japanese page shown, as after a drop.
class RecognitionFlow : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        open();
        form->show();
        page = RenderedPage::SavePng(
            RenderedPage::Paragraph(OcrTexts::Japanese().mid(0, 3), QStringLiteral("IPAMincho")),
            dir.filePath(QStringLiteral("page.png")));
        DropSimulation::DropFiles(form.get(), QPoint(10, 40), {page});
        ASSERT_TRUE(errors.isEmpty());
    }
    // Picks the language in the open list; Japanese with the line box as given.
    void chooseLanguage(int index, bool lineBreaks = true) {
        ASSERT_TRUE(UserInput::ChooseItem(form->cmbLang, index));
        if (index == 1) {
            ASSERT_TRUE(UserInput::SetChecked(form->chkRet, lineBreaks));
        }
    }
    QString dropPage(const QStringList& lines, const QString& font, const QString& name) {
        const QString path =
            RenderedPage::SavePng(RenderedPage::Paragraph(lines, font), dir.filePath(name));
        EXPECT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {path}));
        return path;
    }
    void clickRecognition() { QTest::mouseClick(form->btnRecognition, Qt::LeftButton); }
    // Clicks the recognise button as the user does; probe runs every 20 ms meanwhile.
    void clickRecognitionWhile(const std::function<void()>& probe) {
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, probe);
        timer.start();
        QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
        timer.stop();
    }
    QString page;
};

TEST_F(RecognitionFlow, TheWindowPaintsShowsProgressAndHoldsInputBackWhileAPageIsRead) {
    chooseLanguage(1);
    form->rmm00->setPlainText(QStringLiteral("old"));
    PaintCounter paints(form->rmm00->viewport());
    int ticks = 0;
    int maxProgress = -1;
    bool typedThrough = false;
    clickRecognitionWhile([&] {
        if (++ticks == 1)
            QTest::keyClicks(form->rmm00, QStringLiteral("xyz"));
        form->rmm00->viewport()->update();
        maxProgress = std::max(maxProgress, form->DocView->Progress());
        typedThrough |= form->rmm00->toPlainText().contains(QStringLiteral("xyz"));
        if (form->DocView->Progress() >= 10 && ticks % 10 == 0)
            form->DocView->grab().save(
                QStringLiteral(VELA_SCREENSHOT_DIR "/recognition-progress.png"));
    });
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_GE(ticks, 5);
    EXPECT_GE(paints.Paints, 5);
    EXPECT_GT(maxProgress, 0);
    EXPECT_EQ(form->DocView->Progress(), -1);
    // The keys typed during the run were held back, and arrive after the new text.
    EXPECT_FALSE(typedThrough);
    const QString recognised = form->rmm00->toPlainText();
    EXPECT_TRUE(recognised.startsWith(OcrTexts::Japanese().front().left(4)))
        << recognised.toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->rmm00->toPlainText().count(QStringLiteral("xyz")), 1);
}

TEST_F(RecognitionFlow, EscapeStopsTheRunLeavingTextAndPageAndItCanRunAgain) {
    const QString other = RenderedPage::SavePng(
        RenderedPage::Paragraph(OcrTexts::Japanese().mid(3, 2), QStringLiteral("IPAGothic")),
        dir.filePath(QStringLiteral("other.png")));
    const QSize shownSize = form->DocView->Page().size();
    ASSERT_NE(QImage(other).size(), shownSize);
    form->ImageFile = other;
    chooseLanguage(1, true);
    form->rmm00->setPlainText(QStringLiteral("kept"));
    int ticks = 0;
    clickRecognitionWhile([&] {
        if (++ticks == 2)
            QTest::keyClick(form.get(), Qt::Key_Escape);
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(form->DocView->Page().size(), shownSize);
    EXPECT_EQ(form->DocView->Progress(), -1);
    EXPECT_TRUE(form->btnRecognition->isEnabled());
    EXPECT_EQ(Cursors::ScreenCursor(), Cursors::crDefault);

    QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(form->rmm00->toPlainText().startsWith(OcrTexts::Japanese()[3].left(4)))
        << form->rmm00->toPlainText().toStdString();
    EXPECT_EQ(form->DocView->Page().size(), QImage(other).size());
}

TEST_F(RecognitionFlow, ADroppedPdfShowsItsFirstPageReadsEveryPageAndEscapeKeepsThoseRead) {
    const QStringList english = OcrTexts::English();
    const QString pdf = dir.filePath(QStringLiteral("three.pdf"));
    // The first page is the longest, so that an Escape given as the run starts finds it unread.
    const QList<QStringList> pages{english.mid(0, 3), english.mid(3, 1), english.mid(4, 1)};
    RenderedPage::WriteTextPdf(pdf, pages, QSizeF(170, 60));
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {pdf}));
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    // The first page at 300 dpi (the PDF keeps its size in whole points).
    EXPECT_NEAR(form->DocView->Page().width(), 170 / 25.4 * 300, 2);
    EXPECT_NEAR(form->DocView->Page().height(), 60 / 25.4 * 300, 2);
    ASSERT_TRUE(form->btnRecognition->isEnabled());
    chooseLanguage(0);

    clickRecognition();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    const QStringList read = form->rmm00->toPlainText().split(QStringLiteral("\n\n"));
    ASSERT_EQ(read.size(), 3) << form->rmm00->toPlainText().toStdString();
    for (int p = 0; p < 3; ++p)
        EXPECT_LT(RenderedPage::CharacterErrorRate(pages[p].join(QLatin1Char(' ')), read[p], false),
                  0.05)
            << read[p].toStdString();

    // Escape as the run starts: the first page is finished and kept, no more.
    form->rmm00->setPlainText(QStringLiteral("old"));
    QTimer::singleShot(0, form.get(), [this] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    clickRecognition();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->rmm00->toPlainText().trimmed(), read[0].trimmed());
    EXPECT_EQ(form->DocView->Progress(), -1);
    EXPECT_TRUE(form->btnRecognition->isEnabled());
}

// A Japanese page with English words: the engine's own text keeps the spaces between them,
// the visual lines join every word without one.
TEST_F(RecognitionFlow, TheLineSwitchChoosesVisualLinesOrTheEnginesText) {
    const QStringList truth = {OcrTexts::Japanese()[0],
                               QStringLiteral("駅で New York Times を買い"),
                               OcrTexts::Japanese()[2]};
    dropPage(truth, QStringLiteral("IPAGothic"), QStringLiteral("mixed.png"));
    chooseLanguage(1, true);
    ASSERT_TRUE(UserInput::ChooseFromContextMenu(form->DocView->viewport(), QPoint(20, 20),
                                                 form->set_FitImase1));
    ASSERT_EQ(form->DocView->FitMode(), 1);
    clickRecognition();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    const QString lineMode = form->rmm00->toPlainText();
    const QStringList lines = lineMode.split(QLatin1Char('\n'));
    // Three lines, each followed by a break.
    ASSERT_EQ(lines.size(), 4) << lineMode.toStdString();
    EXPECT_TRUE(lines.back().isEmpty());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(lines[i].contains(QLatin1Char(' ')));
    EXPECT_LT(RenderedPage::CharacterErrorRate(truth.join(QString()), lines.join(QString()), true),
              0.02);
    EXPECT_EQ(form->DocView->FitMode(), 3);
    EXPECT_TRUE(form->btnRecognition->isEnabled());
    EXPECT_TRUE(form->btnTrans->isEnabled());
    EXPECT_EQ(Cursors::ScreenCursor(), Cursors::crDefault);

    ASSERT_TRUE(UserInput::SetChecked(form->chkRet, false));
    clickRecognition();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    const QString whole = form->rmm00->toPlainText();
    EXPECT_TRUE(whole.contains(QStringLiteral("New York Times"))) << whole.toStdString();
    QString joined = whole;
    EXPECT_EQ(joined.remove(QLatin1Char(' ')), lineMode) << "the same words on the same lines";
}

TEST_F(RecognitionFlow, EnglishIgnoresTheLineBoxAndASecondRunReplacesTheText) {
    chooseLanguage(1, true);
    const QString english = dropPage(OcrTexts::English().mid(0, 2), QStringLiteral("DejaVu Serif"),
                                     QStringLiteral("english.png"));
    chooseLanguage(0);
    clickRecognition();
    ASSERT_TRUE(errors.isEmpty());
    const QString text = form->rmm00->toPlainText();
    // Whole-text mode keeps the spaces between English words.
    EXPECT_LT(RenderedPage::CharacterErrorRate(
                  OcrTexts::English().mid(0, 2).join(QLatin1Char('\n')), text, false),
              0.01)
        << text.toStdString();
    EXPECT_EQ(form->DocView->Page().size(), QImage(english).size());

    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {page}));
    chooseLanguage(1);
    clickRecognition();
    EXPECT_NE(form->rmm00->toPlainText(), text);
    EXPECT_TRUE(form->rmm00->toPlainText().startsWith(OcrTexts::Japanese().front().left(4)));
    EXPECT_EQ(form->DocView->Page().size(), QImage(page).size());
}

TEST_F(RecognitionFlow, AnEmptyPageGivesAnEmptyText) {
    QImage blank(600, 400, QImage::Format_Grayscale8);
    blank.fill(Qt::white);
    const QString path = dir.filePath(QStringLiteral("blank.png"));
    blank.save(path);
    DropSimulation::DropFiles(form.get(), QPoint(10, 40), {path});
    form->rmm00->setPlainText(QStringLiteral("old"));
    chooseLanguage(1, true);
    clickRecognition();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->rmm00->toPlainText(), QString());
    EXPECT_FALSE(form->btnTrans->isEnabled());
}

TEST_F(RecognitionFlow, AFailedRecognitionKeepsTheTextAndLeavesTheButtonDisabled) {
    form->rmm00->setPlainText(QStringLiteral("kept"));
    // The image file changed under the window since it was shown.
    QFile damaged(page);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("no longer an image");
    damaged.close();
    clickRecognition();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("page.png")));
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("kept"));
    EXPECT_FALSE(form->btnRecognition->isEnabled());
    EXPECT_EQ(Cursors::ScreenCursor(), Cursors::crDefault);
    // The next shown image enables it again.
    dropPage({QStringLiteral("x")}, QStringLiteral("DejaVu Serif"), QStringLiteral("next.png"));
    EXPECT_TRUE(form->btnRecognition->isEnabled());
}

// A new show of the window forgets the image while the button stays enabled: the click then
// only moves the focus.
TEST_F(RecognitionFlow, WithoutAnImageTheClickOnlyMovesTheFocus) {
    form->hide();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_FALSE(form->ImageLoaded);
    ASSERT_TRUE(form->btnRecognition->isEnabled());
    form->rmm00->setPlainText(QStringLiteral("kept"));
    clickRecognition();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("kept"));
    ASSERT_EVENTUALLY(form->rmm00->hasFocus(), 5000);
}

} // namespace
