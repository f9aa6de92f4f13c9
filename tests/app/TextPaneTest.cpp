#include "MainFormFixture.h"

#include "RichEdit.h"
#include "FileDialogDriver.h"
#include "PlacesDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>

class TextPaneTest : public MainFormTest {
protected:
    void TearDown() override {
        user.reset();
        MainFormTest::TearDown();
    }
    // Answers the next save dialog with path (or cancels for an empty one) and records what
    // it offered.
    void answerSave(const QString& path) { user = std::make_unique<FileDialogDriver>(path); }
    QString offeredFolder() const { return user->offer.folder; }
    QString offeredName() const { return user->offer.name; }
    QStringList offeredFilters() const { return user->offer.filters; }
    std::unique_ptr<FileDialogDriver> user;
};

TEST_F(TextPaneTest, SavingWritesCrLfLinesSwitchesToPlainTextAndRemembersTheFolder) {
    TfrmMain& f = open();
    f.rmm00->setHtml(QStringLiteral("<b>日本語</b><p>second</p>"));
    const QString target = dir.filePath(QStringLiteral("sub/out.txt"));
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    answerSave(target);
    f.SavePath = dir.path();
    f.btnSave1Click();
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
    TfrmMain& again = open();
    answerSave(QString());
    again.rmm00->setPlainText(QStringLiteral("x"));
    again.btnSave1Click();
    EXPECT_EQ(offeredFolder(), dir.filePath(QStringLiteral("sub")));
}

TEST_F(TextPaneTest, FailedSaveIsReportedAndKeepsTheFolder) {
    TfrmMain& f = open();
    f.rmm00->setPlainText(QStringLiteral("text"));
    f.SavePath = QStringLiteral("/previous");
    answerSave(dir.filePath(QStringLiteral("missing/folder/out.txt")));
    Guard([&] { f.btnSave1Click(); });
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("に書き込めません")));
    EXPECT_EQ(f.SavePath, QStringLiteral("/previous"));
}

TEST_F(TextPaneTest, CancelledSaveWritesNothing) {
    TfrmMain& f = open();
    f.rmm00->setPlainText(QStringLiteral("text"));
    f.SavePath = QStringLiteral("/previous");
    answerSave(QString());
    f.btnSave1Click();
    EXPECT_EQ(f.SavePath, QStringLiteral("/previous"));
    EXPECT_FALSE(f.rmm00->PlainText());
}

TEST_F(TextPaneTest, ClipboardMenuCopiesCutsPastesAndSelectsAll) {
    TfrmMain& f = open();
    const auto actions = f.PopupMenu2->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("コピー"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("切り取り"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("貼り付け"));
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("全て選択"));

    f.rmm00->setPlainText(QStringLiteral("abc"));
    f.run_SelAll->trigger();
    f.run_Copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
    f.run_Cut->trigger();
    EXPECT_TRUE(f.rmm00->toPlainText().isEmpty());
    EXPECT_FALSE(f.btnTrans->isEnabled());
    f.run_Paste->trigger();
    f.run_Paste->trigger();
    EXPECT_EQ(f.rmm00->toPlainText(), QStringLiteral("abcabc"));
    EXPECT_TRUE(f.btnTrans->isEnabled());
}
