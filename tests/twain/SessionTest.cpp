#include "TwainFixture.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

using Errors = std::vector<std::pair<int, int>>;

// Runs action on the next modal dialog that appears (the manager's selection dialog).
void onModalDialog(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

void choose(QWidget* dialog, int row, const char* button) {
    dialog->findChild<QListWidget*>()->setCurrentRow(row);
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == QString::fromUtf8(button))
            QTest::mouseClick(b, Qt::LeftButton);
}

using SessionTest = TwainFixture;

TEST_F(SessionTest, CallsBeforeLoadingAnswerOneAndReportNothing) {
    QString name = "x";
    EXPECT_EQ(twain.OpenSourceManager(), 1);
    twain.SelectSource(true, name);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(twain.ChooseSource("Vela Test Source"), 1);
    EXPECT_EQ(twain.OpenSource(), 1);
    EXPECT_EQ(twain.Acquire(), 1);
    EXPECT_EQ(twain.CloseSession(), 1);
    EXPECT_TRUE(errors.empty());

    TTwainAcquire::SetLibraryFolder(dir.path());
    EXPECT_FALSE(twain.LoadSourceManager()) << "no manager in that folder";
}

TEST_F(SessionTest, DefaultSourceIsLookedUpAmongTheInstalledSources) {
    ASSERT_TRUE(twain.LoadSourceManager());
    EXPECT_EQ(twain.OpenSourceManager(), 0);
    QString name = "x";
    twain.SelectSource(true, name);
    EXPECT_EQ(name, "Vela Test Source") << "none remembered: the first source found";
    EXPECT_TRUE(errors.empty());

    setDefaultSource("Gone Scanner");
    twain.SelectSource(true, name);
    EXPECT_EQ(name, "Gone Scanner");
    EXPECT_EQ(twain.ChooseSource(name), 7);
    EXPECT_EQ(errors, (Errors{{3, 7}}));

    errors.clear();
    setDefaultSource("Vela Test Source");
    twain.SelectSource(true, name);
    EXPECT_EQ(twain.ChooseSource(name), 0);
    EXPECT_EQ(twain.OpenSource(), 0);
    EXPECT_EQ(twain.SourceIdentity().Id, 1u);
    EXPECT_EQ(twain.CloseSession(), 0);
    EXPECT_TRUE(twain.UnloadSourceManager());
    EXPECT_TRUE(errors.empty());

    // No source at all: the raw failure, and no name.
    ASSERT_TRUE(QFile::remove(sources("test.ds")));
    ASSERT_TRUE(twain.LoadSourceManager());
    twain.OpenSourceManager();
    twain.SelectSource(true, name);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(errors, (Errors{{3, 1}}));
    twain.CloseSession();
    twain.UnloadSourceManager();
}

TEST_F(SessionTest, TransferCountAnswersAndConditionCodes) {
    setDefaultSource("Vela Test Source");
    script("xfercount checkstatus\nevent none\n");
    ASSERT_TRUE(twain.LoadSourceManager());
    twain.OpenSourceManager();
    QString name;
    twain.SelectSource(true, name);
    twain.ChooseSource(name);
    EXPECT_EQ(twain.OpenSource(), 0) << "the accepted value was read back";
    twain.CloseSession();

    script("xfercount failure 0\n");
    twain.OpenSourceManager();
    twain.ChooseSource(name);
    EXPECT_EQ(twain.OpenSource(), 1) << "a condition code of 0 gives 1, not 0x8000";
    twain.CloseSession();

    script("open failure 4\n");
    twain.OpenSourceManager();
    twain.ChooseSource(name);
    EXPECT_EQ(twain.OpenSource(), 0x8004);
    twain.CloseSession();
    twain.UnloadSourceManager();
    EXPECT_EQ(errors, (Errors{{4, 1}, {4, 0x8004}}));
}

TEST_F(SessionTest, OutOfSequenceCallsAreRefusedByTheManager) {
    ASSERT_TRUE(twain.LoadSourceManager());
    EXPECT_EQ(twain.OpenSource(), 0x8000 + TWCC_SEQERROR) << "manager not open";
    EXPECT_EQ(twain.OpenSourceManager(), 0);
    EXPECT_EQ(twain.OpenSourceManager(), 0x8000 + TWCC_SEQERROR) << "opened twice";
    EXPECT_EQ(twain.Acquire(), 0x8000 + TWCC_BADDEST) << "no source open";
    EXPECT_EQ(twain.ChooseSource("Vela Test Source"), 0);
    EXPECT_EQ(twain.OpenSource(), 0);
    EXPECT_EQ(twain.OpenSource(), 0x8000 + TWCC_SEQERROR) << "source opened twice";
    EXPECT_EQ(twain.TransferImages(), 0x8000 + TWCC_SEQERROR) << "nothing ready";
    EXPECT_EQ(twain.CloseSession(), 0);
    EXPECT_TRUE(twain.UnloadSourceManager());
}

TEST_F(SessionTest, IdentityFieldsReachTheSourceCutInsideTheirField) {
    setDefaultSource("Vela Test Source");
    script("log " + dir.filePath("log.txt").toUtf8() + "\nevent close\n");
    twain.SetAppInfo(QString(40, QLatin1Char('V')));
    twain.SetAppVersionMajorNum(2);
    twain.SetLanguage(68);
    twain.SetCountry(81);
    scan();
    QFile log(dir.filePath("log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray line = log.readLine().trimmed();
    ASSERT_TRUE(line.startsWith("identity "));
    std::vector<int> bytes;
    for (const QByteArray& b : line.mid(9).split(','))
        bytes.push_back(b.toInt());
    ASSERT_EQ(bytes.size(), sizeof(TW_IDENTITY));
    EXPECT_EQ(bytes[0], 1) << "the manager gave the application its Id";
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(bytes[8], 68);
    EXPECT_EQ(bytes[10], 81);
    for (int i = 12; i < 12 + 33; ++i)
        EXPECT_EQ(bytes[i], 'V') << i;
    EXPECT_EQ(bytes[12 + 33], 0) << "the text ends inside its 34-byte field";
    EXPECT_EQ(bytes[46], 1) << "ProtocolMajor follows the field";
    EXPECT_EQ(bytes[48], 8);
    EXPECT_EQ(bytes[50], DG_IMAGE);
    EXPECT_EQ(errors, (Errors{{5, 3}})) << "the close request";
}

TEST_F(SessionTest, AnExceptionInBetweenStillClosesAndUnloads) {
    setDefaultSource("Vela Test Source");
    script("image 10 10 24\nimage 10 10 24\n");
    twain.OnNewImage = [](QObject*, QString&, TW_IMAGEINFO&, int) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(scan(), std::runtime_error);
    twain.OnNewImage = nullptr;
    // A fresh session works: the source and the manager were closed, the library released.
    EXPECT_EQ(scan(), 0);
    EXPECT_TRUE(QFile::exists("tmp1.bmp"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(SessionTest, SelectionDialogChoosesTheDefaultSource) {
    script("source Scanner A\nsource Scanner B\n");
    ASSERT_TRUE(twain.LoadSourceManager());
    twain.OpenSourceManager();
    QString name;
    onModalDialog([this](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "ソースの選択");
        dialog->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/twain_select_source.png"));
        choose(dialog, 1, "選択");
    });
    twain.SelectSource(false, name);
    EXPECT_EQ(name, "Scanner B");
    EXPECT_EQ(defaultSource(), "Scanner B");

    onModalDialog([](QWidget* dialog) { choose(dialog, 0, "キャンセル"); });
    twain.SelectSource(false, name);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(defaultSource(), "Scanner B");
    EXPECT_EQ(errors, (Errors{{3, 3}}));

    // An empty name: ChooseSource asks the user too.
    onModalDialog([](QWidget* dialog) { choose(dialog, 0, "選択"); });
    EXPECT_EQ(twain.ChooseSource(QString()), 0);
    EXPECT_EQ(TwainFieldText(twain.SourceIdentity().ProductName), "Scanner A");
    twain.CloseSession();
    twain.UnloadSourceManager();

    // Without sources the manager answers TWCC_NODS.
    QFile::remove(sources("test.ds"));
    errors.clear();
    twain.LoadSourceManager();
    twain.OpenSourceManager();
    twain.SelectSource(false, name);
    EXPECT_EQ(errors, (Errors{{3, 1}}));
    twain.CloseSession();
    twain.UnloadSourceManager();
}

} // namespace
