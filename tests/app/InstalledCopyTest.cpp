// The real program, run as an ordinary user from a folder it cannot write, as after installation.
#include "Eventually.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class InstalledCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        // Root runs the program as "nobody": an ordinary user that owns nothing of the test's.
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            ASSERT_NE(nobody, nullptr);
            m_uid = nobody->pw_uid;
            m_gid = nobody->pw_gid;
            ASSERT_EQ(::chmod(QFile::encodeName(m_root.path()).constData(), 0755), 0);
        }
        for (const char* folder : {"program", "home", "run", "tmp"})
            ASSERT_TRUE(QDir(m_root.path()).mkdir(QString::fromLatin1(folder)));
        for (const char* folder : {"home", "run", "tmp"})
            giveToUser(path(QString::fromLatin1(folder)), 0700);

        ASSERT_TRUE(QFile::copy(QStringLiteral(VELA_BINARY), path(QStringLiteral("program/vela"))));
        QFile admin(path(QStringLiteral("program/vela.ini")));
        ASSERT_TRUE(admin.open(QIODevice::WriteOnly));
        admin.write("[SERVER]\nHOST=ftp.site.example\n");
        admin.close();
        ASSERT_EQ(
            ::chmod(QFile::encodeName(path(QStringLiteral("program/vela.ini"))).constData(), 0444),
            0);
        ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("program"))).constData(), 0555), 0);
    }
    void TearDown() override {
        ::chmod(QFile::encodeName(path(QStringLiteral("program"))).constData(), 0755);
    }

    QString path(const QString& name) const { return m_root.filePath(name); }

    void giveToUser(const QString& folder, mode_t mode) const {
        const QByteArray f = QFile::encodeName(folder);
        if (m_uid) {
            ASSERT_EQ(::chown(f.constData(), m_uid, m_gid), 0);
        }
        ASSERT_EQ(::chmod(f.constData(), mode), 0);
    }

    std::unique_ptr<QProcess> start() const {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        if (m_uid) {
            const uid_t uid = m_uid;
            const gid_t gid = m_gid;
            p->setChildProcessModifier([uid, gid] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                    ::_exit(127);
            });
        }
        p->start(path(QStringLiteral("program/vela")), {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    QTemporaryDir m_root;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

TEST_F(InstalledCopyTest, SettingsGoToTheConfigurationFolderAndWorkFilesToAPrivateFolder) {
    auto vela = start();
    const QString work = path(QStringLiteral("run/Vela"));
    ASSERT_EVENTUALLY(
        QFileInfo::exists(QDir(work).filePath(QStringLiteral("MutexObjectForVelamoor.lock"))),
        15000);
    EXPECT_EQ(modeOf(work), 0700u);
    // Work files of the run: the window removes them from its work folder when it closes.
    for (const char* name : {"zScan.bmp", "trans.html"}) {
        QFile f(QDir(work).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTest::qWait(500);
    ASSERT_EQ(vela->state(), QProcess::Running);

    // A failed settings write would hold the program in its error message.
    ::kill(static_cast<pid_t>(vela->processId()), SIGTERM);
    ASSERT_TRUE(vela->waitForFinished(20000)) << "the program did not end after SIGTERM";
    EXPECT_EQ(vela->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vela->exitCode(), 0);

    const QString ini = path(QStringLiteral("home/.config/Vela/vela.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    for (const char* line :
         {"[SERVER]\nHOST=ftp.site.example", "[FORM]", "MainWidth=700", "[OPT]", "OcrWidth=300"})
        EXPECT_TRUE(text.contains(line)) << line << "\n" << text.constData();
    EXPECT_EQ(modeOf(ini), 0600u);
    EXPECT_EQ(modeOf(path(QStringLiteral("home/.config/Vela"))), 0700u);
    EXPECT_FALSE(QFileInfo::exists(QDir(work).filePath(QStringLiteral("zScan.bmp"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(work).filePath(QStringLiteral("trans.html"))));
    EXPECT_EQ(QDir(path(QStringLiteral("program"))).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("vela"), QStringLiteral("vela.ini")}));
}

} // namespace
