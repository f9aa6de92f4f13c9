// Scanning from the window: the TWAIN and 選 択 buttons with the real source manager and the
// scripted test source.
#include "Eventually.h"
#include "MainFormFixture.h"
#include "MessageBox.h"
#include "MiDocView.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "TwainEnvironment.h"
#include "UserInput.h"
#include "WheelComboBox.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
                Messages << box->lblMsg->text();
                box->done(TfrmMessageBox::mrYes);
            } else if (auto* list = modal ? modal->findChild<QListWidget*>() : nullptr) {
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

private:
    QTimer m_poll;
};

class ScanningTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        env = std::make_unique<TwainEnvironment>(dir.path());
        env->SetDefaultSource("Vela Test Source");
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
    EXPECT_TRUE(boxes.Messages.isEmpty());

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
    EXPECT_EQ(env->DefaultSource(), "Vela Test Source");
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
    const QString head = QStringLiteral("エラーが発生しました！！\n\n");
    EXPECT_EQ(
        boxes.Messages,
        QStringList({head + QStringLiteral("現在、選択されているソースは接続されていません。"),
                     head + QStringLiteral("エラー番号 : 32777")}));
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

} // namespace
