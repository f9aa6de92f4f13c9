#include "GradSplitter.h"
#include "MainFormFixture.h"
#include "RichEdit.h"
#include "ToolPanel.h"
#include "WheelComboBox.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

int countMatches(const QByteArray& text, const char* pattern) {
    const QRegularExpression re(QLatin1String(pattern), QRegularExpression::CaseInsensitiveOption |
                                                            QRegularExpression::MultilineOption);
    int n = 0;
    for (auto it = re.globalMatch(QString::fromLatin1(text)); it.hasNext(); it.next())
        ++n;
    return n;
}

} // namespace

TEST_F(MainFormTest, FirstStartUsesTheDesignDefaultsAndWritesFormAndOptOnly) {
    TfrmMain& f = open();
    EXPECT_EQ(f.CurrentBounds(), (FormBounds{115, 263, 700, 480}));
    EXPECT_EQ(f.cmbLang->currentIndex(), 0);
    EXPECT_EQ(f.cmbTrns->currentIndex(), 0);
    EXPECT_EQ(f.OcrLanguage, 9);
    EXPECT_TRUE(f.chkRet->isChecked());
    EXPECT_TRUE(f.chkBr->isChecked());
    EXPECT_TRUE(f.chkRet->isHidden());
    EXPECT_EQ(f.pnlOCR->width(), 300);
    EXPECT_EQ(f.rmm00->height(), 210);
    EXPECT_FALSE(QFile::exists(iniPath())) << "reading must not create the file";
    EXPECT_EQ(f.UploadHost, QStringLiteral("ftp.example.com"));
    EXPECT_TRUE(f.StartStamp.startsWith(QLatin1Char('[')) &&
                f.StartStamp.endsWith(QLatin1Char(']')));
    EXPECT_EQ(f.StartStamp.size(), 34);

    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_EQ(countMatches(ini, "^\\["), 2) << ini.constData();
    for (const char* line :
         {"MainTop=115", "MainLeft=263", "MainWidth=700", "MainHeight=480", "Language=0",
          "Translation=0", "WantRet=1", "WantBr=1", "OcrWidth=300", "mmHeight=210"})
        EXPECT_TRUE(ini.contains(line)) << line << "\n" << ini.constData();
    EXPECT_TRUE(ini.contains("[FORM]") && ini.contains("[OPT]"));
    EXPECT_FALSE(ini.contains("SERVER"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainFormTest, StoredValuesAreAppliedAndTheSameEntriesRewritten) {
    writeIni("[form]\r\nMAINTOP=50\r\nmainleft=$20\r\nMAINWIDTH=650\r\n"
             "[OPT]\r\nOcrWidth=0x80\r\nmmHeight= +150\r\nWantRet=2\r\nLanguage=1\r\n"
             "Translation=1\r\nWantBr=0\r\n"
             "[SERVER]\r\nHOST=\r\nUSER=alice\r\nINID=/www/\r\n");
    TfrmMain& f = open();
    EXPECT_EQ(f.y(), 50);
    EXPECT_EQ(f.x(), 32);
    EXPECT_EQ(f.width(), 700) << "a stored width below the minimum is raised";
    EXPECT_EQ(f.pnlOCR->width(), 128);
    EXPECT_EQ(f.rmm00->height(), 150);
    EXPECT_TRUE(f.chkRet->isChecked());
    EXPECT_FALSE(f.chkBr->isChecked());
    EXPECT_EQ(f.OcrLanguage, 17);
    EXPECT_FALSE(f.chkRet->isHidden());
    EXPECT_EQ(f.cmbTrns->currentIndex(), 1);
    EXPECT_EQ(f.UploadHost, QStringLiteral("ftp.example.com")) << "an empty HOST uses the built-in";
    EXPECT_EQ(f.UploadUser, QStringLiteral("alice"));
    EXPECT_EQ(f.UploadDirectory, QStringLiteral("/www/"));

    f.move(70, 60);
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_EQ(countMatches(ini, "^maintop="), 1) << ini.constData();
    EXPECT_TRUE(ini.contains("MAINTOP=60")) << ini.constData();
    EXPECT_TRUE(ini.contains("mainleft=70"));
    EXPECT_TRUE(ini.contains("WantRet=1"));
    EXPECT_TRUE(ini.contains("[SERVER]\r\nHOST=\r\nUSER=alice\r\nINID=/www/\r\n"))
        << "the hand-kept section is never written";
}

TEST_F(MainFormTest, APasswordOthersMayReadIsToldAtStartAndNarrowedToTheOwnerAtTheNextWrite) {
    const auto modeOf = [this] { return int(QFileInfo(iniPath()).permissions() & 0x7777); };
    const auto wide = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                      QFile::ReadGroup | QFile::ReadOther;
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    for (const QByteArray& ini : {QByteArray("[SERVER]\nPASS=secret\n"), QByteArray("[OPT]\n")}) {
        const bool password = ini.contains("PASS");
        writeIni(ini);
        ASSERT_TRUE(QFile::setPermissions(iniPath(), wide));
        testing::internal::CaptureStderr();
        open();
        const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(said.contains(iniPath() + QStringLiteral(" holds the FTP password")), password)
            << said.toStdString();
        destroyForm();
        // Without a password the mode stays the user's choice.
        EXPECT_EQ(modeOf(), int(password ? owner : wide)) << ini.constData();
    }
}

TEST_F(MainFormTest, SettingsOthersMayWriteAreToldInTheWindowAndNarrowed) {
    writeIni("[SERVER]\nHOST=example.org\n");
    ASSERT_TRUE(QFile::setPermissions(iniPath(), QFileDevice::Permissions(0x6666)));
    open();
    EXPECT_EQ(int(QFileInfo(iniPath()).permissions()), 0x6644);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().startsWith(iniPath() + QStringLiteral(" は他のユーザーも書き換え")));
}

TEST_F(MainFormTest, GarbageValuesFallBackToDefaults) {
    writeIni("[OPT]\nOcrWidth=abc\nmmHeight=\nLanguage=0x\nWantBr=yes\nTranslation=1.5\n");
    TfrmMain& f = open();
    EXPECT_EQ(f.pnlOCR->width(), 300);
    EXPECT_EQ(f.rmm00->height(), 210);
    EXPECT_EQ(f.cmbLang->currentIndex(), 0);
    EXPECT_TRUE(f.chkBr->isChecked());
    EXPECT_EQ(f.cmbTrns->currentIndex(), 0);
}

TEST_F(MainFormTest, OutOfRangeLanguageLeavesNoSelectionAndIsWrittenBackAsMinusOne) {
    writeIni("[OPT]\nLanguage=5\nTranslation=-3\nWantRet=1\n");
    TfrmMain& f = open();
    EXPECT_EQ(f.cmbLang->currentIndex(), -1);
    EXPECT_EQ(f.cmbTrns->currentIndex(), -1);
    EXPECT_TRUE(f.chkRet->isHidden());
    EXPECT_EQ(f.OcrLanguage, 0) << "no selection keeps the previous language";
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("Language=-1")) << ini.constData();
    EXPECT_TRUE(ini.contains("Translation=-1"));
    EXPECT_TRUE(ini.contains("WantRet=1")) << "the hidden box keeps its state";
}

TEST_F(MainFormTest, HugeStoredPaneSizesAreBoundedSoTheWindowStaysUsable) {
    writeIni("[OPT]\nOcrWidth=2000000000\nmmHeight=-5\n");
    TfrmMain& f = open();
    EXPECT_LE(f.pnlOCR->width(), 8192);
    EXPECT_EQ(f.rmm00->height(), 0);
}

// Sizes stored while the window filled a large screen come back in a window of 700 x 480.
TEST_F(MainFormTest, PaneSizesStoredWhileMaximisedAreClampedToTheRestoredWindow) {
    writeIni("[FORM]\nMainWidth=700\nMainHeight=480\n[OPT]\nOcrWidth=1700\nmmHeight=900\n");
    TfrmMain& f = shown();
    QTest::qWait(20);
    const QRect inside = f.rect();
    const auto rectIn = [&f](const QWidget* w) { return QRect(w->mapTo(&f, QPoint()), w->size()); };
    EXPECT_GE(f.width() - rectIn(f.Splitter1).right() - 1, f.Splitter1->MinSize());
    EXPECT_TRUE(inside.contains(rectIn(f.pnlHpMenu))) << "the web area's tool bar is in sight";
    EXPECT_GE(f.height() - rectIn(f.Splitter2).bottom() - 1 - f.pnlHpMenu->height(),
              f.Splitter2->MinSize());
    EXPECT_TRUE(inside.contains(rectIn(f.btnOK)));
}

TEST_F(MainFormTest, EmptySavePathStaysEmptyAndIsWrittenBack) {
    writeIni("[OPT]\nSavePath=\n");
    TfrmMain& f = open();
    EXPECT_TRUE(f.SavePath.isEmpty());
    destroyForm();
    EXPECT_TRUE(readIni().contains("SavePath=\n")) << readIni().constData();
}

TEST_F(MainFormTest, DamagedFileStartsWithDefaultsAndKeepsEveryForeignByte) {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 37 + 11) % 256);
    const QByteArray longLine = "x=" + QByteArray(10 * 1024 * 1024, 'y') + "\n";
    const QByteArray foreign =
        "[unclosed\nMainTop=9\n" + garbage + "\n" + longLine + "[Other]\nk=v\n";
    writeIni(foreign);
    TfrmMain& f = open();
    EXPECT_EQ(f.pnlOCR->width(), 300);
    destroyForm();
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.startsWith(foreign)) << "foreign lines must survive unchanged";
    EXPECT_TRUE(ini.contains("[FORM]"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainFormTest, UnwritableSettingsShowTheWriteFailureAndStopWriting) {
    // A folder where the settings file should be: the write fails even for root.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("vela.ini")));
    open();
    destroyForm();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.front(), iniPath() + QStringLiteral(" に書き込めません."));
}
