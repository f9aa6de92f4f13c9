#include "Eventually.h"
#include "MainFormFixture.h"
#include "RichEdit.h"
#include "ToolPanel.h"
#include "UserInput.h"
#include "WebHost.h"
#include "WheelComboBox.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

namespace {

void waitForState(QWidget& w, Qt::WindowStates state) {
    ASSERT_EVENTUALLY(w.windowState() == state, 2000);
    QTest::qWait(20);
}

} // namespace

TEST_F(MainFormTest, MaximisedWindowStoresItsNormalBounds) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.setGeometry(40, 30, 720, 500);
    QTest::qWait(20);
    const FormBounds normal = f.CurrentBounds();
    f.showMaximized();
    waitForState(f, Qt::WindowMaximized);
    EXPECT_TRUE(f.Maximized);
    EXPECT_EQ(f.NormalBounds, normal);
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("MainTop=" + QByteArray::number(normal.Top))) << ini.constData();
    EXPECT_TRUE(ini.contains("MainWidth=" + QByteArray::number(normal.Width)));
    EXPECT_TRUE(ini.contains("MainHeight=" + QByteArray::number(normal.Height)));
}

TEST_F(MainFormTest, RestoredAndMovedWindowStoresItsCurrentBounds) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.showMaximized();
    waitForState(f, Qt::WindowMaximized);
    f.showNormal();
    waitForState(f, Qt::WindowNoState);
    EXPECT_FALSE(f.Maximized);
    f.setGeometry(12, 34, 750, 520);
    QTest::qWait(20);
    const FormBounds current = f.CurrentBounds();
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("MainLeft=" + QByteArray::number(current.Left))) << ini.constData();
    EXPECT_TRUE(ini.contains("MainWidth=" + QByteArray::number(current.Width)));
}

TEST_F(MainFormTest, StoredSizeIsTheOuterSizeAndSurvivesARoundTrip) {
    writeIni("[FORM]\nMainTop=50\nMainLeft=60\nMainWidth=760\nMainHeight=520\n");
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_EVENTUALLY(f.frameGeometry().size() != f.size(), 2000);
    EXPECT_EQ(f.frameGeometry().size(), QSize(760, 520));
    EXPECT_EQ(f.CurrentBounds(), (FormBounds{50, 60, 760, 520}));
    // The design size is the smallest outer size.
    f.resize(100, 100);
    QTest::qWait(20);
    EXPECT_EQ(f.frameGeometry().size(), QSize(700, 480));
    f.resize(f.size() + QSize(60, 40));
    QTest::qWait(20);
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("MainWidth=760")) << ini.constData();
    EXPECT_TRUE(ini.contains("MainHeight=520")) << ini.constData();
}

TEST_F(MainFormTest, MaximiseMinimiseRestoreKeepsTheNormalBounds) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.showMaximized();
    waitForState(f, Qt::WindowMaximized);
    const QRect maximised = f.geometry();
    f.showNormal();
    waitForState(f, Qt::WindowNoState);
    f.setGeometry(30, 40, 720, 500);
    QTest::qWait(20);
    const FormBounds normal = f.CurrentBounds();
    // A window manager that reports the maximised geometry before the state change.
    f.setGeometry(maximised);
    QTest::qWait(20);
    f.setWindowState(Qt::WindowMaximized);
    waitForState(f, Qt::WindowMaximized);
    EXPECT_EQ(f.NormalBounds, normal);
    f.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    waitForState(f, Qt::WindowMaximized | Qt::WindowMinimized);
    f.setWindowState(Qt::WindowMaximized);
    waitForState(f, Qt::WindowMaximized);
    EXPECT_TRUE(f.Maximized) << "the window came back maximised";
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("MainWidth=" + QByteArray::number(normal.Width))) << ini.constData();
    EXPECT_TRUE(ini.contains("MainTop=" + QByteArray::number(normal.Top))) << ini.constData();
}

TEST_F(MainFormTest, SystemCommandsIgnoreTheLowFourBits) {
    TfrmMain& f = open();
    const FormBounds before{1, 2, 800, 600};
    f.SystemCommand(0xF032, before); // maximise by caption double-click
    EXPECT_TRUE(f.Maximized);
    EXPECT_EQ(f.NormalBounds, before);
    f.SystemCommand(0xF020, {}); // minimise changes nothing
    EXPECT_TRUE(f.Maximized);
    f.SystemCommand(0xF122, {});
    EXPECT_FALSE(f.Maximized);
}

TEST_F(MainFormTest, ButtonsStartInTheirStatesAndFollowTheText) {
    TfrmMain& f = open();
    EXPECT_FALSE(f.btnRecognition->isEnabled());
    EXPECT_FALSE(f.btnTrans->isEnabled());
    EXPECT_FALSE(f.btnSave1->isEnabled());
    for (QPushButton* b : {f.btnTwain, f.btnSelect, f.btnSave0, f.btnPreView, f.btnOK})
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();

    f.rmm00->setPlainText(QStringLiteral(" \t\r\n \n"));
    EXPECT_FALSE(f.btnTrans->isEnabled()) << "blanks and breaks only";
    f.rmm00->setPlainText(QStringLiteral("\u3000"));
    EXPECT_TRUE(f.btnTrans->isEnabled()) << "an ideographic space is text";
    EXPECT_TRUE(f.btnSave1->isEnabled());
    f.rmm00->selectAll();
    QTest::keyClick(f.rmm00, Qt::Key_Delete);
    EXPECT_FALSE(f.btnTrans->isEnabled());
    EXPECT_FALSE(f.btnSave1->isEnabled());
    QTest::keyClicks(f.rmm00, QStringLiteral("ok"));
    EXPECT_TRUE(f.btnSave1->isEnabled());
}

// Choices picked in the open lists: the language sets the id and the line box, the focus goes
// back to the text, and both choices are kept at exit.
TEST_F(MainFormTest, LanguageChoiceSetsTheIdAndTheLineBoxVisibility) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_TRUE(UserInput::ChooseItem(f.cmbLang, 1));
    EXPECT_EQ(f.OcrLanguage, 17);
    EXPECT_TRUE(f.chkRet->isVisible());
    ASSERT_EVENTUALLY(f.rmm00->hasFocus(), 5000);
    ASSERT_TRUE(UserInput::ChooseItem(f.cmbLang, 0));
    EXPECT_EQ(f.OcrLanguage, 9);
    EXPECT_FALSE(f.chkRet->isVisible());
    ASSERT_TRUE(UserInput::ChooseItem(f.cmbTrns, 1));
    EXPECT_EQ(f.OcrLanguage, 9) << "the service's list leaves the language as it is";
    ASSERT_EVENTUALLY(f.rmm00->hasFocus(), 5000);
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("Language=0")) << ini.constData();
    EXPECT_TRUE(ini.contains("Translation=1")) << ini.constData();
}

TEST_F(MainFormTest, ClosingDeletesTheWorkFilesEvenFromAnEarlierRun) {
    for (const char* name : {"zScan.bmp", "trans.html"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TfrmMain& f = open();
    f.show();
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("zScan.bmp"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("trans.html"))));
}

TEST_F(MainFormTest, ShowingSetsTextMarginsAndFocusesTheText) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.activateWindow();
    EXPECT_EQ(f.rmm00->FormatMargins(), QMargins(4, 4, 4, 4));
    EXPECT_FALSE(f.ImageLoaded);
    ASSERT_EVENTUALLY(f.rmm00->hasFocus(), 5000);
}

TEST_F(MainFormTest, ControlsShowTheCustomHandCursor) {
    TfrmMain& f = open();
    for (QWidget* w : std::initializer_list<QWidget*>{f.btnTrans, f.cmbLang, f.chkBr, f.btnSave0})
        EXPECT_EQ(w->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(MainFormTest, BrowserHostArrivesAfterTheWindowHasPainted) {
    TfrmMain& f = open();
    EXPECT_EQ(f.WEB, nullptr) << "not before the window is on the screen";
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_EVENTUALLY(f.WEB != nullptr, 10000);
    ASSERT_EVENTUALLY(f.WEB->isVisible(), 5000);
    EXPECT_EQ(f.CreateBrowser(), f.WEB) << "one browser for the window's life";
    EXPECT_GT(f.WEB->height(), 100) << "the browser takes the web area under its tool bar";
    EXPECT_EQ(f.WEB->mapTo(&f, QPoint(0, 0)).y(), f.pnlHpMenu->mapTo(&f, QPoint(0, 0)).y() + 24);
}
