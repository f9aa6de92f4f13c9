// Scanning from the window: the TWAIN and 選 択 buttons with the real source manager and the
// scripted test source.
#include "DropSimulation.h"
#include "Eventually.h"
#include "MainFormFixture.h"
#include "MessageBox.h"
#include "MiDocView.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "SaneDialogDriver.h"
#include "ThreadQueue.h"
#include "TwainEnvironment.h"
#include "UserInput.h"
#include "WheelComboBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

namespace {

// Answers every message box that comes up while alive and keeps its text; answers the
// manager's selection dialog by choosing a row.
class ModalRecorder {
public:
    ModalRecorder() {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<TfrmMessageBox*>(modal)) {
                Messages << box->Message();
                box->done(TfrmMessageBox::mrYes);
            } else if (auto* list = modal ? modal->findChild<QListWidget*>() : nullptr) {
                ++Selections;
                list->setCurrentRow(SourceRow);
                for (auto* b : modal->findChildren<QPushButton*>())
                    if (b->text() == QStringLiteral("選択"))
                        QTest::mouseClick(b, Qt::LeftButton);
            }
        });
        m_poll.start();
    }

    QStringList Messages;
    int SourceRow = 0;
    int Selections = 0;

private:
    QTimer m_poll;
};

class ScanningTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        env = std::make_unique<TwainEnvironment>(dir.path());
        open();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        MainFormTest::TearDown();
        env.reset();
    }
    QString scanFile() const { return form->WorkFile(QStringLiteral("zScan.bmp")); }

    std::unique_ptr<TwainEnvironment> env;
    ModalRecorder boxes;
};

TEST_F(ScanningTest, ScannedPageIsShownAfterTheTimerAndCanBeRecognised) {
    const QImage page = RenderedPage::Paragraph({"Scanned pages are read"}, "DejaVu Sans", 14)
                            .convertToFormat(QImage::Format_RGB888);
    const QString bmp = dir.filePath("page.bmp");
    ASSERT_TRUE(page.save(bmp));
    env->Script("imagefile " + bmp.toUtf8() + "\n");

    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    EXPECT_EQ(form->ImageFile, scanFile());
    EXPECT_TRUE(QFile::exists(scanFile()));
    EXPECT_TRUE(form->Timer1->isActive()) << "shown only when the timer fires";
    EXPECT_FALSE(form->btnRecognition->isEnabled());
    ASSERT_EVENTUALLY(form->btnRecognition->isEnabled(), 5000);
    EXPECT_TRUE(form->ImageLoaded);
    EXPECT_EQ(QImage(scanFile()).size(), page.size());
    // A new user has no source remembered: the first one found scans, without asking.
    EXPECT_TRUE(boxes.Messages.isEmpty());
    EXPECT_EQ(boxes.Selections, 0);

    ASSERT_TRUE(UserInput::ChooseItem(form->cmbLang, 0));
    QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
    EXPECT_TRUE(form->rmm00->toPlainText().contains("Scanned pages"))
        << form->rmm00->toPlainText().toStdString();
}

TEST_F(ScanningTest, MissingSourceManagerShowsTheLoadErrorForBothButtons) {
    TTwainAcquire::SetLibraryFolder(dir.path());
    env->Script("source Scanner B\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    QTest::mouseClick(form->btnSelect, Qt::LeftButton);
    EXPECT_EQ(boxes.Messages, QStringList(2, QStringLiteral("TWAIN_32.DLLの読み込みエラー！！")));
    EXPECT_FALSE(QFile::exists(scanFile()));
    EXPECT_EQ(env->DefaultSource(), QString());
}

TEST_F(ScanningTest, ErrorStatusesShowTheirTextsAndCancelsShowNothing) {
    env->Script("open failure 0\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    env->Script("open failure 9\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    env->Script("open failure 5\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    env->Script("event close\nimage 10 10 24\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    // A scanner's own trouble is told in words beside its number.
    env->Script("enable failure 20\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    env->Script("open failure 29\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    const QString head = QStringLiteral("エラーが発生しました！！\n\n");
    EXPECT_EQ(
        boxes.Messages,
        QStringList({head + QStringLiteral("現在、選択されているソースは接続されていません。"),
                     head + QStringLiteral("エラー番号 : 32777"),
                     head + QStringLiteral("エラー番号 : 32788（紙詰まり）"),
                     head + QStringLiteral("エラー番号 : 32797（原稿がありません）")}));
    EXPECT_FALSE(QFile::exists(scanFile()));
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(ScanningTest, AnImageThatCannotBeWrittenIsReportedNotShown) {
    env->Script("image 100 10 24 cut 1\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    EXPECT_EQ(boxes.Messages,
              QStringList(QStringLiteral("エラーが発生しました！！\n\nエラー番号 : 32778")));
    QTest::qWait(700);
    EXPECT_FALSE(form->ImageLoaded);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ScanningTest, SelectChangesTheSourceTheNextScanUses) {
    env->Script("source Vela Test Source\nimage 40 30 24\nsource Scanner B\nimage 50 30 24\n");
    boxes.SourceRow = 1;
    QTest::mouseClick(form->btnSelect, Qt::LeftButton);
    EXPECT_EQ(env->DefaultSource(), "Scanner B");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    EXPECT_EQ(QImage(scanFile()).width(), 50);
    EXPECT_TRUE(boxes.Messages.isEmpty());
    EXPECT_TRUE(form->rmm00->hasFocus() || !form->isActiveWindow());
}

TEST_F(ScanningTest, AWriteThatFailsLeavesTheViewerAndTheImageAsTheyWere) {
    env->Script("image 40 30 24\n");
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    ASSERT_EVENTUALLY(form->ImageLoaded && form->DocView->Page().width() == 40, 5000);
    // The user then drops another picture.
    QImage dropped(120, 90, QImage::Format_RGB32);
    dropped.fill(Qt::white);
    const QString droppedFile = dir.filePath("dropped.png");
    ASSERT_TRUE(dropped.save(droppedFile));
    ASSERT_TRUE(DropSimulation::DropFiles(
        form.get(), form->rmm00->mapTo(form.get(), QPoint(20, 20)), {droppedFile}));
    ASSERT_EQ(form->DocView->Page().width(), 120);

    // A full disk: the next page cannot be written.
    env->Script("image 400 300 24\n");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit full = old;
    full.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &full);
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QTest::qWait(700);
    EXPECT_EQ(boxes.Messages,
              QStringList(QStringLiteral("エラーが発生しました！！\n\nエラー番号 : 32778")));
    EXPECT_EQ(form->DocView->Page().width(), 120) << "never the older scanned page";
    EXPECT_EQ(form->ImageFile, droppedFile) << "recognition reads what is shown";
}

// The SANE source on its test backend, its page coming in slowly when asked.
class SaneScanningTest : public ScanningTest {
protected:
    void useSane(bool slow) {
        env->UseSane(QByteArray("number_of_devices 1\nmode Gray\ndepth 8\nresolution 75\n"
                                "test-picture \"Color pattern\"\n") +
                     (slow ? "read-delay true\nread-delay-duration 50000\n" : ""));
    }
    // Asks the source to close, as its window would, when the session waits for longer than
    // a user would: a session that did not hear of its window's end fails the test instead of
    // hanging it.
    void watchdog(bool& stuck) {
        QTimer::singleShot(15000, form.get(), [&stuck] {
            stuck = true;
            TwainPostThreadMessage(WM_TWAIN_SOURCE, MSG_CLOSEDSREQ, 1); // the one source's id
        });
    }
};

TEST_F(SaneScanningTest, EscapeInTheSourcesWindowEndsTheSessionAndTheWindowCloses) {
    useSane(false);
    bool stuck = false;
    watchdog(stuck);
    onSaneDialog([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    EXPECT_FALSE(stuck) << "the session waited on after Escape";
    EXPECT_TRUE(boxes.Messages.isEmpty());
    EXPECT_FALSE(QFile::exists(scanFile()));

    // Idle again: the window closes and writes its settings.
    EXPECT_TRUE(form->close());
    destroyForm();
    EXPECT_TRUE(readIni().contains("MainWidth=")) << readIni().toStdString();
}

TEST_F(SaneScanningTest, ClicksDuringTheSourcesWindowAndTheScanStartNoSecondSession) {
    useSane(true);
    bool stuck = false;
    watchdog(stuck);
    int windows = 0;
    onSaneDialog([&](QDialog* dialog) {
        ++windows;
        // The source's window is modal; a click that still reaches the buttons does nothing.
        QTest::mouseClick(form->btnTwain, Qt::LeftButton);
        QTest::mouseClick(form->btnSelect, Qt::LeftButton);
        ASSERT_TRUE(dialog->isVisible());
        dialog->findChildren<QComboBox*>()[1]->setCurrentText("75");
        QTimer::singleShot(300, form.get(), [this] {
            QTest::mouseClick(form->btnTwain, Qt::LeftButton);
            QTest::mouseClick(form->btnSelect, Qt::LeftButton);
        });
        QTest::mouseClick(button(dialog, "スキャン"), Qt::LeftButton);
    });
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    EXPECT_FALSE(stuck);
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(boxes.Selections, 0);
    EXPECT_TRUE(boxes.Messages.isEmpty()) << boxes.Messages.join('|').toStdString();
    EXPECT_EQ(QImage(scanFile()).size(), QSize(236, 295));
}

TEST_F(SaneScanningTest, TheWindowPaintsDuringASlowScanAndCancelEndsItWithinASecond) {
    useSane(true);
    bool stuck = false;
    watchdog(stuck);
    PaintCounter paints(form->rmm00->viewport());
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, cancelledAt = -1;
    bool scanning = false;
    int paintsWhileScanning = 0;
    // The longest the window's own loop stood still while the page came in.
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!scanning)
            return;
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        form->rmm00->viewport()->update();
    });
    tick.start();
    onSaneDialog([&](QDialog* dialog) {
        dialog->findChildren<QComboBox*>()[1]->setCurrentText("75");
        clock.start();
        last = 0;
        scanning = true;
        QTimer::singleShot(800, form.get(), [&, dialog] {
            scanning = false;
            paintsWhileScanning = paints.Paints;
            cancelledAt = clock.elapsed();
            QTest::mouseClick(button(dialog, "キャンセル"), Qt::LeftButton);
        });
        QTest::mouseClick(button(dialog, "スキャン"), Qt::LeftButton);
    });
    QTest::mouseClick(form->btnTwain, Qt::LeftButton);
    const qint64 ended = clock.elapsed();
    EXPECT_FALSE(stuck);
    ASSERT_GE(cancelledAt, 0) << "the page came in faster than a slow scanner's";
    EXPECT_LT(ended - cancelledAt, 1000);
    EXPECT_LT(longest, 200) << "ms without the window's events";
    EXPECT_GT(paintsWhileScanning, 10);
    EXPECT_TRUE(boxes.Messages.isEmpty());
    EXPECT_FALSE(QFile::exists(scanFile()));
}

} // namespace
