#include "DropSimulation.h"
#include "Eventually.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "RichEdit.h"

#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>

namespace {

class ClipboardPaste : public MainFormTest {
protected:
    // Another program owns the clipboard and offers the file's bytes as a PNG.
    void copyWithXclip(const QString& file) {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"),
                     file});
        ASSERT_TRUE(xclip.waitForFinished(10000));
        ASSERT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
        // As a user pastes after the copy, not while the clipboard is changing hands.
        QFile bytes(file);
        ASSERT_TRUE(bytes.open(QIODevice::ReadOnly));
        const QByteArray offered = bytes.readAll();
        ASSERT_EVENTUALLY(
            QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")) == offered,
            5000);
    }
    void pasteIntoImagePane() {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::mouseClick(form->DocView->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_EVENTUALLY(form->DocView->hasFocus(), 5000);
        QTest::keyClick(form->DocView, Qt::Key_V, Qt::ControlModifier);
    }
    QString recognised() {
        form->rmm00->setPlainText(QString());
        QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
        return form->rmm00->toPlainText();
    }
};

TEST_F(ClipboardPaste, APictureCopiedByAnotherProgramIsTakenAsTheSameFileDropped) {
    shown();
    const QString page = RenderedPage::SavePng(
        RenderedPage::Paragraph(OcrTexts::English().mid(0, 2), QStringLiteral("DejaVu Serif")),
        dir.filePath(QStringLiteral("page.png")));
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {page}));
    const QImage dropped = form->DocView->Page();
    const QString droppedText = recognised();
    ASSERT_FALSE(droppedText.trimmed().isEmpty());

    const QString other = RenderedPage::SavePng(
        RenderedPage::Paragraph({QStringLiteral("other")}, QStringLiteral("DejaVu Serif")),
        dir.filePath(QStringLiteral("other.png")));
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {other}));
    copyWithXclip(page);
    pasteIntoImagePane();
    ASSERT_EVENTUALLY(form->DocView->Page() == dropped, 10000);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    QFile pasted(form->ImageFile), original(page);
    ASSERT_TRUE(pasted.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(pasted.readAll(), original.readAll()) << "the picture's own bytes, not decoded";
    EXPECT_EQ(recognised(), droppedText);

    // A picture too large for the window is refused by the same check, before it is decoded.
    QByteArray huge("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x01\0\0\0\0", 29);
    huge += QByteArray(4, '\0');
    QFile hugeFile(dir.filePath(QStringLiteral("huge.png")));
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.write(huge) == huge.size());
    hugeFile.close();
    ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {hugeFile.fileName()}));
    ASSERT_EQ(errors.size(), 1);
    const QString droppedError = errors.takeFirst();
    copyWithXclip(hugeFile.fileName());
    pasteIntoImagePane();
    ASSERT_EVENTUALLY(errors.size() == 1, 10000);
    EXPECT_EQ(errors.front(), QString(droppedError).replace(hugeFile.fileName(), form->ImageFile));
    EXPECT_EQ(form->DocView->Page(), dropped) << "the page shown before stays";
}

} // namespace
