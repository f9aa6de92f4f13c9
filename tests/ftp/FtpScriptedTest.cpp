// Exact dialogues against the scripted server of the fixtures.
#include "FtpTestSupport.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ScriptedTest : public ScriptedServerTest {};

} // namespace

TEST_F(ScriptedTest, MultiLineGreetingSplitLinesAndContinuations) {
    QJsonObject script;
    script["greeting"] = replies({"220-Welcome\r\n220-second", " line\r\n", "220 ready\r\n"});
    QJsonObject r;
    // Bare line feeds, a reply split in the middle, and a same-code line inside a reply.
    r["USER"] = QJsonArray{QJsonArray{"33", "1 Password please\n"}};
    r["PASS"] = QJsonArray{QJsonArray{"230-Hello\r\n230-still going\r\n", "230 done\n"}};
    r["CWD"] = replies({"550 No such directory\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetInitialDirectory(QStringLiteral("missing"));
    ASSERT_NO_FATAL_FAILURE(login());
    // One greeting step (one USER), after the multi-line reply was announced.
    EXPECT_EQ(m_log.Commands.filter("USER").size(), 1);
    EXPECT_LT(m_log.Events.indexOf("info 16 "), m_log.Events.indexOf("info 4 USER bob"));
    EXPECT_EQ(m_log.Count("info 16 "), 2);
    EXPECT_EQ(m_client->ReplyLines(), (QStringList{"230-Hello", "230-still going", "230 done"}));
    // The refused CWD is not reported; PWD gives the directory.
    EXPECT_EQ(m_log.Commands.mid(2),
              (QStringList{"SYST", "REST 100", "REST 0", "CWD missing", "PWD"}));
    EXPECT_EQ(m_client->CurrentDirectory(), "/home");
    EXPECT_EQ(m_log.CountPrefix("error"), 0);
}

TEST_F(ScriptedTest, SystRepliesDecideTheServerType) {
    QJsonObject script;
    QJsonObject r;
    r["SYST"] = replies({"215 UNIX Type: L8\r\n", "215 VMS MultiNet V4.3\r\n", "215 Windows_NT\r\n",
                         "502 SYST not implemented\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    // By name first: looked up once, then the resolved address is kept.
    m_client->SetServer("localhost");
    for (const TFtpServerType expected :
         {ftpstUNIX, ftpstVmsMultinet, ftpstDefault, ftpstDefault}) {
        m_client->SetServerType(ftpstAutoDetect);
        reset();
        ASSERT_NO_FATAL_FAILURE(login());
        EXPECT_EQ(m_client->ServerType(), expected);
        if (expected == ftpstUNIX) {
            EXPECT_EQ(m_log.Events.mid(0, 3),
                      (QStringList{"info 2 localhost", "info 19 127.0.0.1", "info 0 127.0.0.1"}));
        } else {
            EXPECT_EQ(m_log.Events.first(), "info 0 127.0.0.1");
        }
    }
    // Once known, the type is kept and no SYST is sent.
    reset();
    m_client->SetServerType(ftpstUNIX);
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_FALSE(m_log.Commands.contains("SYST"));
    EXPECT_EQ(m_client->ServerType(), ftpstUNIX);
}

TEST_F(ScriptedTest, NetTermPathsAreConverted) {
    QJsonObject script;
    script["greeting"] = replies({"220 NetTerm FTP server ready\r\n"});
    QJsonObject r;
    r["PWD"] = replies({"257 \"/C:/dir\" is current\r\n", "257 \"C:\\dir\\sub\" is current\r\n"});
    r["SYST"] = replies({"215 NetTerm\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_EQ(m_client->ServerType(), ftpstNetTerm);
    EXPECT_EQ(m_client->CurrentDirectory(), "/dir");
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_EQ(m_client->CurrentDirectory(), "/dir/sub");
}

TEST_F(ScriptedTest, SixProxyKindsSendTheirCommands) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    const quint16 proxyPort = m_server.Port();
    m_client->SetProxyServer(QStringLiteral("127.0.0.1"));
    m_client->SetProxyPort(proxyPort);
    m_client->SetProxyUsername(QStringLiteral("puser"));
    m_client->SetProxyPassword(QStringLiteral("ppass"));
    m_client->SetServerType(ftpstUNIX);
    struct Case {
        TFtpProxyType Type;
        quint16 Port;
        QStringList Login;
    };
    const QString pass = QStringLiteral("PASS (want to know) :-P");
    const QList<Case> cases{
        {proxyNone, 21, {"USER bob", pass}},
        {proxyHost, 21, {"HOST ftp.example.com", "USER bob", pass}},
        {proxyHostUser, 21, {"USER ftp.example.com!bob", pass}},
        {proxyHostUser, 2121, {"USER ftp.example.com:2121!bob", pass}},
        {proxyOpen, 21, {"OPEN ftp.example.com", "USER bob", pass}},
        {proxySite, 21, {"USER puser", pass, "SITE ftp.example.com", "USER bob", pass}},
        {proxyUserSite, 21, {"USER bob@ftp.example.com", pass}},
        {proxyUserSite, 2121, {"USER bob@ftp.example.com:2121", pass}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Type));
        m_client->SetServer(QStringLiteral("ftp.example.com"));
        m_client->SetPort(c.Port);
        m_client->SetProxyType(c.Type);
        if (c.Type == proxyNone) {
            // The real server of this case is our scripted one.
            m_client->SetServer(QStringLiteral("127.0.0.1"));
            m_client->SetPort(proxyPort);
        }
        reset();
        ASSERT_NO_FATAL_FAILURE(login());
        EXPECT_EQ(m_log.Commands.mid(0, c.Login.size()), c.Login);
        // The login commands name the real server, which is back in place afterwards.
        if (c.Type != proxyNone) {
            EXPECT_EQ(m_client->Server(), "ftp.example.com");
        }
        reset();
        m_client->Disconnect();
        ASSERT_TRUE(waitFor("ready"));
    }
    // A blank proxy server turns any proxy kind off.
    m_client->SetProxyServer(QStringLiteral("  "));
    m_client->SetProxyType(proxySite);
    m_client->SetServer(QStringLiteral("127.0.0.1"));
    m_client->SetPort(proxyPort);
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_EQ(m_client->ProxyType(), proxyNone);
    EXPECT_EQ(m_log.Commands.first(), "USER bob");
}

TEST_F(ScriptedTest, SizeAnswered550Or502AndTypeLetters) {
    ASSERT_NO_FATAL_FAILURE(
        startAnswering("SIZE", {"550 No such file\r\n", "502 SIZE not implemented\r\n"}));
    const QString file = m_dir.filePath("f.bin");
    ASSERT_TRUE(WriteFile(file, PatternBytes(3000)));
    const QRegularExpression transferCommands("^(TYPE|SIZE|STOR|REST [^0])");

    // "b" is binary; a 550 to SIZE leads to a plain STOR.
    reset();
    m_client->StoreFile(file, "f.bin", "b", false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events;
    EXPECT_EQ(m_log.Commands.filter(transferCommands),
              (QStringList{"TYPE I", "SIZE f.bin", "STOR f.bin"}));
    EXPECT_TRUE(m_server.Notes().contains("STORED 3000"));

    // No TYPE the second time; 502 turns SIZE off for the rest of the connection.
    reset();
    m_client->StoreFile(file, "f.bin", "B", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_EQ(m_log.Commands.filter(transferCommands), (QStringList{"SIZE f.bin", "STOR f.bin"}));
    reset();
    // "I" is no mode letter: TransferMode decides.
    m_client->SetTransferMode(AsciiTransfer);
    m_client->StoreFile(file, "f.bin", "I", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_EQ(m_log.Commands.filter(transferCommands), (QStringList{"TYPE A", "STOR f.bin"}));

    // A new login forgets the type letter and turns SIZE on again.
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    m_client->StoreFile(file, "f.bin", "A", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_EQ(m_log.Commands.filter(transferCommands),
              (QStringList{"TYPE A", "SIZE f.bin", "STOR f.bin"}));
}

TEST_F(ScriptedTest, RefusedRestEndsResumeWithError28) {
    QJsonObject script;
    QJsonObject r;
    r["SIZE"] = replies({"213 1000\r\n"});
    // The login's REST 100 and REST 0 pass; the transfers' REST is refused.
    r["REST"] = replies({"350 ok\r\n", "350 ok\r\n", "501 Bad offset\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    m_log.NeedAnswer = "Resume";
    const QString file = m_dir.filePath("f.bin");
    ASSERT_TRUE(WriteFile(file, PatternBytes(3000)));
    reset();
    m_client->StoreFile(file, "f.bin", "B", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_TRUE(m_log.Commands.contains("REST 1000"));
    EXPECT_FALSE(m_log.Commands.contains("STOR f.bin"));
    EXPECT_TRUE(m_log.Has("error 28 Failed to resume uploading file")) << m_log.Events;

    ASSERT_TRUE(WriteFile(file, PatternBytes(400)));
    reset();
    m_client->RetrieveFile("f.bin", file, true);
    ASSERT_TRUE(waitFor("received"));
    EXPECT_TRUE(m_log.Commands.contains("REST 400")) << m_log.Commands;
    EXPECT_FALSE(m_log.Commands.contains("RETR f.bin"));
    EXPECT_TRUE(m_log.Has("error 28 Failed to resume downloading file")) << m_log.Events;
    EXPECT_EQ(ReadFile(file), PatternBytes(400));
}

TEST_F(ScriptedTest, PreliminaryRepliesAnnounceTheTransferSize) {
    QJsonObject script;
    QJsonObject r;
    r["RETR"] = replies({"150 Opening BINARY mode data connection for r.bin (3000 bytes)\r\n",
                         "150 1.5 kbytes to download\r\n"});
    script["replies"] = r;
    script["retr_size"] = 3000;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    QByteArray expected(3000, Qt::Uninitialized);
    for (int i = 0; i < 3000; ++i)
        expected[i] = static_cast<char>((i * 7) % 251);
    for (const bool passive : {false, true}) {
        m_client->SetPassive(passive);
        reset();
        const QString file = m_dir.filePath(passive ? "p.bin" : "a.bin");
        m_client->RetrieveFile("r.bin", file, false);
        ASSERT_TRUE(waitFor("received")) << m_log.Events;
        EXPECT_TRUE(m_log.Has(passive ? "info 13 1500" : "info 13 3000")) << m_log.Events;
        EXPECT_EQ(ReadFile(file), expected);
        EXPECT_EQ(m_log.CountPrefix("error"), 0);
    }
}

TEST_F(ScriptedTest, PassiveRepliesCannotPointElsewhere) {
    ASSERT_NO_FATAL_FAILURE(
        startAnswering("PASV", {"227 Entering Passive Mode (127,0,0,x,1,2)\r\n"}));
    m_client->SetPassive(true);
    reset();
    m_client->RetrieveFile("r.bin", m_dir.filePath("r.bin"), false);
    ASSERT_TRUE(waitFor("received"));
    EXPECT_TRUE(m_log.Has("error 12 Malformed passive mode reply")) << m_log.Events;
    EXPECT_FALSE(m_log.Commands.contains("RETR r.bin"));
    EXPECT_TRUE(m_client->ControlConnected());

    // A reply naming a foreign host: the data connection still goes to the server.
    ServerProcess other;
    QJsonObject foreign;
    foreign["pasv_host"] = "10,1,2,3";
    ASSERT_TRUE(other.StartScripted(foreign));
    m_client->SetPort(other.Port());
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    m_client->RetrieveFile("r.bin", m_dir.filePath("r.bin"), false);
    ASSERT_TRUE(waitFor("received"));
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    EXPECT_EQ(ReadFile(m_dir.filePath("r.bin")).size(), 3000);
}

TEST_F(ScriptedTest, ArgumentsWithLineBreaksAreNeverSent) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    ASSERT_NO_FATAL_FAILURE(login());
    const int before = static_cast<int>(m_server.Commands().size());
    const QString local = m_dir.filePath("x.bin");
    ASSERT_TRUE(WriteFile(local, "x"));
    reset();
    m_client->RetrieveFile("a\r\nDELE x", local, false);
    ASSERT_TRUE(waitFor("received"));
    m_client->StoreFile(local, QString("a") + QChar(0) + "b", "B", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_EQ(m_log.CountPrefix("error 23"), 2) << m_log.Events;
    EXPECT_TRUE(m_log.Commands.isEmpty()) << m_log.Commands;
    Pump(200);
    EXPECT_EQ(m_server.Commands().size(), before);

    // Login values are checked before anything is sent.
    ServerProcess fresh;
    ASSERT_TRUE(fresh.StartScripted(QJsonObject{}));
    m_client->Disconnect();
    m_client->SetPort(fresh.Port());
    m_client->SetUsername("bob\r\nDELE x");
    reset();
    m_client->Login();
    ASSERT_TRUE(waitFor("ready"));
    EXPECT_TRUE(m_log.Events.filter("error 26 Username").size() == 1) << m_log.Events;
    m_client->SetUsername("bob");
    m_client->SetInitialDirectory("dir\nDELE x");
    m_client->Login();
    ASSERT_TRUE(WaitUntil([&] { return m_log.CountPrefix("error 12") == 1; }));
    Pump(200);
    EXPECT_TRUE(fresh.Commands().isEmpty());
    EXPECT_FALSE(m_log.Has("info 0 127.0.0.1"));
}

// Taking the published page off the server: a confirmed DELE is the only deletion reported, a
// refusal is error 29, and a name that would smuggle in a command is never sent.
TEST_F(ScriptedTest, DeleteIsConfirmedOrRefusedAndSendsNoLineBreak) {
    QJsonObject script;
    QJsonObject r;
    r["DELE"] = replies({"250 Deleted\r\n", "550 No such file\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    int deleted = 0;
    m_client->OnFileDeleted = [&](TFtpClient*) { ++deleted; };
    reset();
    m_client->DeleteFile("page.html");
    ASSERT_TRUE(WaitUntil([&] { return deleted == 1; })) << m_log.Events;
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    m_client->DeleteFile("page.html");
    ASSERT_TRUE(WaitUntil([&] { return m_log.CountPrefix("error 29") == 1; })) << m_log.Events;
    m_client->DeleteFile("page.html\r\nRMD /");
    ASSERT_TRUE(WaitUntil([&] { return m_log.CountPrefix("error 23") == 1; })) << m_log.Events;
    Pump(200);
    EXPECT_EQ(m_log.Commands, (QStringList{"DELE page.html", "DELE page.html"}));
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(m_client->LoggedIn());
}

TEST_F(ScriptedTest, KeepAliveSendsNoopUntilRefused) {
    QJsonObject script;
    QJsonObject r;
    r["NOOP"] = replies({"200 NOOP ok\r\n", "502 NOOP not implemented\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetNoopInterval(1);
    EXPECT_EQ(m_client->NoopInterval(), 1);
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    Pump(3700);
    EXPECT_EQ(m_log.Commands, (QStringList{"NOOP", "NOOP"}));
    EXPECT_FALSE(m_client->NoopSupported());
    EXPECT_FALSE(m_client->Busy());
    // No completion of any kind follows a NOOP.
    EXPECT_FALSE(m_log.Has("ready"));
}

TEST_F(ScriptedTest, ServerClosingBeforeLogin) {
    QJsonObject script;
    script["close_on"] = "USER";
    ASSERT_NO_FATAL_FAILURE(start(script));
    // Attempts left and no error: neither a retry nor the end of the connection.
    m_client->SetRetries(2);
    m_client->Login();
    ASSERT_TRUE(waitFor("info 4 USER bob"));
    Pump(600);
    EXPECT_FALSE(m_log.Has("info 18 Retrying..."));
    EXPECT_FALSE(m_log.Has("quit"));
    EXPECT_FALSE(m_log.Has("ready"));
    // With no attempts left every close ends the connection.
    m_client->SetRetries(0);
    reset();
    m_client->Login();
    ASSERT_TRUE(waitFor("ready"));
    EXPECT_EQ(m_log.Events.mid(m_log.Events.size() - 4),
              (QStringList{"info 21 Retry Finished", "info 1 Disconnected", "quit", "ready"}));
}

TEST_F(ScriptedTest, OversizedRepliesEndTheConnection) {
    QJsonObject script;
    script["raw_after_greeting"] = QString(4096, 'x');
    script["raw_repeat"] = 40;
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->Login();
    ASSERT_TRUE(waitFor("quit"));
    EXPECT_TRUE(m_log.Has("error 3 Reply line longer than 65536 bytes")) << m_log.Events;

    ServerProcess banner;
    QJsonObject endless;
    endless["greeting"] = replies({"220-Welcome\r\n"});
    endless["raw_after_greeting"] = "220-" + QString(200, 'y') + "\r\n";
    endless["raw_repeat"] = 2000;
    ASSERT_TRUE(banner.StartScripted(endless));
    m_client->SetPort(banner.Port());
    reset();
    m_client->Login();
    ASSERT_TRUE(waitFor("quit"));
    EXPECT_TRUE(m_log.Has("error 3 Multi-line reply longer than 65536 bytes")) << m_log.Events;
    EXPECT_FALSE(m_log.Commands.contains("USER bob"));
}

TEST_F(ScriptedTest, OperationsNeedAnIdleConnection) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    const QString file = m_dir.filePath("f.bin");
    ASSERT_TRUE(WriteFile(file, "abc"));
    m_client->StoreFile(file, "f.bin", "B", false);
    EXPECT_EQ(m_log.Events, (QStringList{"info 1 Not connected to the server"}));
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    m_client->StoreFile(file, "f.bin", "B", false);
    m_client->RetrieveFile("f.bin", m_dir.filePath("g.bin"), false);
    ASSERT_TRUE(waitFor("stored"));
    Pump(100);
    EXPECT_EQ(m_log.Count("info 5 The component is busy doing something"), 1);
    EXPECT_FALSE(m_log.Has("received"));
    m_client->SetVersion("something else");
    EXPECT_EQ(m_client->Version(), "Vela/FTP 1.0.1");
}

TEST_F(ScriptedTest, RefusedPortEndsTheTransferAndItsListener) {
    ASSERT_NO_FATAL_FAILURE(startAnswering("PORT", {"500 PORT not accepted\r\n"}));
    const QString file = m_dir.filePath("f.bin");
    ASSERT_TRUE(WriteFile(file, "abc"));
    reset();
    m_client->StoreFile(file, "f.bin", "B", false);
    ASSERT_TRUE(waitFor("stored"));
    EXPECT_TRUE(m_log.Has("error 12 ")) << m_log.Events;
    EXPECT_FALSE(m_log.Commands.contains("STOR f.bin"));
    EXPECT_FALSE(m_client->Listener()->HasSocket());
    EXPECT_TRUE(m_client->ControlConnected());
}
