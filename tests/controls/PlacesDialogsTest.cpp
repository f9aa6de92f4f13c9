#include "PlacesDialogs.h"

#include "FileDialogDriver.h"
#include "SizeGrip.h"

#include <QCheckBox>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Dialogs owned by a main window, opening in a temporary folder.
class PlacesDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<QWidget>();
        form->setGeometry(50, 60, 400, 300);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    template <class Dialog> std::unique_ptr<Dialog> make() {
        auto d = std::make_unique<Dialog>(form.get());
        d->InitialDir = dir.path();
        d->Filter = QStringLiteral("TXT (*.txt)|*.txt");
        d->Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
        return d;
    }
    // Drags the dialog's size grip by delta.
    static void dragGrip(QFileDialog& dialog, QPoint delta) {
        auto* grip = dialog.findChild<TSizeGrip*>();
        ASSERT_NE(grip, nullptr);
        ASSERT_TRUE(grip->isVisible());
        const QPoint at(8, 8);
        QTest::mousePress(grip, Qt::LeftButton, {}, at);
        QTest::mouseMove(grip, at + delta);
        QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(QCursor::pos()));
    }

    QTemporaryDir dir;
    std::unique_ptr<QWidget> form;
};

TEST_F(PlacesDialogsTest, PlacesBarListsTheExistingStandardFoldersOrIsAbsent) {
    const QList<QUrl> places = TPlacesOpenDialog::Places();
    ASSERT_FALSE(places.isEmpty());
    EXPECT_EQ(places.back(), QUrl::fromLocalFile(QStringLiteral("/")));
    EXPECT_TRUE(places.contains(QUrl::fromLocalFile(QDir::homePath())));
    for (const QUrl& url : places)
        EXPECT_TRUE(QFileInfo(url.toLocalFile()).isDir()) << url.toString().toStdString();

    for (bool placeBar : {true, false}) {
        auto d = make<TPlacesSaveDialog>();
        d->SetPlaceBar(placeBar);
        FileDialogDriver user;
        bool sidebarShown = !placeBar;
        QList<QUrl> shown;
        user.action = [&](QFileDialog& dialog) {
            auto* sidebar = dialog.findChild<QWidget*>(QStringLiteral("sidebar"));
            sidebarShown = sidebar && sidebar->isVisible();
            shown = dialog.sidebarUrls();
        };
        EXPECT_FALSE(d->Execute()) << "cancelled";
        ASSERT_TRUE(user.seen);
        EXPECT_EQ(sidebarShown, placeBar);
        if (placeBar) {
            EXPECT_EQ(shown, places);
        }
    }
}

TEST_F(PlacesDialogsTest, GrowthIsRememberedForTheNextDialogAndTheOpeningSizeIsTheLeast) {
    const QSize earlier = TPlacesOpenDialog::RememberedGrowth().expandedTo({0, 0});
    // Small enough for the dialog's standard size on an 800 x 600 screen.
    const QSize drag(30, 20);
    QSize opened, grown, minimum;
    {
        auto d = make<TPlacesSaveDialog>();
        FileDialogDriver user;
        user.action = [&](QFileDialog& dialog) {
            opened = dialog.size();
            minimum = dialog.minimumSize();
            dragGrip(dialog, QPoint(drag.width(), drag.height()));
            grown = dialog.size();
        };
        EXPECT_FALSE(d->Execute());
    }
    EXPECT_EQ(grown, opened + drag);
    EXPECT_EQ(minimum, opened - earlier) << "the least is the standard size";
    EXPECT_EQ(TPlacesOpenDialog::RememberedGrowth(), earlier + drag);

    // An open dialog shares the growth; it cannot be made smaller than its standard size.
    auto d = make<TPlacesOpenDialog>();
    FileDialogDriver user;
    QSize reopened, standard, shrunk;
    user.action = [&](QFileDialog& dialog) {
        reopened = dialog.size();
        standard = dialog.minimumSize();
        dragGrip(dialog, QPoint(-3000, -3000));
        shrunk = dialog.size();
    };
    EXPECT_FALSE(d->Execute());
    EXPECT_EQ(reopened, standard + drag);
    EXPECT_EQ(shrunk, standard);
    EXPECT_EQ(TPlacesOpenDialog::RememberedGrowth(), QSize(0, 0));
}

TEST_F(PlacesDialogsTest, PlacementIsCentredAThirdDownOrWhereOnSettingPosSays) {
    EXPECT_EQ(TPlacesOpenDialog::CenteredPosition({100, 50, 1000, 700}, {301, 200}),
              QPoint(449, 216));
    EXPECT_EQ(TPlacesOpenDialog::CenteredPosition({0, 0, 800, 600}, {1001, 700}), QPoint(-100, -33))
        << "halves and thirds round toward zero";

    auto d = make<TPlacesSaveDialog>();
    {
        FileDialogDriver user;
        EXPECT_FALSE(d->Execute());
        EXPECT_EQ(user.offer.position, TPlacesOpenDialog::CenteredPosition(
                                           form->screen()->geometry(), user.offer.frame));
    }
    int w = 0, h = 0;
    d->OnSettingPos = [&](QObject* sender, int& x, int& y, int width, int height) {
        EXPECT_EQ(sender, d.get());
        x = 37;
        y = 41;
        w = width;
        h = height;
    };
    FileDialogDriver user;
    EXPECT_FALSE(d->Execute());
    EXPECT_EQ(user.offer.position, QPoint(37, 41));
    EXPECT_EQ(QSize(w, h), user.offer.frame);
}

TEST_F(PlacesDialogsTest, WithoutSizingTheDialogHasNoGripAndKeepsItsSize) {
    auto d = make<TPlacesSaveDialog>();
    d->Options = ofHideReadOnly;
    bool placed = false;
    d->OnSettingPos = [&](QObject*, int&, int&, int, int) { placed = true; };
    FileDialogDriver user;
    bool grip = true, fixed = false;
    user.action = [&](QFileDialog& dialog) {
        grip = dialog.findChild<TSizeGrip*>() != nullptr;
        fixed = dialog.minimumSize() == dialog.maximumSize();
    };
    EXPECT_FALSE(d->Execute());
    EXPECT_FALSE(grip);
    EXPECT_TRUE(fixed);
    EXPECT_TRUE(placed);
}

TEST_F(PlacesDialogsTest, ReadOnlyBoxShowsUnlessHiddenAndGivesItsState) {
    const QString existing = dir.filePath(QStringLiteral("in.txt"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (bool hidden : {false, true}) {
        auto d = make<TPlacesOpenDialog>();
        d->Options = ofFileMustExist | ofEnableSizing;
        if (hidden)
            d->Options |= ofHideReadOnly;
        FileDialogDriver user(existing);
        bool shown = false;
        user.action = [&](QFileDialog& dialog) {
            auto* box = dialog.findChild<QCheckBox*>();
            shown = box && box->isVisible();
            if (shown)
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        };
        EXPECT_TRUE(d->Execute());
        EXPECT_EQ(d->FileName, existing);
        EXPECT_EQ(shown, !hidden);
        EXPECT_EQ(d->Options.testFlag(ofReadOnly), !hidden);
    }
}

TEST_F(PlacesDialogsTest, OverwritingAnExistingFileIsAskedFirst) {
    const QString existing = dir.filePath(QStringLiteral("old.txt"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto d = make<TPlacesSaveDialog>();
    {
        FileDialogDriver user(existing, false);
        EXPECT_FALSE(d->Execute()) << "refused, then cancelled";
        EXPECT_TRUE(user.question.contains(QStringLiteral("old.txt")))
            << user.question.toStdString();
    }
    {
        FileDialogDriver user(existing, true);
        EXPECT_TRUE(d->Execute());
        EXPECT_FALSE(user.question.isEmpty());
        EXPECT_EQ(d->FileName, existing);
    }
    d->Options = ofHideReadOnly | ofEnableSizing;
    FileDialogDriver user(existing);
    EXPECT_TRUE(d->Execute());
    EXPECT_TRUE(user.question.isEmpty()) << "no question without the option";
}

} // namespace
