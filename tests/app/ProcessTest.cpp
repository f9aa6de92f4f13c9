// The real program, started as a process from a copy in a temporary folder.
#include "Eventually.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

class VelaProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid() && tmp.isValid());
        exe = home.filePath(QStringLiteral("vela"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELA_BINARY), exe));
    }

    // The program's runtime folder is private to the test, so its single-instance lock
    // meets no other copy of the program on this machine.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path());
        return env;
    }
    std::unique_ptr<QProcess> start() {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment());
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(exe, {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    bool lockTaken() const {
        return QFile::exists(
            QDir(tmp.path()).filePath(QStringLiteral("Vela/MutexObjectForVelamoor.lock")));
    }

    QTemporaryDir home, tmp;
    QString exe;
};

} // namespace

TEST_F(VelaProcessTest, SigtermClosesLikeTheUserAndWritesTheDefaultSettings) {
    auto first = start();
    ASSERT_EVENTUALLY(lockTaken(), 10000);

    // A second copy ends at once, silently, and leaves the first running.
    auto second = start();
    EXPECT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);

    QFile ini(home.filePath(QStringLiteral("vela.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_EQ(text.count('['), 2) << text.constData();
    for (const char* line :
         {"[FORM]", "[OPT]", "MainTop=115", "MainLeft=263", "MainWidth=700", "MainHeight=480",
          "Language=0", "Translation=0", "WantRet=1", "WantBr=1", "OcrWidth=300", "mmHeight=210"})
        EXPECT_TRUE(text.contains(line)) << line;
    EXPECT_FALSE(lockTaken()) << "the lock is released at the end";
}

TEST_F(VelaProcessTest, HangupAndInterruptAlsoKeepTheSettings) {
    for (int sig : {SIGHUP, SIGINT}) {
        QFile::remove(home.filePath(QStringLiteral("vela.ini")));
        auto p = start();
        ASSERT_EVENTUALLY(lockTaken(), 10000);
        ::kill(static_cast<pid_t>(p->processId()), sig);
        ASSERT_TRUE(p->waitForFinished(15000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("vela.ini")))) << sig;
    }
}

TEST_F(VelaProcessTest, AStaleLockOfADeadCopyDoesNotStopTheProgram) {
    auto first = start();
    ASSERT_EVENTUALLY(lockTaken(), 10000);
    first->kill(); // SIGKILL: the lock file stays behind
    first->waitForFinished(5000);
    ASSERT_TRUE(lockTaken());
    auto next = start();
    QTest::qWait(1500);
    EXPECT_EQ(next->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(next->processId()), SIGTERM);
    EXPECT_TRUE(next->waitForFinished(15000));
}

TEST_F(VelaProcessTest, WithoutRecognitionDataNoWindowOpensAndASignalStillEndsIt) {
    QTemporaryDir emptyData;
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("TESSDATA_PREFIX"), emptyData.path()); // Tesseract's own lookup
    p->setProcessEnvironment(env);
    p->start(exe, {});
    ASSERT_TRUE(p->waitForStarted(5000));
    QTest::qWait(1500);
    EXPECT_EQ(p->state(), QProcess::Running) << "the message waits for the user";
    ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(10000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("vela.ini"))))
        << "no window was created";
}
