#include "ProfileFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("vela.ini")) const {
        return m_dir.filePath(name);
    }

    void put(const QByteArray& bytes, const QString& name = QStringLiteral("vela.ini")) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray get(const QString& name = QStringLiteral("vela.ini")) const {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }

    std::optional<QString> read(const char* section, const char* key) const {
        return ProfileFile(path()).ReadString(QString::fromUtf8(section), QString::fromUtf8(key));
    }

    bool write(const char* section, const char* key, const QString& value) const {
        return ProfileFile(path())
            .WriteString(QString::fromUtf8(section), QString::fromUtf8(key), value)
            .Ok();
    }

    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// Sets or clears the immutable flag, which stops even root from changing a folder or a file.
bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

TEST_F(ProfileFileTest, NamesCompareWithoutCaseAndBlanksAndOneQuotePairAreDropped) {
    put("[Form]\n"
        "  MAINTOP   =   50  \n"
        "\tpath\t=\t\"  spaced  \"\n"
        "single='x'\n"
        "twice=\"\"inner\"\"\n"
        "unmatched=\"abc'\n"
        "lone=\"\n"
        "[ Opt ]\n"
        "Ä=umlaut\n"
        "日本語=ja\n");
    EXPECT_EQ(read("FORM", "MainTop"), QStringLiteral("50"));
    EXPECT_EQ(read("form", "maintop"), QStringLiteral("50"));
    EXPECT_EQ(read("FORM", "PATH"), QStringLiteral("  spaced  "));
    EXPECT_EQ(read("FORM", "single"), QStringLiteral("x"));
    EXPECT_EQ(read("FORM", "twice"), QStringLiteral("\"inner\""));
    EXPECT_EQ(read("FORM", "unmatched"), QStringLiteral("\"abc'"));
    EXPECT_EQ(read("FORM", "lone"), QStringLiteral("\""));
    EXPECT_EQ(read("OPT", "ä"), QStringLiteral("umlaut"));
    EXPECT_EQ(read("opt", "日本語"), QStringLiteral("ja"));
    EXPECT_EQ(read("FORM", "Ä"), std::nullopt);
}

TEST_F(ProfileFileTest, MissingAndEmptyAreDifferentAndReadingNeverCreatesTheFile) {
    EXPECT_EQ(read("FORM", "MainTop"), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(path()));

    put("[OPT]\nSavePath=\nBlank =   \nQuoted=\"\"\n");
    EXPECT_EQ(read("OPT", "SavePath"), QString());
    EXPECT_TRUE(read("OPT", "SavePath").has_value());
    EXPECT_EQ(read("OPT", "Blank"), QString());
    EXPECT_EQ(read("OPT", "Quoted"), QString());
    EXPECT_EQ(read("OPT", "Other"), std::nullopt);
    EXPECT_EQ(read("SERVER", "SavePath"), std::nullopt);

    // A folder in place of the file, or a path through a missing folder, is simply missing.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("dir.ini")));
    EXPECT_EQ(ProfileFile(path(QStringLiteral("dir.ini"))).ReadString("OPT", "SavePath"),
              std::nullopt);
    EXPECT_EQ(ProfileFile(path(QStringLiteral("no/such.ini"))).ReadString("OPT", "SavePath"),
              std::nullopt);
}

TEST_F(ProfileFileTest, ValuesAreCutToTheReadLimitWithoutSplittingACharacter) {
    const QByteArray longValue(5000, 'v');
    // An emoji (two UTF-16 units) straddling the limit is dropped whole.
    const QByteArray straddling = QByteArray(2046, 'a') + "\xF0\x9F\x98\x80" + "tail";
    put("[OPT]\nLong=" + longValue + "\nEmoji=" + straddling + "\nExact=" + QByteArray(2047, 'e') +
        "\n");
    EXPECT_EQ(read("OPT", "Long"), QString(ProfileFile::MaxValueLength, QLatin1Char('v')));
    EXPECT_EQ(read("OPT", "Emoji"), QString(2046, QLatin1Char('a')));
    EXPECT_EQ(read("OPT", "Exact"), QString(2047, QLatin1Char('e')));
}

TEST_F(ProfileFileTest, OnlyHeadersAndEntriesCount) {
    put("Orphan=before any section\n[OPT]\n");
    EXPECT_EQ(read("OPT", "Orphan"), std::nullopt);
    put("\xEF\xBB\xBF"
        "[FORM] ; trailing text\r\n"
        ";MainTop=1\r\n"
        "MainLeft\r\n"
        "[OPT\r\n"
        "MainWidth=640\r\n"
        "[OPT]\r\n"
        "Language=1\r\n"
        "[FORM]\r\n"
        "MainLeft=7\r\n"
        "MainWidth=999\r\n");
    EXPECT_EQ(read("FORM", "MainTop"), std::nullopt); // commented out
    // "[OPT" lacks its "]": the entry below it still belongs to FORM, and wins over the
    // same key in the later FORM section.
    EXPECT_EQ(read("FORM", "MainWidth"), QStringLiteral("640"));
    EXPECT_EQ(read("OPT", "MainWidth"), std::nullopt);
    // A key missing from the first FORM section is found in the second one.
    EXPECT_EQ(read("FORM", "MainLeft"), QStringLiteral("7"));
    EXPECT_EQ(read("OPT", "Language"), QStringLiteral("1"));
}

TEST_F(ProfileFileTest, WritingCreatesFileAndSectionsWithTheUsualPermissions) {
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(write("FORM", "MainTop", QStringLiteral("115")));
    ::umask(mask);
    ASSERT_TRUE(write("FORM", "MainLeft", QStringLiteral("263")));
    ASSERT_TRUE(write("OPT", "SavePath", QString()));
    EXPECT_EQ(get(), QByteArray("[FORM]\nMainTop=115\nMainLeft=263\n\n[OPT]\nSavePath=\n"));
    EXPECT_EQ(modeOf(path()), 0644u);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("vela.ini")}); // no temporary left behind
}

TEST_F(ProfileFileTest, WritingReplacesTheEntryReadKeepingItsSpellingAndLineEnd) {
    put("[form]\r\n  MAINTOP = 50 ; old\r\nMainLeft=1\r\n[FORM]\r\nMainTop=2\r\n");
    ASSERT_TRUE(write("FORM", "MainTop", QStringLiteral("77")));
    EXPECT_EQ(get(),
              QByteArray("[form]\r\n  MAINTOP =77\r\nMainLeft=1\r\n[FORM]\r\nMainTop=2\r\n"));
    EXPECT_EQ(read("FORM", "MAINTOP"), QStringLiteral("77"));

    // The first entry in file order is the one read, also when it is in a later section.
    put("[FORM]\nA=1\n[OPT]\nX=0\n[Form]\nMainTop=3\n");
    ASSERT_TRUE(write("FORM", "maintop", QStringLiteral("4")));
    EXPECT_EQ(get(), QByteArray("[FORM]\nA=1\n[OPT]\nX=0\n[Form]\nMainTop=4\n"));
}

TEST_F(ProfileFileTest, MissingKeysGoAfterTheLastEntryOfTheirSection) {
    put("[FORM]\r\nMainTop=1\r\n; about OPT\r\n\r\n[OPT]\r\nLanguage=0\r\n[FORM]\r\nX=1\r\n");
    ASSERT_TRUE(write("form", "MainLeft", QStringLiteral("2")));
    EXPECT_EQ(get(), QByteArray("[FORM]\r\nMainTop=1\r\nMainLeft=2\r\n; about OPT\r\n\r\n"
                                "[OPT]\r\nLanguage=0\r\n[FORM]\r\nX=1\r\n"));

    // An empty section takes the key right below its header; a last line without its line
    // end gets one.
    put("[OPT]\n[FORM]");
    ASSERT_TRUE(write("OPT", "WantRet", QStringLiteral("1")));
    ASSERT_TRUE(write("FORM", "MainTop", QStringLiteral("5")));
    EXPECT_EQ(get(), QByteArray("[OPT]\nWantRet=1\n[FORM]\nMainTop=5\n"));

    put("; only a comment");
    ASSERT_TRUE(write("OPT", "Language", QStringLiteral("1")));
    EXPECT_EQ(get(), QByteArray("; only a comment\n\n[OPT]\nLanguage=1\n"));
}

TEST_F(ProfileFileTest, EveryForeignByteSurvivesAWrite) {
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage += static_cast<char>(i);
    const QByteArray huge(10 * 1024 * 1024, 'x');
    const QByteArray head = "; comment\r\n"
                            "\r\n" +
                            garbage + "\r\n" + huge + "\n" +
                            "[broken\n"
                            "\xC3\x28\xFF invalid utf-8 = \xFE\n"
                            "[FORM]\r\n"
                            "MainTop=";
    const QByteArray tail = "\r\n"
                            "[OTHER PROGRAM]\n" +
                            huge + "=" + huge + "\n" + garbage;
    put(head + "50" + tail);

    EXPECT_EQ(read("FORM", "MainTop"), QStringLiteral("50"));
    ASSERT_TRUE(write("FORM", "MainTop", QStringLiteral("60")));
    EXPECT_TRUE(get() == head + "60" + tail);
    ASSERT_TRUE(write("OPT", "Language", QStringLiteral("1")));
    EXPECT_TRUE(get() == head + "60" + tail + "\r\n\r\n[OPT]\r\nLanguage=1\r\n");
}

TEST_F(ProfileFileTest, ValuesComeBackAsWritten) {
    const QStringList values{QStringLiteral("  padded  "),  QStringLiteral("\"quoted\""),
                             QStringLiteral("'single'"),    QStringLiteral("a=b;c"),
                             QStringLiteral("パス/日本語"), QString()};
    for (const QString& v : values) {
        ASSERT_TRUE(write("OPT", "SavePath", v)) << v.toStdString();
        EXPECT_EQ(read("OPT", "SavePath"), v);
    }
}

TEST_F(ProfileFileTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
    put("[OPT]\nA=1\n");
    EXPECT_FALSE(write("OPT", "A=B", QStringLiteral("1")));
    EXPECT_FALSE(write("OPT", "[A", QStringLiteral("1")));
    EXPECT_FALSE(write("OPT", ";A", QStringLiteral("1")));
    EXPECT_FALSE(write("OPT", "", QStringLiteral("1")));
    EXPECT_FALSE(write("OPT", " A", QStringLiteral("1")));
    EXPECT_FALSE(write("O]PT", "A", QStringLiteral("1")));
    EXPECT_FALSE(write("", "A", QStringLiteral("1")));
    EXPECT_FALSE(write("OPT", "A", QStringLiteral("1\n[FORM]")));
    EXPECT_FALSE(write("OPT", "A", QStringLiteral("1\r")));
    EXPECT_EQ(get(), QByteArray("[OPT]\nA=1\n"));
}

TEST_F(ProfileFileTest, WritingKeepsModeAndFollowsSymbolicLinks) {
    put("[OPT]\nA=1\n", QStringLiteral("real.ini"));
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("real.ini")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real.ini")), path()));
    ASSERT_TRUE(write("OPT", "A", QStringLiteral("2")));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(get(QStringLiteral("real.ini")), QByteArray("[OPT]\nA=2\n"));
    EXPECT_EQ(modeOf(path(QStringLiteral("real.ini"))), 0640u);
}

// As the kernel's protected_symlinks rule: a link that another user planted in a sticky folder
// everyone may write is followed neither for reading nor for writing; our own link is.
TEST_F(ProfileFileTest, ALinkOfAnotherUserInASharedStickyFolderIsNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    put("[SERVER]\nPASS=mine\n", QStringLiteral("real.ini"));
    const QByteArray shared = QFile::encodeName(path(QStringLiteral("shared")));
    ASSERT_EQ(::mkdir(shared.constData(), 01777), 0);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    const QString link = path(QStringLiteral("shared/vela.ini"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real.ini")), link));
    ProfileFile file(link);
    const QString section = QStringLiteral("SERVER"), key = QStringLiteral("PASS");
    EXPECT_EQ(file.ReadString(section, key), QStringLiteral("mine"));

    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    EXPECT_EQ(file.ReadString(section, key), std::nullopt);
    const ProfileResult written = file.WriteString(section, key, QStringLiteral("theirs"));
    EXPECT_FALSE(written);
    EXPECT_TRUE(written.ErrorString().contains(QLatin1String("symbolic link of another user")))
        << written.ErrorString().toStdString();
    EXPECT_EQ(get(QStringLiteral("real.ini")), QByteArray("[SERVER]\nPASS=mine\n"));

    // Without the sticky bit the folder's users may replace the link anyway: it is followed.
    ASSERT_EQ(::chmod(shared.constData(), 0777), 0);
    EXPECT_EQ(file.ReadString(section, key), QStringLiteral("mine"));
}

TEST_F(ProfileFileTest, WritesThatCannotHappenFailAndLeaveTheFileAlone) {
    const QByteArray original = "[FORM]\nMainTop=50\n";

    // A read-only file refuses the write, also for root.
    put(original);
    ASSERT_TRUE(QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup));
    ProfileResult r = ProfileFile(path()).WriteString("FORM", "MainTop", "1");
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.ErrorString().isEmpty());
    EXPECT_EQ(get(), original);
    ASSERT_TRUE(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner));

    // A folder that nobody may write.
    const QString sub = path(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(sub));
    put(original, QStringLiteral("ro/vela.ini"));
    ASSERT_TRUE(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_FALSE(ProfileFile(sub + "/vela.ini").WriteString("FORM", "MainTop", "1").Ok());
    EXPECT_FALSE(ProfileFile(sub + "/new.ini").WriteString("FORM", "MainTop", "1").Ok());
    ASSERT_TRUE(QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_EQ(get(QStringLiteral("ro/vela.ini")), original);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files | QDir::Hidden), QStringList{"vela.ini"});

    // Folders the system itself refuses to write in, a missing folder, a folder in the
    // file's place.
    EXPECT_FALSE(ProfileFile("/proc/self/vela.ini").WriteString("FORM", "MainTop", "1").Ok());
    EXPECT_FALSE(ProfileFile(path("missing/vela.ini")).WriteString("FORM", "MainTop", "1").Ok());
    ASSERT_TRUE(QDir().mkdir(path("folder.ini")));
    EXPECT_FALSE(ProfileFile(path("folder.ini")).WriteString("FORM", "MainTop", "1").Ok());
    EXPECT_TRUE(QFileInfo(path("folder.ini")).isDir());
}

TEST_F(ProfileFileTest, AnImmutableFolderOrFileFailsTheWrite) {
    const QString sub = path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(sub));
    const QByteArray original = "[FORM]\nMainTop=50\n";
    put(original, QStringLiteral("locked/vela.ini"));
    put(original, QStringLiteral("fixed.ini"));
    if (!setImmutable(sub, true))
        GTEST_SKIP() << "the file system or the user cannot set the immutable flag here";
    const bool fileLocked = setImmutable(path(QStringLiteral("fixed.ini")), true);
    const bool folderWrite =
        ProfileFile(sub + "/vela.ini").WriteString("FORM", "MainTop", "1").Ok();
    const bool fileWrite =
        ProfileFile(path(QStringLiteral("fixed.ini"))).WriteString("FORM", "MainTop", "1").Ok();
    setImmutable(sub, false);
    setImmutable(path(QStringLiteral("fixed.ini")), false);
    ASSERT_TRUE(fileLocked);
    EXPECT_FALSE(folderWrite);
    EXPECT_FALSE(fileWrite);
    EXPECT_EQ(get(QStringLiteral("locked/vela.ini")), original);
    EXPECT_EQ(get(QStringLiteral("fixed.ini")), original);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files | QDir::Hidden), QStringList{"vela.ini"});
}

TEST_F(ProfileFileTest, HugeLinesCostLinearTime) {
    // Many lines of 10 MB each; a quadratic scan would take hours.
    QByteArray data = "[OTHER]\n";
    const QByteArray huge(10 * 1024 * 1024, '[');
    for (int i = 0; i < 4; ++i)
        data += huge + "\n" + QByteArray(2 * 1024 * 1024, '=') + "\n";
    data += "[OPT]\nLanguage=1\n";
    put(data);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(read("opt", "language"), QStringLiteral("1"));
    ASSERT_TRUE(write("OPT", "Language", QStringLiteral("0")));
    EXPECT_LT(timer.elapsed(), 20000);
}

} // namespace
