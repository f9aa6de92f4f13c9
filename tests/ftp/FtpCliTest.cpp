// vela-cli put and get as a user runs them: exit status and the error on standard error.
#include "CliRun.h"
#include "FtpTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CliRun runCli(const QStringList& arguments) {
    return RunVelaCli(arguments, 20000);
}

QStringList account(quint16 port) {
    return {"--host", "127.0.0.1", "--port",     QString::number(port),
            "--user", "bob",       "--password", "pw"};
}

} // namespace

TEST(FtpCliTest, GetFailuresExitNonZeroAndKeepTheLocalFile) {
    ServerProcess server;
    QJsonObject script;
    QJsonObject r;
    r["RETR"] = replies({"150 Opening BINARY mode data connection\r\n", "550 No such file\r\n"});
    script["replies"] = r;
    ASSERT_TRUE(server.StartScripted(script));

    const CliRun full =
        runCli(QStringList{"get"} + account(server.Port()) + QStringList{"r.bin", "/dev/full"});
    EXPECT_NE(full.Status, 0);
    EXPECT_TRUE(full.Errors.contains("FTP error 21: No space left on device")) << full.Errors;

    QTemporaryDir dir;
    const QString local = dir.filePath("keep.txt");
    ASSERT_TRUE(WriteFile(local, "precious"));
    const CliRun refused =
        runCli(QStringList{"get"} + account(server.Port()) + QStringList{"r.bin", local});
    EXPECT_NE(refused.Status, 0);
    EXPECT_TRUE(refused.Errors.contains("FTP error 29")) << refused.Errors;
    EXPECT_EQ(ReadFile(local), "precious");
}

// A folder the server refuses is an error: nothing goes to, or comes from, the login folder.
TEST(FtpCliTest, AFolderTheServerRefusesEndsTheTransferBeforeIt) {
    QTemporaryDir home, local;
    ASSERT_TRUE(WriteFile(home.filePath("r.bin"), "in the login folder"));
    ASSERT_TRUE(WriteFile(local.filePath("up.bin"), "upload"));
    ServerProcess server;
    ASSERT_TRUE(server.StartPyftpd(home.path(), "bob", "pw"));
    const QStringList dir{"--dir", "missing"};
    const CliRun put = runCli(QStringList{"put"} + account(server.Port()) + dir +
                              QStringList{local.filePath("up.bin"), "up.bin"});
    const CliRun get = runCli(QStringList{"get"} + account(server.Port()) + dir +
                              QStringList{"r.bin", local.filePath("r.bin")});
    for (const CliRun& run : {put, get}) {
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(run.Errors.contains("FTP error 26: Cannot change to missing")) << run.Errors;
    }
    EXPECT_FALSE(QFile::exists(home.filePath("up.bin")));
    EXPECT_FALSE(QFile::exists(local.filePath("r.bin")));
}

TEST(FtpCliTest, TimeoutOptionBoundsASilentServer) {
    ServerProcess mute;
    QJsonObject script;
    script["greeting"] = QJsonArray{};
    ASSERT_TRUE(mute.StartScripted(script));
    QTemporaryDir dir;
    QElapsedTimer clock;
    clock.start();
    const CliRun run = runCli(QStringList{"get", "--timeout", "1"} + account(mute.Port()) +
                              QStringList{"r.bin", dir.filePath("r.bin")});
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_NE(run.Status, 0);
    EXPECT_TRUE(run.Errors.contains("FTP error 7: Connection timed out")) << run.Errors;
    // A bad value is a usage error, not a transfer.
    EXPECT_EQ(runCli({"put", "--timeout", "0", "--host", "127.0.0.1", "a", "b"}).Status, 2);
}

// The password need not stand on the command line, where every user of the machine sees it.
TEST(FtpCliTest, ThePasswordComesFromAFileOrTheEnvironmentAndWarnsOnTheCommandLine) {
    QTemporaryDir home, dir;
    ServerProcess server;
    ASSERT_TRUE(server.StartPyftpd(home.path(), QStringLiteral("bob"), QStringLiteral("s3cret")));
    const QString local = dir.filePath("up.txt");
    const QString passwordFile = dir.filePath("password");
    ASSERT_TRUE(WriteFile(local, "text"));
    ASSERT_TRUE(WriteFile(passwordFile, "s3cret\r\n"));
    const QStringList put = QStringList{"put", "--host", "127.0.0.1", "--user", "bob", "--port"}
                            << QString::number(server.Port());

    const CliRun fromFile = runCli(put + QStringList{"--password-file", passwordFile, local, "a"});
    EXPECT_EQ(fromFile.Status, 0) << fromFile.Errors;
    qputenv("VELA_FTP_PASSWORD", "s3cret");
    const CliRun fromEnvironment = runCli(put + QStringList{local, "b"});
    qunsetenv("VELA_FTP_PASSWORD");
    EXPECT_EQ(fromEnvironment.Status, 0) << fromEnvironment.Errors;
    for (const CliRun* run : {&fromFile, &fromEnvironment})
        EXPECT_FALSE(run->Errors.contains("warning")) << run->Errors;
    const CliRun onTheLine = runCli(put + QStringList{"--password", "s3cret", local, "c"});
    EXPECT_EQ(onTheLine.Status, 0) << onTheLine.Errors;
    EXPECT_TRUE(onTheLine.Errors.contains("warning: --password")) << onTheLine.Errors;
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), (QStringList{"a", "b", "c"}));

    const CliRun missing =
        runCli(put + QStringList{"--password-file", dir.filePath("none"), local, "d"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Errors.contains("cannot read the password file")) << missing.Errors;
}

// A download never writes through a link that another user planted in a shared sticky folder.
TEST(FtpCliTest, ADownloadRefusesALinkOfAnotherUserInASharedStickyFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    QTemporaryDir home, dir;
    ServerProcess server;
    ASSERT_TRUE(server.StartPyftpd(home.path(), QStringLiteral("bob"), QStringLiteral("pw")));
    ASSERT_TRUE(WriteFile(QDir(home.path()).filePath("r.bin"), "from the server"));
    const QString mine = dir.filePath("mine.txt");
    ASSERT_TRUE(WriteFile(mine, "precious"));
    const QByteArray shared = QFile::encodeName(dir.filePath("shared"));
    ASSERT_EQ(::mkdir(shared.constData(), 0777), 0);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    const QString link = dir.filePath("shared/r.bin");
    ASSERT_TRUE(QFile::link(mine, link));
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);

    // Also a link that stands for a folder on the way.
    const QString folderLink = dir.filePath("shared/folder");
    ASSERT_TRUE(QFile::link(dir.path(), folderLink));
    ASSERT_EQ(::lchown(QFile::encodeName(folderLink).constData(), 65534, 65534), 0);
    for (const QString& target : {link, folderLink + "/mine.txt"}) {
        const CliRun run =
            runCli(QStringList{"get"} + account(server.Port()) + QStringList{"r.bin", target});
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(run.Errors.contains("FTP error 20")) << run.Errors;
        EXPECT_TRUE(run.Errors.contains("symbolic link of another user")) << run.Errors;
        EXPECT_EQ(ReadFile(mine), "precious");
    }
}
