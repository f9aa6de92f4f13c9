#include "ProgramFolders.h"

#include "NamedMutex.h"
#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The XDG variables of this process, set for one test and restored after it.
class ProgramFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* name : Variables)
            m_saved.push_back(qgetenv(name));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("cache"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("run"))));
        qputenv("HOME", QFile::encodeName(path(QStringLiteral("home"))));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("program"))));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("run"))));
        ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("run")),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    void TearDown() override {
        QFile::setPermissions(path(QStringLiteral("program")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (size_t i = 0; i < std::size(Variables); ++i) {
            if (m_saved[i].isNull())
                qunsetenv(Variables[i]);
            else
                qputenv(Variables[i], m_saved[i]);
        }
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString exe() const { return path(QStringLiteral("program/vela")); }

    void put(const QString& file, const QByteArray& bytes) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray get(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void makeProgramReadOnly() const {
        ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("program")),
                                          QFile::ReadOwner | QFile::ExeOwner));
    }

    static constexpr const char* Variables[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                                "XDG_RUNTIME_DIR", "HOME", "TMPDIR"};
    QTemporaryDir m_dir;
    std::vector<QByteArray> m_saved;
};

TEST_F(ProgramFoldersTest, AWritableCopyKeepsEverythingBesideTheExecutable) {
    const ProgramFolders f = ProgramFolders::ForExecutable(exe());
    EXPECT_FALSE(f.Installed);
    EXPECT_EQ(f.AppFolder, path(QStringLiteral("program")));
    EXPECT_EQ(f.SettingsBase, path(QStringLiteral("program/vela")));
    EXPECT_EQ(f.WorkFolder, f.AppFolder);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("config"))));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("run/Vela"))));
}

// Also for root: a folder nobody may write is an installed copy's.
TEST_F(ProgramFoldersTest, AnInstalledCopyUsesTheUsersFoldersAndTakesOverTheAdministratorsFile) {
    const QByteArray admin = "[SERVER]\nHOST=ftp.site.example\nPASS=secret\n";
    put(path(QStringLiteral("program/vela.ini")), admin);
    makeProgramReadOnly();

    const ProgramFolders f = ProgramFolders::ForExecutable(exe());
    EXPECT_TRUE(f.Installed);
    EXPECT_EQ(f.AppFolder, path(QStringLiteral("program")));
    EXPECT_EQ(f.SettingsBase, path(QStringLiteral("config/Vela/vela")));
    EXPECT_EQ(f.WorkFolder, path(QStringLiteral("run/Vela")));
    EXPECT_EQ(modeOf(path(QStringLiteral("run/Vela"))), 0700u);
    EXPECT_EQ(modeOf(path(QStringLiteral("config/Vela"))), 0700u);
    const QString userFile = f.SettingsBase + QStringLiteral(".ini");
    EXPECT_EQ(get(userFile), admin);
    EXPECT_EQ(modeOf(userFile), 0600u);

    // Only the first start copies: the user's own settings are never replaced.
    put(userFile, "[SERVER]\nHOST=mine.example\n");
    ProgramFolders::ForExecutable(exe());
    EXPECT_EQ(get(userFile), QByteArray("[SERVER]\nHOST=mine.example\n"));
}

TEST_F(ProgramFoldersTest, WithoutAPrivateRuntimeFolderTheWorkFilesGoToAPrivateCacheFolder) {
    makeProgramReadOnly();
    // A runtime folder others may enter is no place for the user's text.
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("run")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther));
    // A cache folder left readable by others is narrowed.
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("cache/Vela"))));
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("cache/Vela")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup));
    EXPECT_EQ(ProgramFolders::ForExecutable(exe()).WorkFolder, path(QStringLiteral("cache/Vela")));
    EXPECT_EQ(modeOf(path(QStringLiteral("cache/Vela"))), 0700u);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("run/Vela"))));

    // Relative XDG paths are invalid and count as unset.
    qputenv("XDG_RUNTIME_DIR", "relative/run");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(ProgramFolders::ForExecutable(exe()).SettingsBase,
              path(QStringLiteral("home/.config/Vela/vela")));
}

// A lock file in the shared temporary folder, whoever left it there, blocks nobody: the lock is
// the user's own, in the runtime folder, else in the private cache folder.
TEST_F(ProgramFoldersTest, TheSingleInstanceLockLivesInTheUsersPrivateFolder) {
    qputenv("TMPDIR", QFile::encodeName(path(QStringLiteral("tmp"))));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("tmp"))));
    QLockFile shared(path(QStringLiteral("tmp/Mutex.lock")));
    ASSERT_TRUE(shared.tryLock(0));
    {
        NamedMutex first(QStringLiteral("Mutex"));
        ASSERT_TRUE(first.TryCreate());
        EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("run/Vela/Mutex.lock"))));
        EXPECT_FALSE(NamedMutex(QStringLiteral("Mutex")).TryCreate());
    }
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("run/Vela/Mutex.lock"))));
    qunsetenv("XDG_RUNTIME_DIR");
    NamedMutex second(QStringLiteral("Mutex"));
    ASSERT_TRUE(second.TryCreate());
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("cache/Vela/Mutex.lock"))));
    EXPECT_EQ(modeOf(path(QStringLiteral("cache/Vela"))), 0700u);
}

// A folder below one that others may change is not private, whatever its own mode. Without a
// private runtime or cache folder the work goes to one private folder per user in the
// temporary folder, the same at every call, so the single-instance lock still holds.
TEST_F(ProgramFoldersTest, ParentsOthersMayChangeAreRefusedAndTheLastResortIsOneFolder) {
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(path(QStringLiteral("tmp"))));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("tmp"))));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("shared/cache"))));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("shared"))).constData(), 0777), 0);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("shared/cache"))));
    const QString folder = PrivateFolder::ForUser();
    EXPECT_EQ(folder, path(QStringLiteral("tmp/vela-%1").arg(::geteuid())));
    EXPECT_EQ(PrivateFolder::ForUser(), folder);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("shared/cache/Vela"))));
    // A shared folder whose sticky bit keeps each entry to its owner is fine.
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("shared"))).constData(), 01777), 0);
    EXPECT_EQ(PrivateFolder::ForUser(), path(QStringLiteral("shared/cache/Vela")));

    // Nor is a link another user planted in the shared temporary folder followed to a folder of
    // ours, where the kernel does not refuse it itself.
    if (::geteuid() != 0)
        return;
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("shared"))).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("tmp"))).constData(), 01777), 0);
    ASSERT_TRUE(QDir(folder).removeRecursively() && QDir().mkpath(path(QStringLiteral("mine"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("mine")), folder));
    ASSERT_EQ(::lchown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    EXPECT_NE(PrivateFolder::ForUser(), folder);
    EXPECT_EQ(modeOf(path(QStringLiteral("mine"))), 0755u);
}

TEST_F(ProgramFoldersTest, TheLibraryFolderOfAnInstalledCopyIsFoundRelativeToItsFolder) {
    EXPECT_EQ(ProgramLibraryFolder(path(QStringLiteral("program"))),
              path(QStringLiteral("program")));
    const QString library = QDir::cleanPath(
        path(QStringLiteral("program/") + QStringLiteral(VELA_LIBRARY_FROM_BINDIR)));
    ASSERT_TRUE(QDir().mkpath(library));
    EXPECT_EQ(ProgramLibraryFolder(path(QStringLiteral("program"))), library);
}

} // namespace
