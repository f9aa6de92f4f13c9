#include "FileDialogDriver.h"
#include "MainFormFixture.h"
#include "PlacesDialogs.h"
#include "RichEdit.h"
#include "UserInput.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QTest>

class TextPaneTest : public MainFormTest {
protected:
    void TearDown() override {
        user.reset();
        MainFormTest::TearDown();
    }
    // Answers the next save dialog with path (or cancels for an empty one) and records what
    // it offered.
    void answerSave(const QString& path) { user = std::make_unique<FileDialogDriver>(path); }
    void clickSave() { QTest::mouseClick(form->btnSave1, Qt::LeftButton); }
    // Chooses the item from the text's context menu.
    bool choose(QAction* item) {
        return UserInput::ChooseFromContextMenu(form->rmm00->viewport(), QPoint(30, 10), item);
    }
    QString offeredFolder() const { return user->offer.folder; }
    QString offeredName() const { return user->offer.name; }
    QStringList offeredFilters() const { return user->offer.filters; }
    std::unique_ptr<FileDialogDriver> user;
};

TEST_F(TextPaneTest, SavingWritesCrLfLinesSwitchesToPlainTextAndRemembersTheFolder) {
    TfrmMain& f = shown();
    f.rmm00->setHtml(QStringLiteral("<b>日本語</b><p>second</p>"));
    const QString target = dir.filePath(QStringLiteral("sub/out.txt"));
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    answerSave(target);
    f.SavePath = dir.path();
    clickSave();
    EXPECT_EQ(offeredFolder(), dir.path());
    EXPECT_EQ(offeredName(), QStringLiteral("新規.txt"));
    EXPECT_EQ(f.PlacesSaveDialog1->Filter, QStringLiteral("TXT (*.txt)|*.txt"));
    EXPECT_EQ(offeredFilters(), QStringList{QStringLiteral("TXT (*.txt)")});
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QStringLiteral("日本語\r\nsecond\r\n").toUtf8());
    EXPECT_TRUE(f.rmm00->PlainText());
    EXPECT_EQ(f.SavePath, dir.filePath(QStringLiteral("sub")));

    // The next dialog opens there, also after a restart.
    destroyForm();
    TfrmMain& again = shown();
    answerSave(QString());
    again.rmm00->setPlainText(QStringLiteral("x"));
    clickSave();
    EXPECT_EQ(offeredFolder(), dir.filePath(QStringLiteral("sub")));
}

TEST_F(TextPaneTest, FailedSaveIsReportedAndKeepsTheFolder) {
    TfrmMain& f = shown();
    f.rmm00->setPlainText(QStringLiteral("text"));
    f.SavePath = QStringLiteral("/previous");
    answerSave(dir.filePath(QStringLiteral("missing/folder/out.txt")));
    clickSave();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("に書き込めません")));
    EXPECT_EQ(f.SavePath, QStringLiteral("/previous"));
}

TEST_F(TextPaneTest, CancelledSaveWritesNothing) {
    TfrmMain& f = shown();
    f.rmm00->setPlainText(QStringLiteral("text"));
    f.SavePath = QStringLiteral("/previous");
    answerSave(QString());
    clickSave();
    EXPECT_TRUE(user->seen) << "the dialog came up";
    EXPECT_EQ(f.SavePath, QStringLiteral("/previous"));
    EXPECT_FALSE(f.rmm00->PlainText());
}

TEST_F(TextPaneTest, ClipboardMenuCopiesCutsPastesAndSelectsAll) {
    TfrmMain& f = shown();
    const auto actions = f.PopupMenu2->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("コピー"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("切り取り"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("貼り付け"));
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("全て選択"));

    f.rmm00->setPlainText(QStringLiteral("abc"));
    QApplication::clipboard()->clear();
    ASSERT_TRUE(choose(f.run_SelAll));
    ASSERT_TRUE(choose(f.run_Copy));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
    ASSERT_TRUE(choose(f.run_Cut));
    EXPECT_TRUE(f.rmm00->toPlainText().isEmpty());
    EXPECT_FALSE(f.btnTrans->isEnabled());
    ASSERT_TRUE(choose(f.run_Paste));
    ASSERT_TRUE(choose(f.run_Paste));
    EXPECT_EQ(f.rmm00->toPlainText(), QStringLiteral("abcabc"));
    EXPECT_TRUE(f.btnTrans->isEnabled());
}
