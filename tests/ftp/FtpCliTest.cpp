// vela-cli put and get as a user runs them: exit status and the error on standard error.
#include "CliRun.h"
#include "FtpTestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
