#include "IniSettings.h"

#include "VelaError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(ParseIniInteger, ReadsDecimalAndHexadecimalWithSignsAndLeadingBlanks) {
    const std::pair<const char*, int> good[] = {
        {"0", 0},
        {"42", 42},
        {"+5", 5},
        {"-17", -17},
        {"  12", 12},
        {"\t 7", 7},
        {"007", 7},
        {"0x80", 128},
        {"0X1f", 31},
        {"$ff", 255},
        {"$FF", 255},
        {"-0x10", -16},
        {"+$10", 16},
        {"0x0", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"0x7FFFFFFF", INT_MAX},
        {"-0x80000000", INT_MIN},
        {"00000000000000000000001", 1},
    };
    for (const auto& [text, value] : good)
        EXPECT_EQ(ParseIniInteger(QString::fromUtf8(text)), value) << text;
}

TEST(ParseIniInteger, RejectsAnythingThatDoesNotConvertCompletely) {
    const char* bad[] = {
        "",           "   ",         "abc",        "12abc",      "12 ",
        "1.5",        "-",           "+",          "$",          "0x",
        "0x-5",       "--5",         "- 5",        "$-5",        "x10",
        "0b1",        "0xG",         "$1g",        "1e3",        "１２",
        "2147483648", "-2147483649", "0x80000000", "$100000000", "99999999999999999999999999",
    };
    for (const char* text : bad)
        EXPECT_EQ(ParseIniInteger(QString::fromUtf8(text)), std::nullopt) << text;
}

class IniSettingsTest : public ::testing::Test {
protected:
    QString base() const { return m_dir.filePath(QStringLiteral("vela")); }
    QString file() const { return base() + QStringLiteral(".ini"); }

    void put(const QByteArray& bytes) const {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray get() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_dir;
};

TEST_F(IniSettingsTest, IntegersAndBooleansFallBackOnMissingEmptyAndGarbageValues) {
    put("[OPT]\n"
        "OcrWidth=0x80\n"
        "mmHeight=abc\n"
        "Language=\n"
        "Translation= $1 \n"
        "WantRet=2\n"
        "WantBr=0\n"
        "Flag=junk\n"
        "Negative=-1\n");
    const QString b = base();
    EXPECT_EQ(ReadIniInteger(b, "OPT", "OcrWidth", 300), 128);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "mmHeight", 210), 210);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "Language", 3), 3);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "Translation", 0), 1);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "Missing", -4), -4);
    EXPECT_EQ(ReadIniInteger(b, "NOSECTION", "OcrWidth", 9), 9);
    EXPECT_TRUE(ReadIniBool(b, "OPT", "WantRet", false));
    EXPECT_FALSE(ReadIniBool(b, "OPT", "WantBr", true));
    EXPECT_TRUE(ReadIniBool(b, "OPT", "Flag", true));
    EXPECT_FALSE(ReadIniBool(b, "OPT", "Flag", false));
    EXPECT_TRUE(ReadIniBool(b, "OPT", "Negative", false));
    EXPECT_TRUE(ReadIniBool(b, "OPT", "Language", true));
    EXPECT_FALSE(ReadIniBool(b, "OPT", "Missing", false));

    // Without a file every value is its default, and the file stays absent.
    const QString none = m_dir.filePath(QStringLiteral("none"));
    EXPECT_EQ(ReadIniInteger(none, "OPT", "OcrWidth", 300), 300);
    EXPECT_TRUE(ReadIniBool(none, "OPT", "WantRet", true));
    EXPECT_EQ(ReadIniString(none, "OPT", "SavePath", "/fav"), QStringLiteral("/fav"));
    EXPECT_FALSE(QFile::exists(none + QStringLiteral(".ini")));
}

TEST_F(IniSettingsTest, AnEmptyStringIsAValueButAMissingOneIsNot) {
    put("[OPT]\nSavePath=\n[SERVER]\nHOST=\n");
    EXPECT_EQ(ReadIniString(base(), "OPT", "SavePath", "/fav"), QString());
    EXPECT_EQ(ReadIniString(base(), "opt", "savepath", "/fav"), QString());
    EXPECT_EQ(ReadIniString(base(), "SERVER", "USER", "someone"), QStringLiteral("someone"));
}

TEST_F(IniSettingsTest, WritesIntegersInDecimalAndBooleansAsOneAndZero) {
    WriteIniInteger(base(), "OPT", "OcrWidth", 128);
    WriteIniInteger(base(), "OPT", "Language", -1);
    WriteIniBool(base(), "OPT", "WantRet", true);
    WriteIniBool(base(), "OPT", "WantBr", false);
    WriteIniString(base(), "OPT", "SavePath", QStringLiteral("/home/ユーザー/文書"));
    EXPECT_EQ(get(), QByteArray("[OPT]\nOcrWidth=128\nLanguage=-1\nWantRet=1\nWantBr=0\n"
                                "SavePath=/home/\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC/"
                                "\xE6\x96\x87\xE6\x9B\xB8\n"));
    EXPECT_EQ(ReadIniString(base(), "OPT", "SavePath", QString()),
              QStringLiteral("/home/ユーザー/文書"));
}

TEST_F(IniSettingsTest, WindowPositionReadUnderMAINIsWrittenBackIntoTheSameEntry) {
    put("[FORM]\nMAINTOP=50\nMAINLEFT=-3000\n");
    QWidget window;
    window.move(263, 115);
    ReadFormPosition(base(), "FORM", "MAIN", &window);
    EXPECT_EQ(window.y(), 50);
    EXPECT_EQ(window.x(), -3000); // no clamping to the screen

    WriteIniInteger(base(), "FORM", "MainTop", 60);
    WriteIniInteger(base(), "FORM", "MainLeft", 70);
    EXPECT_EQ(get(), QByteArray("[FORM]\nMAINTOP=60\nMAINLEFT=70\n"));
}

TEST_F(IniSettingsTest, WindowBoundsDefaultToTheCurrentOnesAndSizeRespectsTheMinimum) {
    put("[FORM]\nMAINWidth=100\nMAINLeft=abc\n");
    QWidget window;
    window.setMinimumSize(700, 480);
    window.move(263, 115);
    window.resize(700, 480);
    ReadFormPosition(base(), "FORM", "MAIN", &window);
    EXPECT_EQ(window.pos(), QPoint(263, 115));
    ReadFormSize(base(), "FORM", "MAIN", QSize(800, 600), &window);
    EXPECT_EQ(window.size(), QSize(700, 600)); // width raised to the minimum, height defaulted

    put("[FORM]\nMainWidth=900\n");
    ReadFormSize(base(), "FORM", "MAIN", QSize(1, 1), &window);
    EXPECT_EQ(window.size(), QSize(900, 480));
}

TEST_F(IniSettingsTest, AFailedWriteRaisesTheWriteFailureTextAndKeepsTheFile) {
    const QString noFolder = QStringLiteral("/proc/self/velatest/vela");
    try {
        WriteIniInteger(noFolder, "FORM", "MainTop", 1);
        ADD_FAILURE() << "no error raised";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("/proc/self/velatest/vela.ini に書き込めません"));
    }

    put("[FORM]\nMainTop=50\n");
    ASSERT_TRUE(QFile::setPermissions(file(), QFile::ReadOwner));
    EXPECT_THROW(WriteIniString(base(), "OPT", "SavePath", "x"), EFileError);
    EXPECT_THROW(WriteIniBool(base(), "OPT", "WantRet", true), EFileError);
    EXPECT_EQ(get(), QByteArray("[FORM]\nMainTop=50\n"));
    EXPECT_EQ(ReadIniInteger(base(), "FORM", "MainTop", 0), 50);
}

// The main window's exit save onto a settings file full of things it does not own.
TEST_F(IniSettingsTest, DamagedFileReadsAsDefaultsAndKeepsForeignLinesThroughTheExitSave) {
    QByteArray junk;
    for (int i = 0; i < 256; ++i)
        junk += static_cast<char>(255 - i);
    const QByteArray foreign = QByteArray("\x00\x01\x02 binary\n", 11) + junk + "\n" +
                               QByteArray(10 * 1024 * 1024, 'L') + "\n" + "[FORM\n" +
                               "MainTop=junk\n" + "[SERVER]\r\n" + "HOST=ftp.example.org\n" +
                               "; hand-kept\n";
    put(foreign);

    const QString b = base();
    EXPECT_EQ(ReadIniInteger(b, "FORM", "MainTop", 115), 115);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "OcrWidth", 300), 300);
    EXPECT_TRUE(ReadIniBool(b, "OPT", "WantRet", true));
    EXPECT_EQ(ReadIniString(b, "SERVER", "HOST", QString()), QStringLiteral("ftp.example.org"));

    WriteIniInteger(b, "FORM", "MainTop", 115);
    WriteIniInteger(b, "FORM", "MainLeft", 263);
    WriteIniInteger(b, "FORM", "MainWidth", 700);
    WriteIniInteger(b, "FORM", "MainHeight", 480);
    WriteIniString(b, "OPT", "SavePath", QString());
    WriteIniInteger(b, "OPT", "OcrWidth", 300);
    WriteIniInteger(b, "OPT", "mmHeight", 210);
    WriteIniBool(b, "OPT", "WantBr", true);
    WriteIniBool(b, "OPT", "WantRet", true);
    WriteIniInteger(b, "OPT", "Language", -1);
    WriteIniInteger(b, "OPT", "Translation", 0);

    const QByteArray expected = foreign +
                                "\n[FORM]\nMainTop=115\nMainLeft=263\nMainWidth=700\n"
                                "MainHeight=480\n\n[OPT]\nSavePath=\nOcrWidth=300\nmmHeight=210\n"
                                "WantBr=1\nWantRet=1\nLanguage=-1\nTranslation=0\n";
    EXPECT_TRUE(get() == expected);
    EXPECT_EQ(ReadIniInteger(b, "FORM", "MAINTOP", 0), 115);
    EXPECT_EQ(ReadIniInteger(b, "OPT", "Language", 0), -1);
}

// The file holds the upload password: private from its first byte, and a rewrite neither widens
// a mode the user chose nor replaces the user's link with a file.
TEST_F(IniSettingsTest, TheFileIsCreatedPrivateAndARewriteKeepsModeAndLink) {
    const auto modeOf = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const mode_t mask = ::umask(022);
    WriteIniInteger(base(), "OPT", "OcrWidth", 128);
    ::umask(mask);
    EXPECT_EQ(modeOf(file()), 0600u);

    ASSERT_TRUE(
        QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    WriteIniInteger(base(), "OPT", "OcrWidth", 129);
    EXPECT_EQ(modeOf(file()), 0640u);
    EXPECT_EQ(get(), QByteArray("[OPT]\nOcrWidth=129\n"));

    // A link to a file, and a link whose file does not exist yet: both stay links.
    const QString real = m_dir.filePath(QStringLiteral("real.ini"));
    ASSERT_TRUE(QFile::rename(file(), real));
    for (bool targetExists : {true, false}) {
        if (!targetExists) {
            ASSERT_TRUE(QFile::remove(real));
        }
        ASSERT_TRUE(QFile::link(real, file()));
        WriteIniInteger(base(), "OPT", "Language", 1);
        EXPECT_TRUE(QFileInfo(file()).isSymLink()) << targetExists;
        QFile target(real);
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        EXPECT_TRUE(target.readAll().endsWith("Language=1\n")) << targetExists;
        EXPECT_EQ(modeOf(real), targetExists ? 0640u : 0600u);
        ASSERT_TRUE(QFile::remove(file()));
    }

    // A file others may write (and so point HOST elsewhere) loses that at once, reading not.
    put("[SERVER]\nHOST=example.com\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0666), 0);
    NarrowSettingsWritableByOthers(base(), "test");
    EXPECT_EQ(modeOf(file()), 0644u);
}

} // namespace
