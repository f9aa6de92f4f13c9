// vela-cli print, run as a program against the test server.
#include "WebTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <unistd.h>
#include <utility>

namespace {

struct CliResult {
    int ExitCode = -1;
    QString Error;
};

// changes: variables set for the command, or removed when their value is empty.
CliResult runPrint(const QStringList& args, const QString& home,
                   const QList<std::pair<QString, QString>>& changes = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : changes) {
        if (value.isEmpty())
            env.remove(name);
        else
            env.insert(name, value);
    }
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home); // its own registry file
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The same Chromium quirk as in AsanOptions.cpp, for a sanitizer build of the command.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0")) +
                   QStringLiteral(":new_delete_type_mismatch=0"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELA_CLI_PATH), QStringList{QStringLiteral("print")} + args);
    // The server answers from this thread's event loop, so wait by serving it.
    WaitFor([&] { return process.state() == QProcess::NotRunning; }, 90000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

class CliPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestServer().Route(
            "/cli.html",
            HttpServer::Response{200, "text/html; charset=utf-8",
                                 "<html><body><h1>Printed by the "
                                 "command</h1><p>\xE7\xBF\xBB\xE8\xA8\xB3</p></body></html>"});
    }

    QTemporaryDir dir;
    QString Out() const { return dir.filePath(QStringLiteral("out.pdf")); }
};

TEST_F(CliPrintTest, PrintsAPageToPdf) {
    const CliResult result =
        runPrint({TestServer().Url(QStringLiteral("/cli.html")), Out()}, dir.path());
    ASSERT_EQ(result.ExitCode, 0) << result.Error.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), Out(), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains(QLatin1String("Printed by the command"))) << words.toStdString();
    EXPECT_TRUE(words.contains(QString::fromUtf8("翻訳"))) << words.toStdString();
}

// The sandbox is off only by the user's QTWEBENGINE_DISABLE_SANDBOX=1 or --no-sandbox among
// the engine's flags, and is then said to be; another value of the variable is dropped, and
// as root the command then says how to run the browser instead of being ended by the engine.
TEST_F(CliPrintTest, TheSandboxIsOffOnlyAsTheUserSaysAndThenItIsTold) {
    const QString url = TestServer().Url(QStringLiteral("/cli.html"));
    const CliResult flag =
        runPrint({url, Out()}, dir.path(),
                 {{QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QString()},
                  {QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox")}});
    EXPECT_EQ(flag.ExitCode, 0) << flag.Error.toStdString();
    EXPECT_TRUE(flag.Error.contains(QLatin1String("without its sandbox (--no-sandbox")))
        << flag.Error.toStdString();

    const CliResult zero =
        runPrint({url, Out()}, dir.path(),
                 {{QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("0")}});
    EXPECT_TRUE(zero.Error.contains(QLatin1String("QTWEBENGINE_DISABLE_SANDBOX=0 is ignored")))
        << zero.Error.toStdString();
    EXPECT_EQ(zero.ExitCode, ::geteuid() == 0 ? 1 : 0) << zero.Error.toStdString();
    EXPECT_EQ(zero.Error.contains(QLatin1String("set QTWEBENGINE_DISABLE_SANDBOX=1")),
              ::geteuid() == 0)
        << zero.Error.toStdString();
}

TEST_F(CliPrintTest, FailuresExitNonZeroWithAMessage) {
    TestServer().Route("/cli-never.html",
                       HttpServer::Response{200, "text/html",
                                            QByteArray("<html><body>") + QByteArray(2000, 'z'),
                                            true});
    TestServer().Route("/cli.txt", HttpServer::Response{200, "text/plain", "text"});
    HttpServer::Response missing{404, "text/html", "<html><body>no such page</body></html>"};
    TestServer().Route("/cli-missing.html", missing);

    CliResult r = runPrint({TestServer().Url(QStringLiteral("/cli-never.html")), Out(),
                            QStringLiteral("--wait"), QStringLiteral("2")},
                           dir.path());
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Error.contains(QLatin1String("did not finish loading within 2 seconds")))
        << r.Error.toStdString();

    // An address that quotes another one is reported as it stands, its "%2F" included.
    const QString quoting =
        TestServer().Url(QStringLiteral("/cli-missing.html")) + QStringLiteral("?u=http%3A%2F%2Fa");
    r = runPrint({quoting, Out()}, dir.path());
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Error.contains(QLatin1String("error 404"))) << r.Error.toStdString();
    EXPECT_TRUE(r.Error.contains(quoting)) << r.Error.toStdString();

    r = runPrint({TestServer().Url(QStringLiteral("/cli.txt")), Out()}, dir.path());
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Error.contains(QLatin1String("not an HTML page"))) << r.Error.toStdString();

    r = runPrint({TestServer().Url(QStringLiteral("/cli.html")),
                  dir.filePath(QStringLiteral("no/such/folder/out.pdf"))},
                 dir.path());
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Error.contains(QLatin1String("Cannot write"))) << r.Error.toStdString();

    r = runPrint({TestServer().Url(QStringLiteral("/cli.html"))}, dir.path());
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_FALSE(QFile::exists(Out()));
}

// A saved page may come from anywhere: printed from the user's folder, it runs no script and
// reads no other local file.
TEST_F(CliPrintTest, ALocalFileIsPrintedWithoutItsScriptsAndWithoutOtherLocalFiles) {
    const auto put = [this](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put("secret.html", "<html><body><p>SECRET WORDS</p></body></html>");
    put("page.html", "<html><body><p>Local words</p><script>document.write('SCRIPT RAN')"
                     "</script><iframe src='secret.html'></iframe></body></html>");
    const CliResult result =
        runPrint({dir.filePath(QStringLiteral("page.html")), Out()}, dir.path());
    ASSERT_EQ(result.ExitCode, 0) << result.Error.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {Out(), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains(QLatin1String("Local words"))) << words.toStdString();
    EXPECT_FALSE(words.contains(QLatin1String("SCRIPT RAN"))) << words.toStdString();
    EXPECT_FALSE(words.contains(QLatin1String("SECRET"))) << words.toStdString();
}

} // namespace
