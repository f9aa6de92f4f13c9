#include "Eventually.h"
#include "FileDialogDriver.h"
#include "FontSubstitutions.h"
#include "GradSplitter.h"
#include "MainFormFixture.h"
#include "MessageBoxDriver.h"
#include "PlacesDialogs.h"
#include "RichEdit.h"
#include "ToolPanel.h"
#include "UserInput.h"
#include "WheelComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <unistd.h>

namespace {

class MainFormControlsTest : public MainFormTest {};

TEST_F(MainFormControlsTest, TextPaneSplitterKeepsMinSizeOnBothSidesAndIsStored) {
    TfrmMain& f = shown();
    // No blinking caret in the text may paint it meanwhile.
    f.btnTwain->setFocus();
    PaintCounter paints(f.rmm00->viewport());
    const int paneHeight = f.pnlMemo->height();
    // The bar moves under the mouse: positions are the window's.
    const QPoint grip = f.Splitter2->mapTo(&f, QPoint(f.Splitter2->width() / 2, 1));
    QTest::mousePress(f.Splitter2, Qt::LeftButton, {}, f.Splitter2->mapFrom(&f, grip));
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip + QPoint(0, 2000)));
    EXPECT_EQ(f.rmm00->height(), paneHeight - 130 - 25 - 4 - 24);
    EXPECT_EQ(f.pnlMemo->height() - f.pnlHpMenu->geometry().bottom() - 1, 130)
        << "the web area keeps 130 pixels";
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip - QPoint(0, 2000)));
    EXPECT_EQ(f.rmm00->height(), 130);
    QTest::mouseMove(f.Splitter2, f.Splitter2->mapFrom(&f, grip + QPoint(0, 7)));
    QCoreApplication::processEvents();
    const int paintsBeforeRelease = paints.Paints;
    // Letting go where the bar already is changes no size: only the window repaints the text.
    QTest::mouseRelease(f.Splitter2, Qt::LeftButton, {},
                        f.Splitter2->mapFrom(&f, grip + QPoint(0, 7)));
    QCoreApplication::processEvents();
    EXPECT_GT(paints.Paints, paintsBeforeRelease);
    EXPECT_EQ(f.rmm00->height(), 217);
    EXPECT_EQ(f.Splitter2->y(), 25 + 217);
    destroyForm();
    EXPECT_TRUE(readIni().contains("mmHeight=217")) << readIni().constData();
}

TEST_F(MainFormControlsTest, ImagePaneSplitterKeeps180OnBothSidesAndIsStored) {
    TfrmMain& f = shown();
    const int start = f.pnlOCR->width();
    // The bar moves under the mouse: positions are the window's.
    const QPoint grip = f.Splitter1->mapTo(&f, QPoint(1, f.Splitter1->height() / 2));
    const auto at = [&](int dx) { return f.Splitter1->mapFrom(&f, grip + QPoint(dx, 0)); };
    QTest::mousePress(f.Splitter1, Qt::LeftButton, {}, at(0));
    QTest::mouseMove(f.Splitter1, at(-2000));
    EXPECT_EQ(f.pnlOCR->width(), 180);
    QTest::mouseMove(f.Splitter1, at(2000));
    EXPECT_EQ(f.pnlMemo->width(), 180) << "the text pane keeps 180 pixels";
    QTest::mouseMove(f.Splitter1, at(37));
    QTest::mouseRelease(f.Splitter1, Qt::LeftButton, {}, at(37));
    EXPECT_EQ(f.pnlOCR->width(), start + 37);
    destroyForm();
    EXPECT_TRUE(readIni().contains("OcrWidth=" + QByteArray::number(start + 37)))
        << readIni().constData();
}

void turnWheel(QWidget* target, int delta) {
    const QPointF local(target->width() / 2, target->height() / 2);
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST_F(MainFormControlsTest, LanguageSelectorUnderTheWheelAppliesItsChoice) {
    TfrmMain& f = shown();
    ASSERT_TRUE(UserInput::ChooseItem(f.cmbLang, 1));
    turnWheel(f.cmbLang, -120); // toward the user: past the last item
    EXPECT_EQ(f.cmbLang->currentIndex(), 1) << "the last item keeps its place";
    EXPECT_EQ(f.OcrLanguage, 17);
    turnWheel(f.cmbLang, 120);
    EXPECT_EQ(f.cmbLang->currentIndex(), 0);
    EXPECT_EQ(f.OcrLanguage, 9) << "the change handler ran";
    EXPECT_FALSE(f.chkRet->isVisible());
}

TEST_F(MainFormControlsTest, SelectorsAreDrawnByTheWindowAndHandTheFocusBackOnCloseUp) {
    TfrmMain& f = shown();
    const QImage closed = f.cmbTrns->grab().toImage();
    EXPECT_EQ(closed.pixelColor(6, 5), QColor(Qt::white))
        << "the closed box's field is white, also when focused";
    QTest::mouseClick(f.cmbTrns, Qt::LeftButton);
    ASSERT_EVENTUALLY(f.cmbTrns->view()->isVisible(), 5000);
    EXPECT_EQ(f.cmbTrns->view()->visualRect(f.cmbTrns->model()->index(1, 0)).height(), 16);
    const QImage list = f.cmbTrns->view()->viewport()->grab().toImage();
    const QRect current = f.cmbTrns->view()->visualRect(f.cmbTrns->view()->currentIndex());
    EXPECT_EQ(list.pixelColor(current.left() + 2, current.center().y()), QColor(0xC0, 0xC0, 0xC0))
        << "silver marks the selection in the open list";
    QTest::keyClick(f.cmbTrns->view(), Qt::Key_Escape);
    ASSERT_EVENTUALLY(f.rmm00->hasFocus(), 5000);
}

TEST_F(MainFormControlsTest, SavingTheTextGoesThroughTheCentredDialogWithPlaces) {
    TfrmMain& f = shown();
    f.SavePath = dir.path();
    f.rmm00->setPlainText(QStringLiteral("本文"));
    const QString target = dir.filePath(QStringLiteral("saved.txt"));
    FileDialogDriver user(target);
    bool places = false;
    user.action = [&](QFileDialog& dialog) {
        auto* sidebar = dialog.findChild<QWidget*>(QStringLiteral("sidebar"));
        places = sidebar && sidebar->isVisible() && !dialog.sidebarUrls().isEmpty();
        dialog.grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/save-dialog.png"));
    };
    QTest::mouseClick(f.btnSave1, Qt::LeftButton);
    ASSERT_TRUE(user.seen);
    EXPECT_TRUE(places);
    EXPECT_EQ(user.offer.folder, dir.path());
    EXPECT_EQ(user.offer.position,
              TPlacesOpenDialog::CenteredPosition(f.screen()->geometry(), user.offer.frame));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QStringLiteral("本文\r\n").toUtf8());
    EXPECT_TRUE(errors.isEmpty());
}

// Saves the window with the mouse over the pane splitter at the end of its fade.
// As root with the browser's sandbox on no browser is made, as the engine would end the
// program: the web view and the three buttons that need it say why and how to have one.
TEST_F(MainFormControlsTest, WithoutABrowserTheWebViewAndItsButtonsSayHowToHaveOne) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the browser starts for every other user";
    const QByteArray optedOut = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    TfrmMain& f = shown();
    f.rmm00->setPlainText(QStringLiteral("words"));
    QStringList told;
    for (QPushButton* button : {f.btnTrans, f.btnPreView, f.btnOK}) {
        whenUp([&told](TfrmMessageBox* box) {
            told << box->Message();
            press(box, Qt::Key_Y);
        });
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QStringList shown;
    for (const QLabel* label : f.findChildren<QLabel*>())
        shown << label->text();
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", optedOut);
    EXPECT_EQ(f.WEB, nullptr);
    ASSERT_EQ(told.size(), 3);
    for (const QString& text : told + shown.filter(QStringLiteral("root")))
        EXPECT_TRUE(text.contains(QLatin1String("QTWEBENGINE_DISABLE_SANDBOX=1")))
            << text.toStdString();
    EXPECT_EQ(shown.filter(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX=1")).size(), 1);
}

TEST_F(MainFormControlsTest, ScreenshotWithTheSplitterFadedIn) {
    InstallFontSubstitutions();
    TfrmMain& f = shown();
    const QPoint inBar(1, f.Splitter1->height() / 3);
    QTest::mouseMove(f.Splitter1, inBar);
    ASSERT_EVENTUALLY(f.Splitter1->FadeLevel() == 100 && !f.Splitter1->Fading(), 2000);
    QTest::qWait(30);
    const QImage shot = f.grab().toImage();
    const QString path = QStringLiteral(VELA_SCREENSHOT_DIR "/main-window-splitter-hover.png");
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    // The hover gradient runs from light green at the top to blue at the bottom.
    const int x = f.Splitter1->x() + 3;
    EXPECT_EQ(shot.pixelColor(x, 0), QColor(179, 217, 181));
    const QColor bottom = shot.pixelColor(x, f.Splitter1->height() - 1);
    EXPECT_NEAR(bottom.red(), 118, 1);
    EXPECT_NEAR(bottom.blue(), 190, 1);
    // Splitter2 stays in its normal look: button face with its grip.
    EXPECT_EQ(shot.pixelColor(f.pnlMemo->x() + 2, f.Splitter2->y() + 3),
              f.Splitter2->palette().color(QPalette::Button));
}

} // namespace
