#include "FileDrop.h"

#include "DropSimulation.h"
#include "ErrorDisplay.h"
#include "VelaError.h"

#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct DropRecord {
    int num = -1;
    QStringList files;
    int x = -1;
    int y = -1;
    int calls = 0;
};

// A form with a text edit in its lower half, as the main window has its text pane.
class FileDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        form->resize(400, 300);
        auto* layout = new QVBoxLayout(form.get());
        layout->setContentsMargins(0, 150, 0, 0);
        edit = new QTextEdit(form.get());
        layout->addWidget(edit);
        form->show();
        drop = new TFileDrop(form.get());
        drop->OnFileDrop = [this](TFileDrop* sender, int num, const QStringList& files, int x,
                                  int y) {
            EXPECT_EQ(sender, drop);
            record.num = num;
            record.files = files;
            record.x = x;
            record.y = y;
            ++record.calls;
        };
        SetErrorDisplay([this](const QString&, const QString& text) { errors.append(text); });
    }
    void TearDown() override { SetErrorDisplay({}); }

    std::unique_ptr<QWidget> form;
    QTextEdit* edit = nullptr;
    TFileDrop* drop = nullptr;
    DropRecord record;
    QStringList errors;
};

TEST_F(FileDropTest, SeveralFilesGiveOneEventInThePlatformsOrder) {
    drop->Loaded();
    EXPECT_EQ(drop->HookedWindow(), form.get());
    const QStringList files{QStringLiteral("/tmp/b.png"), QStringLiteral("/tmp/a.png"),
                            QStringLiteral("/tmp/c d.txt")};
    EXPECT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(30, 40), files));
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.num, 3);
    EXPECT_EQ(record.files, files);
    EXPECT_EQ(record.x, 30);
    EXPECT_EQ(record.y, 40);
}

TEST_F(FileDropTest, LongPathsArriveWhole) {
    drop->Loaded();
    const QString longPath = QStringLiteral("/tmp/") + QString(300, QLatin1Char('x')) +
                             QStringLiteral("/日本語のファイル名.png");
    DropSimulation::DropFiles(form.get(), QPoint(10, 10), {longPath});
    ASSERT_EQ(record.files.size(), 1);
    EXPECT_EQ(record.files.front(), longPath);
}

TEST_F(FileDropTest, DropsOnAChildCountForTheFormWithTheFormsCoordinates) {
    drop->Loaded();
    edit->setPlainText(QStringLiteral("kept"));
    const QPoint inEdit(50, 200);
    ASSERT_EQ(form->childAt(inEdit)->parentWidget(), edit);
    EXPECT_TRUE(DropSimulation::DropFiles(form.get(), inEdit, {QStringLiteral("/tmp/x.txt")}));
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(QPoint(record.x, record.y), inEdit);
    // The edit did not take the drop as text.
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("kept"));
}

TEST_F(FileDropTest, TextDragsStillReachTheEdit) {
    drop->Loaded();
    auto* mime = new QMimeData;
    mime->setText(QStringLiteral("dragged"));
    EXPECT_TRUE(DropSimulation::Drop(form.get(), QPoint(50, 200), mime));
    EXPECT_EQ(record.calls, 0);
    EXPECT_TRUE(edit->toPlainText().contains(QStringLiteral("dragged")));
}

TEST_F(FileDropTest, AcceptFalseRefusesDropsAtOnceAndTrueTakesThemAgain) {
    drop->Loaded();
    drop->SetAccept(false);
    EXPECT_FALSE(form->acceptDrops());
    EXPECT_FALSE(DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")}));
    EXPECT_FALSE(
        DropSimulation::DropFiles(form.get(), QPoint(50, 200), {QStringLiteral("/tmp/a")}));
    EXPECT_EQ(record.calls, 0);
    drop->SetAccept(true);
    EXPECT_TRUE(form->acceptDrops());
    EXPECT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")}));
    EXPECT_EQ(record.calls, 1);
}

TEST_F(FileDropTest, WithoutAHandlerADropDoesNothing) {
    drop->Loaded();
    drop->OnFileDrop = nullptr;
    edit->setPlainText(QStringLiteral("kept"));
    EXPECT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(50, 200), {QStringLiteral("/tmp/a")}));
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("kept"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileDropTest, AFailingHandlerIsReportedAndTheNextDropStillWorks) {
    drop->Loaded();
    drop->OnFileDrop = [](TFileDrop*, int, const QStringList&, int, int) {
        throw VelaError(QStringLiteral("handler failed"));
    };
    DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")});
    EXPECT_EQ(errors, QStringList({QStringLiteral("handler failed.")}));
    int calls = 0;
    drop->OnFileDrop = [&](TFileDrop*, int, const QStringList&, int, int) { ++calls; };
    DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")});
    EXPECT_EQ(calls, 1);
}

TEST_F(FileDropTest, AControlLimitsTheTargetToIt) {
    drop->SetControl(edit);
    EXPECT_EQ(drop->HookedWindow(), edit);
    EXPECT_FALSE(DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")}));
    EXPECT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(50, 200), {QStringLiteral("/tmp/a")}));
    EXPECT_EQ(record.calls, 1);
    // Client coordinates of the control.
    EXPECT_EQ(QPoint(record.x, record.y), edit->mapFrom(form.get(), QPoint(50, 200)));
    // Back to the form: the form's own drop setting is restored on the control.
    drop->SetControl(nullptr);
    EXPECT_EQ(drop->HookedWindow(), form.get());
    EXPECT_TRUE(edit->acceptDrops());
}

TEST_F(FileDropTest, ADestroyedControlIsForgottenAndDropsStop) {
    drop->SetControl(edit);
    delete edit;
    edit = nullptr;
    EXPECT_EQ(drop->Control(), nullptr);
    EXPECT_FALSE(drop->Accept());
    EXPECT_FALSE(
        DropSimulation::DropFiles(form.get(), QPoint(50, 200), {QStringLiteral("/tmp/a")}));
    // Unhooking finds the form, which is not the hooked window: it leaves the form alone.
    const bool formDrops = form->acceptDrops();
    delete drop;
    drop = nullptr;
    EXPECT_EQ(form->acceptDrops(), formDrops);
}

TEST_F(FileDropTest, UnhookingPutsBackTheWindowsOwnDropSetting) {
    form->setAcceptDrops(false);
    drop->Loaded();
    EXPECT_TRUE(form->acceptDrops());
    delete drop;
    drop = nullptr;
    EXPECT_FALSE(form->acceptDrops());
    EXPECT_FALSE(DropSimulation::DropFiles(form.get(), QPoint(10, 10), {QStringLiteral("/tmp/a")}));
    EXPECT_EQ(record.calls, 0);
}

TEST(FileDropOwner, AnOwnerThatIsNoFormCannotBeHooked) {
    QObject owner;
    TFileDrop drop(&owner);
    try {
        drop.Loaded();
        FAIL() << "no error";
    } catch (const VelaError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalidate Window Handle in FileDrop"));
    }
    EXPECT_EQ(drop.HookedWindow(), nullptr);
}

} // namespace
