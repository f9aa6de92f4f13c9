// Against real servers on loopback with a temporary home: pyftpdlib, and vsftpd for the
// transfer set.
#include "FtpTestSupport.h"
#include "WinSock.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A client logged in to a real server with a temporary home.
class RealServerTest : public ::testing::Test {
protected:
    void startServer(const QString& kind) {
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(m_local.isValid());
        ASSERT_TRUE(QDir(m_home.path()).mkpath(QStringLiteral("sub")));
        ASSERT_TRUE(QDir(m_home.path()).mkpath(QStringLiteral("readonly")));
        m_client = std::make_unique<TFtpClient>();
        if (kind == QLatin1String("vsftpd")) {
            ASSERT_TRUE(m_server.StartVsftpd(m_home.path()));
            m_client->SetUsername(QStringLiteral("anonymous"));
        } else {
            ASSERT_TRUE(m_server.StartPyftpd(m_home.path(), QStringLiteral("alice"),
                                             QStringLiteral("s3cret"),
                                             {QStringLiteral("readonly")}));
            m_client->SetUsername(QStringLiteral("alice"));
            m_client->SetPassword(QStringLiteral("s3cret"));
        }
        m_client->SetServer(QStringLiteral("127.0.0.1"));
        m_client->SetPort(m_server.Port());
        m_client->SetRetries(0);
        m_log.Attach(*m_client);
    }

    void login(const QString& directory = QStringLiteral("sub")) {
        m_client->SetInitialDirectory(directory);
        m_client->Login();
        ASSERT_TRUE(WaitUntil([&] { return m_log.Has("loggedin"); }))
            << m_log.Events.join('|').toStdString();
        m_log.Events.clear();
        m_log.Commands.clear();
    }

    bool waitFor(const QString& event, int ms = 15000) {
        return WaitUntil([&] { return m_log.Has(event); }, ms);
    }

    QString home(const QString& name) const { return m_home.filePath(name); }
    QString local(const QString& name) const { return m_local.filePath(name); }

    QTemporaryDir m_home;
    QTemporaryDir m_local;
    ServerProcess m_server;
    std::unique_ptr<TFtpClient> m_client;
    EventLog m_log;
};

class PyftpdTest : public RealServerTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startServer(QStringLiteral("pyftpdlib"))); }
};

// The transfer set, against each real server.
class TransferSetTest : public RealServerTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startServer(QLatin1String(GetParam()))); }
};

} // namespace

TEST_F(PyftpdTest, LoginDialogueChangesDirectoryAndMasksPassword) {
    m_client->SetInitialDirectory(QStringLiteral("sub"));
    m_client->Login();
    ASSERT_TRUE(waitFor("loggedin"));
    const QStringList expected{
        "USER alice", "PASS (want to know) :-P", "SYST", "REST 100", "REST 0", "CWD sub"};
    // pyftpdlib's CWD reply quotes the path, so no PWD follows.
    EXPECT_EQ(m_log.Commands, expected);
    EXPECT_EQ(m_client->CurrentDirectory(), "/sub");
    EXPECT_EQ(m_client->ServerType(), ftpstUNIX);
    EXPECT_TRUE(m_client->CanResume());
    const qsizetype loggedInfo = m_log.Events.indexOf("info 12 Logged in");
    ASSERT_GE(loggedInfo, 0);
    EXPECT_EQ(m_log.Events.mid(loggedInfo),
              (QStringList{"info 12 Logged in", "ready", "loggedin"}));
    EXPECT_EQ(m_log.Events.first(), "info 0 127.0.0.1");
}

TEST_P(TransferSetTest, UploadAndDownloadInActiveAndPassiveMode) {
    login();
    const QByteArray content = PatternBytes(3000, 1);
    ASSERT_TRUE(WriteFile(local("up.bin"), content));
    ASSERT_TRUE(WriteFile(local("empty.bin"), {}));
    QList<int> dataSends;
    winsock::SetSendObserver([&](winsock::SOCKET, int length) {
        if (length > 100)
            dataSends << length;
    });
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        m_client->SetPassive(passive);
        const QString name = passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin");
        m_log.Events.clear();
        m_log.Commands.clear();
        dataSends.clear();
        m_client->StoreFile(local("up.bin"), name, QStringLiteral("B"), false);
        ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
        EXPECT_EQ(ReadFile(home("sub/" + name)), content);
        EXPECT_EQ(dataSends, (QList<int>{1514, 1486}));
        EXPECT_TRUE(m_log.Has("info 13 3000"));
        EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events.join('|').toStdString();
        EXPECT_EQ(m_log.Commands.filter(passive ? "PASV" : "PORT ").size(), 1) << m_log.Commands;
        EXPECT_EQ(m_log.Events.mid(m_log.Events.size() - 3),
                  (QStringList{"info 10 ", "ready", "stored"}));

        m_log.Events.clear();
        m_client->RetrieveFile(name, local("down-" + name), false);
        ASSERT_TRUE(waitFor("received"));
        EXPECT_EQ(ReadFile(local("down-" + name)), content);

        m_log.Events.clear();
        m_log.Progress = 0;
        m_client->StoreFile(local("empty.bin"), "e-" + name, QStringLiteral("B"), false);
        ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
        EXPECT_TRUE(QFile::exists(home("sub/e-" + name)));
        EXPECT_EQ(QFileInfo(home("sub/e-" + name)).size(), 0);
        EXPECT_TRUE(m_log.Has("info 13 0"));
        EXPECT_EQ(m_log.Progress, 1);
        m_client->RetrieveFile("e-" + name, local("e-down"), false);
        ASSERT_TRUE(waitFor("received"));
        EXPECT_TRUE(QFile::exists(local("e-down")));
        EXPECT_EQ(QFileInfo(local("e-down")).size(), 0);
    }
    winsock::SetSendObserver(nullptr);
    // TYPE is sent once per connection.
    EXPECT_EQ(m_log.Commands.count("TYPE I"), 0);
}

TEST_P(TransferSetTest, AsciiTransfersConvertLineEnds) {
    login();
    ASSERT_TRUE(WriteFile(local("text.txt"), "one\r\ntwo\r\n"));
    m_client->StoreFile(local("text.txt"), "text.txt", QStringLiteral("a"), false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
    EXPECT_TRUE(m_log.Commands.contains("TYPE A"));
    EXPECT_EQ(ReadFile(home("sub/text.txt")), "one\ntwo\n");

    m_log.Events.clear();
    m_client->SetTransferMode(AsciiTransfer);
    m_client->RetrieveFile("text.txt", local("back.txt"), false);
    ASSERT_TRUE(waitFor("received"));
    EXPECT_EQ(ReadFile(local("back.txt")), "one\r\ntwo\r\n");
}

TEST_F(PyftpdTest, ExistingRemoteFileIsOverwritten) {
    ASSERT_TRUE(WriteFile(home("sub/page.html"), PatternBytes(5000, 3)));
    m_client->SetOverWrite(true);
    login();
    m_log.NeedAnswer = QStringLiteral("Resume"); // must not be asked: OverWrite wins
    ASSERT_TRUE(WriteFile(local("page.html"), "<html>short</html>"));
    m_client->StoreFile(local("page.html"), "page.html", QStringLiteral("B"), true);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
    EXPECT_TRUE(m_log.Needs.isEmpty());
    EXPECT_TRUE(m_log.Commands.contains("SIZE page.html"));
    EXPECT_FALSE(m_log.Commands.contains("REST 5000"));
    EXPECT_EQ(ReadFile(home("sub/page.html")), "<html>short</html>");
}

TEST_P(TransferSetTest, PartialDownloadAndUploadResume) {
    const QByteArray content = PatternBytes(10000, 5);
    ASSERT_TRUE(WriteFile(home("sub/big.bin"), content));
    ASSERT_TRUE(WriteFile(local("big.bin"), content.left(4000)));
    login();
    m_log.NeedAnswer = QStringLiteral("Resume");
    m_client->RetrieveFile("big.bin", local("big.bin"), true);
    ASSERT_TRUE(waitFor("received"));
    EXPECT_TRUE(m_log.Commands.contains("REST 4000")) << m_log.Commands.join('|').toStdString();
    EXPECT_EQ(ReadFile(local("big.bin")), content);

    // Nothing left to fetch: no completion event.
    m_log.Events.clear();
    m_client->RetrieveFile("big.bin", local("big.bin"), true);
    ASSERT_TRUE(waitFor("ready"));
    Pump(100);
    EXPECT_TRUE(m_log.Has("info 20 I am afraid I have nothing to do"));
    EXPECT_FALSE(m_log.Has("received"));

    ASSERT_TRUE(WriteFile(home("sub/half.bin"), content.left(6000)));
    ASSERT_TRUE(WriteFile(local("whole.bin"), content));
    m_log.Events.clear();
    m_log.Commands.clear();
    m_client->StoreFile(local("whole.bin"), "half.bin", QStringLiteral("B"), false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
    EXPECT_EQ(m_log.Needs.last(), 3);
    EXPECT_TRUE(m_log.Commands.contains("REST 6000")) << m_log.Commands.join('|').toStdString();
    EXPECT_EQ(ReadFile(home("sub/half.bin")), content);
}

TEST_F(PyftpdTest, RefusedStoreReportsErrorAndStillCompletes) {
    login(QStringLiteral("readonly"));
    ASSERT_TRUE(WriteFile(local("x.txt"), "data"));
    m_client->StoreFile(local("x.txt"), "x.txt", QStringLiteral("B"), false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
    EXPECT_TRUE(m_log.Has("error 29 Access denied or file not found"))
        << m_log.Events.join('|').toStdString();
    EXPECT_LT(m_log.Events.indexOf("error 29 Access denied or file not found"),
              m_log.Events.indexOf("stored"));
    EXPECT_FALSE(QFile::exists(home("readonly/x.txt")));
    // The connection stays usable.
    m_log.Events.clear();
    m_client->StoreFile(local("x.txt"), "../sub/x.txt", QStringLiteral("B"), false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events.join(QChar(0x7c)).toStdString();
    EXPECT_EQ(ReadFile(home("sub/x.txt")), "data");
}

TEST_F(PyftpdTest, WrongPasswordIsTriedFourTimesWithThreeRetries) {
    m_client->SetPassword(QStringLiteral("wrong"));
    m_client->SetRetries(3);
    m_client->SetRetryInterval(1);
    m_client->Login();
    ASSERT_TRUE(WaitUntil([&] { return m_log.Has("ready"); }, 30000))
        << m_log.Events.join('|').toStdString();
    EXPECT_EQ(m_log.Commands.count("PASS (want to know) :-P"), 4);
    EXPECT_EQ(m_log.CountPrefix("error 26"), 4) << m_log.Events;
    EXPECT_EQ(m_log.Count("info 18 Retrying..."), 3);
    EXPECT_EQ(m_log.Events.mid(m_log.Events.size() - 4),
              (QStringList{"info 21 Retry Finished", "info 1 Disconnected", "quit", "ready"}));
    EXPECT_FALSE(m_log.Has("loggedin")) << m_log.Events;
}

TEST_F(PyftpdTest, SynchronousStoreReturnsWhenDone) {
    login();
    m_client->SetAsynchronous(false);
    ASSERT_TRUE(WriteFile(local("s.bin"), PatternBytes(20000)));
    m_client->StoreFile(local("s.bin"), "s.bin", QStringLiteral("B"), false);
    EXPECT_FALSE(m_client->Busy());
    EXPECT_TRUE(m_log.Has("stored"));
    EXPECT_EQ(ReadFile(home("sub/s.bin")), PatternBytes(20000));
}

INSTANTIATE_TEST_SUITE_P(Servers, TransferSetTest, ::testing::Values("pyftpdlib", "vsftpd"),
                         [](const auto& info) { return std::string(info.param); });
