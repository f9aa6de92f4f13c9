#include "ImageIntake.h"

#include "BoundedDecode.h"
#include "DropSimulation.h"
#include "FileDialogDriver.h"
#include "MainFormFixture.h"
#include "MiDocView.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "PlacesDialogs.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "UserInput.h"
#include "VelaError.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <leptonica/allheaders.h>
#include <optional>
#include <unistd.h>

namespace {

// A page that takes longer than the bound is given up with a message naming the file.
TEST(BoundedDecode, ThePageIsDecodedBesideTheWindowWithinItsBound) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QImage page(2400, 3000, QImage::Format_Grayscale8);
    for (int y = 0; y < page.height(); ++y)
        std::fill_n(page.scanLine(y), page.width(), uchar(y * 7));
    ASSERT_TRUE(page.save(path));
    const std::shared_ptr<MiDocument> document = BoundedDecode::OpenFirstPage(path, 60000);
    EXPECT_EQ(pixGetWidth(document->Page()), 2400);
    try {
        BoundedDecode::OpenFirstPage(path, 0);
        ADD_FAILURE() << "no bound";
    } catch (const VelaError& e) {
        EXPECT_TRUE(e.Message().contains(path) &&
                    e.Message().contains(QStringLiteral("やめました")))
            << e.Message().toStdString();
    }
}

TEST(ImageIntakeExtensions, SubstringRuleOfTheExtensionLists) {
    using ImageIntake::IsImageFile;
    using ImageIntake::IsTextFile;
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/PHOTO.JPG")));
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/photo.jpg")));
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/photo.jp")));
    EXPECT_FALSE(IsImageFile(QStringLiteral("/a/scan.jpeg")));
    // Documents of pages are named whole, outside the substring rule.
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/scan.TIF")));
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/book.pdf")));
    EXPECT_FALSE(IsImageFile(QStringLiteral("/a/scan.ti")));
    EXPECT_FALSE(IsImageFile(QStringLiteral("/a/README")));
    // The extension is the name's own: a dot in a folder name does not count.
    EXPECT_FALSE(IsImageFile(QStringLiteral("/a/b.png/README")));
    EXPECT_TRUE(IsTextFile(QStringLiteral("/a/notes.RTF")));
    EXPECT_FALSE(IsTextFile(QStringLiteral("/a/notes.rtf.bak")));
    EXPECT_TRUE(IsImageFile(QStringLiteral("/a/odd.")));
    EXPECT_TRUE(IsTextFile(QStringLiteral("/a/odd.")));
}

class ImageIntakeTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        open();
        form->show();
    }
    void TearDown() override { MainFormTest::TearDown(); }

    QString image(const QString& name, int width, int height) {
        QImage page(width, height, QImage::Format_Grayscale8);
        page.fill(Qt::white);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(page.save(path, "PNG"));
        return path;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void drop(const QStringList& files) {
        // Onto the text pane: the whole window is the drop target.
        const QPoint at = form->rmm00->mapTo(form.get(), QPoint(20, 20));
        EXPECT_TRUE(DropSimulation::DropFiles(form.get(), at, files));
    }
};

TEST_F(ImageIntakeTest, ThreeDroppedImagesShowOnlyTheFirst) {
    const QString first = image(QStringLiteral("first.png"), 300, 200);
    drop({first, image(QStringLiteral("second.png"), 120, 400),
          image(QStringLiteral("third.bmp"), 50, 50)});
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->ImageFile, first);
    EXPECT_TRUE(form->ImageLoaded);
    EXPECT_EQ(form->DocView->Page().size(), QSize(300, 200));
    EXPECT_EQ(form->DocView->FitMode(), 3);
    EXPECT_TRUE(form->btnRecognition->isEnabled());
    EXPECT_TRUE(form->rmm00->hasFocus() || !QApplication::focusWidget());
}

TEST_F(ImageIntakeTest, ADroppedRtfFileLoadsAsFormattedText) {
    form->rmm00->SetPlainText(true);
    drop({file(QStringLiteral("notes.RTF"), "{\\rtf1\\ansi {\\b Bold} plain\\par second}")});
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("Bold plain\nsecond"));
    EXPECT_FALSE(form->rmm00->PlainText());
    EXPECT_EQ(form->rmm00->document()->begin().begin().fragment().charFormat().fontWeight(),
              QFont::Bold);
    EXPECT_TRUE(form->btnSave1->isEnabled());
    EXPECT_TRUE(form->ImageFile.isEmpty());
}

TEST_F(ImageIntakeTest, AJpegNameIsNeitherImageNorText) {
    form->rmm00->setPlainText(QStringLiteral("before"));
    drop({image(QStringLiteral("scan.jpeg"), 100, 100)});
    EXPECT_TRUE(form->ImageFile.isEmpty());
    EXPECT_FALSE(form->DocView->HasPage());
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("before"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ImageIntakeTest, ANameEndingInADotIsShownAndLoadedAsText) {
    const QString odd = dir.filePath(QStringLiteral("odd."));
    QFile::copy(image(QStringLiteral("page.png"), 200, 100), odd);
    drop({odd});
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->ImageFile, odd);
    EXPECT_EQ(form->DocView->Page().size(), QSize(200, 100));
    EXPECT_TRUE(form->rmm00->toPlainText().contains(QStringLiteral("PNG")));

    // Text under such a name cannot be shown, but it is still loaded.
    const QString notes = file(QStringLiteral("notes."), "just words");
    drop({notes});
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(form->ImageFile, notes);
    EXPECT_EQ(form->DocView->Page().size(), QSize(200, 100));
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("just words"));
}

TEST_F(ImageIntakeTest, TextFilesArriveInTheirEncoding) {
    const QString japanese = QStringLiteral("日本語のテキストです。\r\n二行目、ｶﾅも。\r\n");
    QStringEncoder sjis("Shift_JIS");
    drop({file(QStringLiteral("sjis.txt"), sjis(japanese))});
    EXPECT_EQ(form->rmm00->toPlainText(),
              QStringLiteral("日本語のテキストです。\n二行目、ｶﾅも。\n"));
    QStringEncoder euc("EUC-JP");
    drop({file(QStringLiteral("euc.dat"), euc(QStringLiteral("漢字と仮名")))});
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("漢字と仮名"));
    drop({file(QStringLiteral("utf8.def"), QStringLiteral("ユニコード").toUtf8())});
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("ユニコード"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ImageIntakeTest, BadImagesAreReportedAndChangeNothing) {
    const QString good = image(QStringLiteral("good.png"), 320, 240);
    drop({good});
    form->rmm00->setPlainText(QStringLiteral("kept"));
    const QImage shown = form->DocView->Page();
    const QByteArray png = [&] {
        QFile f(good);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QByteArray huge("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x01\0\0\0\0", 29);
    huge += QByteArray(4, '\0'); // the header's checksum is not what refuses it
    const QStringList bad{file(QStringLiteral("empty.png"), {}),
                          file(QStringLiteral("cut.png"), png.left(png.size() / 2)),
                          file(QStringLiteral("words.png"), "only some words\n"),
                          file(QStringLiteral("huge.png"), huge),
                          dir.filePath(QStringLiteral("gone.png"))};
    for (const QString& path : bad) {
        errors.clear();
        drop({path});
        ASSERT_EQ(errors.size(), 1) << path.toStdString();
        EXPECT_TRUE(errors.front().endsWith(QLatin1Char('.')));
        EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("kept"));
        EXPECT_EQ(form->DocView->Page(), shown);
        EXPECT_TRUE(form->btnRecognition->isEnabled());
        EXPECT_EQ(Cursors::ScreenCursor(), Cursors::crDefault);
    }
}

TEST_F(ImageIntakeTest, AnUnreadableTextFileIsReported) {
    const QString locked = file(QStringLiteral("locked.txt"), "secret");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (::access(QFile::encodeName(locked).constData(), R_OK) == 0) {
        // Permissions do not bind root: a folder in the file's place cannot be read either.
        ASSERT_TRUE(QFile::remove(locked));
        ASSERT_TRUE(QDir().mkpath(locked));
    }
    form->rmm00->setPlainText(QStringLiteral("kept"));
    drop({locked});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("locked.txt")));
    EXPECT_EQ(form->rmm00->toPlainText(), QStringLiteral("kept"));
}

TEST_F(ImageIntakeTest, SavingTheImageBeforeAnyOffersANameWithoutExtensionAndCopiesNothing) {
    FileDialogDriver user(dir.filePath(QStringLiteral("copy")));
    QTest::mouseClick(form->btnSave0, Qt::LeftButton);
    EXPECT_EQ(user.offer.name, QStringLiteral("新規"));
    EXPECT_EQ(form->PlacesSaveDialog1->Filter, QStringLiteral("BMP (*)|*"));
    EXPECT_EQ(user.offer.filters, QStringList{QStringLiteral("BMP (*)")});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("copy"))));
    EXPECT_EQ(form->SavePath, dir.path());
    // Nothing to save is said, not passed over.
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().startsWith(QStringLiteral("There is no image to save")));
}

TEST_F(ImageIntakeTest, AnImageCopyThatFailsIsShownAndKeepsTheTarget) {
    const QString source = image(QStringLiteral("scan.png"), 32, 32);
    drop({source});
    ASSERT_TRUE(errors.isEmpty());
    const QString target = file(QStringLiteral("kept.png"), "old content");
    // The image shown was deleted since.
    ASSERT_TRUE(QFile::remove(source));
    FileDialogDriver user(target);
    QTest::mouseClick(form->btnSave0, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("scan.png")))
        << errors.front().toStdString();
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old content"));
}

TEST_F(ImageIntakeTest, SavingTheImageGivesAWritableCopyOfAReadOnlySource) {
    const QString source = image(QStringLiteral("Scan.BMP"), 64, 64);
    QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    drop({source});
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    const QString target = dir.filePath(QStringLiteral("out/saved.BMP"));
    file(QStringLiteral("out/saved.BMP"), "old content");
    form->SavePath = dir.filePath(QStringLiteral("in"));
    QDir(dir.path()).mkdir(QStringLiteral("in"));
    std::optional<FileDialogDriver> user(std::in_place, target);
    QTest::mouseClick(form->btnSave0, Qt::LeftButton);
    EXPECT_EQ(user->offer.folder, dir.filePath(QStringLiteral("in")));
    EXPECT_EQ(user->offer.name, QStringLiteral("新規.BMP"));
    EXPECT_EQ(user->offer.filters, QStringList{QStringLiteral("BMP (*.BMP)")});
    EXPECT_FALSE(user->question.isEmpty()) << "the old copy is replaced only when confirmed";
    EXPECT_EQ(form->SavePath, dir.filePath(QStringLiteral("out")));
    QFile a(source), b(target);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    EXPECT_TRUE(QFileInfo(target).permissions() & QFileDevice::WriteOwner);
    // Saving the image onto itself keeps it.
    user.emplace(source);
    QTest::mouseClick(form->btnSave0, Qt::LeftButton);
    EXPECT_GT(QFileInfo(source).size(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

// Each item of the viewer's context menu, chosen with the mouse, sets its fit mode.
TEST_F(ImageIntakeTest, TheFitModeMenuSetsTheViewersMode) {
    drop({image(QStringLiteral("page.png"), 400, 600)});
    QWidget* viewer = form->DocView->viewport();
    const QPoint inside(viewer->width() / 2, viewer->height() / 2);
    ASSERT_TRUE(UserInput::ChooseFromContextMenu(viewer, inside, form->set_FitImase1));
    EXPECT_EQ(form->DocView->FitMode(), 1);
    ASSERT_TRUE(UserInput::ChooseFromContextMenu(viewer, inside, form->set_FitImase2));
    EXPECT_EQ(form->DocView->FitMode(), 2);
    ASSERT_TRUE(UserInput::ChooseFromContextMenu(viewer, inside, form->set_FitImase3));
    EXPECT_EQ(form->DocView->FitMode(), 3);
}

} // namespace
