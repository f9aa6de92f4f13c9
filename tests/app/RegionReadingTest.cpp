#include "DropSimulation.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "RichEdit.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>

namespace {

// Drags over the page's rectangle (page pixels) in the image pane, as the mouse does.
void dragOver(TMiDocView* view, const QRect& onPage, Qt::KeyboardModifiers modifiers = {}) {
    const auto at = [view](QPoint p) { return view->PageOrigin() + p * view->Scale(); };
    QTest::mousePress(view->viewport(), Qt::LeftButton, modifiers, at(onPage.topLeft()));
    QTest::mouseMove(view->viewport(), at(onPage.center()));
    QTest::mouseMove(view->viewport(), at(onPage.bottomRight()));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, modifiers, at(onPage.bottomRight()));
}

TEST_F(MainFormTest, RegionsDrawnOnTheImageAreReadAloneInTheirOrderUntilTheWholeImageIsRead) {
    shown();
    const QStringList left = OcrTexts::English().mid(0, 2);
    const QStringList right = OcrTexts::English().mid(3, 2);
    const QImage a = RenderedPage::Paragraph(left, QStringLiteral("DejaVu Serif"));
    const QImage b = RenderedPage::Paragraph(right, QStringLiteral("DejaVu Serif"));
    const int gap = 150;
    QImage page(a.width() + gap + b.width(), std::max(a.height(), b.height()),
                QImage::Format_Grayscale8);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        painter.drawImage(0, 0, a);
        painter.drawImage(a.width() + gap, 0, b);
    }
    const QString file =
        RenderedPage::SavePng(page, dir.filePath(QStringLiteral("two-columns.png")));
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {file}));
    const auto cer = [](const QStringList& truth, const QString& read) {
        return RenderedPage::CharacterErrorRate(truth.join(QLatin1Char(' ')), read, false);
    };

    dragOver(form->DocView, QRect(a.width() + gap / 2, 0, b.width() + gap / 2, b.height()));
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    const QString first = form->rmm00->toPlainText();
    EXPECT_LT(cer(right, first), 0.02) << first.toStdString();
    EXPECT_FALSE(first.contains(QStringLiteral("fox")) || first.contains(QStringLiteral("scanner")))
        << first.toStdString();
    EXPECT_EQ(form->DocView->Regions().size(), 1);
    EXPECT_EQ(form->DocView->Page(), page.convertToFormat(form->DocView->Page().format()))
        << "the whole page stays shown";

    dragOver(form->DocView, QRect(0, 0, a.width() + gap / 2, a.height()), Qt::ControlModifier);
    const QString both = form->rmm00->toPlainText();
    ASSERT_TRUE(both.startsWith(first)) << both.toStdString();
    EXPECT_LT(cer(left, both.mid(first.size())), 0.02) << both.toStdString();
    EXPECT_EQ(form->DocView->Regions().size(), 2);

    // A new rectangle without Ctrl starts again.
    dragOver(form->DocView, QRect(0, 0, a.width() + gap / 2, a.height()));
    EXPECT_LT(cer(left, form->rmm00->toPlainText()), 0.02);
    EXPECT_EQ(form->DocView->Regions().size(), 1);

    QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
    const QString whole = form->rmm00->toPlainText();
    EXPECT_TRUE(whole.contains(QStringLiteral("fox")) && whole.contains(QStringLiteral("counted")))
        << whole.toStdString();
    EXPECT_TRUE(form->DocView->Regions().isEmpty());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

} // namespace
