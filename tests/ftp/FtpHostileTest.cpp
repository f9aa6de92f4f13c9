// Failing and hostile servers: what the user gets is an error with its number, a client
// that works again at the next Login, and a local file that is never left half-written.
#include "FtpTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

class HostileServerTest : public ScriptedServerTest {
protected:
    // The local file a download must never damage.
    QString precious() {
        const QString path = m_dir.filePath(QStringLiteral("keep.txt"));
        EXPECT_TRUE(WriteFile(path, "precious"));
        return path;
    }
    // Only the given files are left: no temporary file stays behind.
    QStringList localFiles() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    bool waitForQuit(int ms = 6000) { return waitFor(QStringLiteral("quit"), ms); }
};

QByteArray retrBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7) % 251);
    return bytes;
}

// Replaces a socket hook by one that records the most bytes a single call took in.
void meter(TSocketHook& hook, std::function<qint64()> bytes, qint64& most) {
    hook = [inner = hook, bytes = std::move(bytes), &most](TAsyncSocket* sender) {
        const qint64 before = bytes();
        inner(sender);
        most = std::max(most, bytes() - before);
    };
}

} // namespace

TEST_F(HostileServerTest, DropAtStorLeavesTheNextActiveUploadWorking) {
    ASSERT_NO_FATAL_FAILURE(startAnswering("STOR", {"!close", "150 Ok to send data\r\n"}));
    const QString file = m_dir.filePath("page.html");
    ASSERT_TRUE(WriteFile(file, PatternBytes(3000)));
    reset();
    m_client->StoreFile(file, "page.html", "B", false);
    ASSERT_TRUE(waitForQuit()) << m_log.Events;
    EXPECT_FALSE(m_log.Has("stored"));
    EXPECT_FALSE(m_client->Listener()->HasSocket());
    EXPECT_FALSE(m_client->DataSocket()->HasSocket());

    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    m_client->StoreFile(file, "page.html", "B", false);
    ASSERT_TRUE(waitFor("stored")) << m_log.Events;
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    EXPECT_TRUE(m_server.Notes().contains("STORED 3000"));
}

TEST_F(HostileServerTest, RefusedShortOrLongDownloadsKeepTheLocalFile) {
    QJsonObject script;
    QJsonObject r;
    r["RETR"] = replies({"550 No such file\r\n", "150 Opening data connection (5000 bytes)\r\n",
                         "150 Opening data connection (2000 bytes)\r\n",
                         "150 Opening data connection (3000 bytes)\r\n"});
    script["replies"] = r;
    script["retr_size"] = 3000;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    const QString local = precious();
    ASSERT_TRUE(
        QFile::setPermissions(local, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    struct Case {
        const char* Error;
        bool Received;
    };
    for (const Case& c : {Case{"error 29 Access denied or file not found", true},
                          Case{"error 29 Received 3000 bytes, the server announced 5000", false},
                          Case{"error 29 Received 3000 bytes, the server announced 2000", false}}) {
        SCOPED_TRACE(c.Error);
        reset();
        m_client->RetrieveFile("r.bin", local, false);
        ASSERT_TRUE(waitFor("ready")) << m_log.Events;
        Pump(50);
        EXPECT_TRUE(m_log.Has(c.Error)) << m_log.Events;
        EXPECT_EQ(m_log.Has("received"), c.Received) << m_log.Events;
        EXPECT_EQ(ReadFile(local), "precious");
        EXPECT_EQ(localFiles(), QStringList{"keep.txt"});
        EXPECT_TRUE(m_client->ControlConnected());
    }
    // A complete one replaces the file and keeps its mode.
    reset();
    m_client->RetrieveFile("r.bin", local, false);
    ASSERT_TRUE(waitFor("received")) << m_log.Events;
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    EXPECT_EQ(ReadFile(local), retrBytes(3000));
    EXPECT_EQ(localFiles(), QStringList{"keep.txt"});
    EXPECT_EQ(QFileInfo(local).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadUser | QFile::WriteUser |
                                                  QFile::ReadGroup);
}

// The link to the local file is followed once, when the download starts: one turned to
// another file meanwhile does not get the data.
TEST_F(HostileServerTest, ADownloadGoesWhereItsLinkPointedAtTheStart) {
    QJsonObject script;
    script["retr_size"] = 1000000;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    const QString meant = m_dir.filePath(QStringLiteral("meant.bin"));
    const QString other = precious();
    const QString link = m_dir.filePath(QStringLiteral("link.bin"));
    ASSERT_TRUE(WriteFile(meant, "old"));
    ASSERT_TRUE(QFile::link(meant, link));
    bool turned = false;
    const auto logged = m_client->OnFtpInfo;
    m_client->OnFtpInfo = [&](TFtpClient* sender, int info, const QString& text) {
        if (info == 8 && !turned) {
            turned = QFile::remove(link) && QFile::link(other, link);
        }
        logged(sender, info, text);
    };
    m_client->RetrieveFile("r.bin", link, false);
    ASSERT_TRUE(waitFor("received")) << m_log.Events;
    EXPECT_TRUE(turned);
    EXPECT_EQ(ReadFile(meant), retrBytes(1000000));
    EXPECT_EQ(ReadFile(other), "precious");
}

TEST_F(HostileServerTest, FullDiskIsError21AndNoSuccess) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    m_client->RetrieveFile("r.bin", "/dev/full", false);
    ASSERT_TRUE(waitFor("ready")) << m_log.Events;
    Pump(50);
    EXPECT_EQ(m_log.CountPrefix("error 21 No space left on device"), 1) << m_log.Events;
    EXPECT_FALSE(m_log.Has("received"));
    // A device is written in place, never replaced.
    EXPECT_FALSE(QFileInfo("/dev/full").isFile());
    EXPECT_TRUE(m_client->ControlConnected());
}

TEST_F(HostileServerTest, ActiveListenerTakesOneConnectionFromThePeerOnly) {
    QJsonObject script;
    script["data"] = replies({"two", "stranger"});
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    const QString file = m_dir.filePath("page.html");
    ASSERT_TRUE(WriteFile(file, PatternBytes(3000)));
    for (int round = 0; round < 2; ++round) {
        reset();
        m_client->StoreFile(file, "page.html", "B", false);
        ASSERT_TRUE(waitFor("stored")) << m_log.Events;
        EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    }
    const QStringList notes = m_server.Notes();
    EXPECT_EQ(notes.count("STORED 3000"), 2) << notes;
    // The second connection was refused or closed unused; the stranger got nothing.
    EXPECT_TRUE(notes.contains("SECOND 0") || notes.contains("SECOND refused")) << notes;
    EXPECT_TRUE(notes.contains("STRANGER 0")) << notes;
    EXPECT_TRUE(m_log.Has("info 23 Refused a data connection from 127.0.0.2")) << m_log.Events;
    EXPECT_FALSE(m_client->Listener()->HasSocket());
}

TEST_F(HostileServerTest, EveryNetworkWaitIsBoundedByTimeout) {
    QJsonObject script;
    QJsonObject r;
    r["NOOP"] = replies({"!silent"});
    script["replies"] = r;
    script["data"] = replies({"silent", "silent", "stall", "normal"});
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetTimeOut(1);
    const QString local = precious();
    QElapsedTimer clock;

    // A NOOP that is never answered.
    m_client->SetNoopInterval(1);
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    clock.start();
    ASSERT_TRUE(waitForQuit()) << m_log.Events;
    EXPECT_TRUE(m_log.Has("error 7 Connection timed out")) << m_log.Events;
    EXPECT_LT(clock.elapsed(), 4000);
    m_client->SetNoopInterval(600);

    // A data connection that never opens (active, passive), then a transfer that stalls.
    for (const bool passive : {false, true, true}) {
        m_client->SetPassive(passive);
        reset();
        ASSERT_NO_FATAL_FAILURE(login());
        reset();
        clock.start();
        m_client->RetrieveFile("r.bin", local, false);
        ASSERT_TRUE(waitForQuit()) << m_log.Events;
        EXPECT_TRUE(m_log.Has("error 7 Connection timed out")) << m_log.Events;
        EXPECT_LT(clock.elapsed(), 4000);
        EXPECT_FALSE(m_log.Has("received"));
        EXPECT_EQ(ReadFile(local), "precious");
        EXPECT_EQ(localFiles(), QStringList{"keep.txt"});
        EXPECT_FALSE(m_client->DataSocket()->HasSocket());
        EXPECT_FALSE(m_client->Listener()->HasSocket());
    }
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    m_client->RetrieveFile("r.bin", local, false);
    ASSERT_TRUE(waitFor("received")) << m_log.Events;
    EXPECT_EQ(ReadFile(local), retrBytes(3000));

    // A server that accepts and never greets.
    ServerProcess mute;
    QJsonObject silent;
    silent["greeting"] = QJsonArray{};
    ASSERT_TRUE(mute.StartScripted(silent));
    m_client->SetPort(mute.Port());
    reset();
    clock.start();
    m_client->Login();
    ASSERT_TRUE(waitForQuit()) << m_log.Events;
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(m_log.Has("error 7 Connection timed out")) << m_log.Events;
    EXPECT_EQ(m_log.Events.mid(m_log.Events.size() - 3),
              (QStringList{"info 1 Disconnected", "quit", "ready"}));
}

TEST_F(HostileServerTest, SlowRepliesWithinTheTimeoutAndEndlessOnesBeyondIt) {
    QJsonObject script;
    script["greeting"] = replies({"220 hi\r\n"});
    script["byte_delay"] = 0.02;
    QJsonObject r;
    r["USER"] = replies({"331 pw\r\n"});
    r["PASS"] = replies({"230 ok\r\n"});
    r["REST"] = replies({"350 ok\r\n"});
    r["PWD"] = replies({"257 \"/\"\r\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetTimeOut(1);
    m_client->SetServerType(ftpstUNIX);
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;

    // One byte at a time, too slow to finish a reply; an endless multi-line reply.
    QJsonObject trickle;
    trickle["greeting"] = replies({"220 Welcome to the slowest server there is\r\n"});
    trickle["byte_delay"] = 0.3;
    QJsonObject endless;
    endless["greeting"] = replies({"220-Welcome\r\n"});
    endless["raw_after_greeting"] = "220-still welcome\r\n";
    endless["raw_repeat"] = 1000;
    endless["raw_delay"] = 0.1;
    for (const QJsonObject& s : {trickle, endless}) {
        ServerProcess slow;
        ASSERT_TRUE(slow.StartScripted(s));
        m_client->SetPort(slow.Port());
        reset();
        QElapsedTimer clock;
        clock.start();
        m_client->Login();
        ASSERT_TRUE(waitForQuit()) << m_log.Events;
        EXPECT_LT(clock.elapsed(), 4000);
        EXPECT_TRUE(m_log.Has("error 7 Connection timed out")) << m_log.Events;
        EXPECT_FALSE(m_log.Commands.contains("USER bob"));
    }
}

TEST_F(HostileServerTest, DataConnectionResetHalfwayIsError27) {
    QJsonObject script;
    script["data"] = replies({"reset", "normal"});
    script["retr_size"] = 400000;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    const QString local = precious();
    reset();
    m_client->RetrieveFile("r.bin", local, false);
    ASSERT_TRUE(waitForQuit()) << m_log.Events;
    EXPECT_TRUE(m_log.Has("error 27 ")) << m_log.Events;
    EXPECT_FALSE(m_log.Has("received"));
    EXPECT_EQ(ReadFile(local), "precious");
    EXPECT_EQ(localFiles(), QStringList{"keep.txt"});
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
    m_client->RetrieveFile("r.bin", local, false);
    ASSERT_TRUE(waitFor("received")) << m_log.Events;
    EXPECT_EQ(ReadFile(local), retrBytes(400000));
}

TEST_F(HostileServerTest, ProxyTargetComesBackAfterFailedAttempts) {
    QJsonObject script;
    script["greeting"] = replies({"421 Too many users\r\n"});
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetServer(QStringLiteral("ftp.example.com"));
    m_client->SetPort(2121);
    m_client->SetProxyType(proxyUserSite);
    m_client->SetProxyServer(QStringLiteral("127.0.0.1"));
    // A proxy that refuses the connection, then one that refuses the greeting.
    for (const quint16 proxyPort : {ClosedPort(), m_server.Port()}) {
        m_client->SetProxyPort(proxyPort);
        reset();
        m_client->Login();
        ASSERT_TRUE(WaitUntil([&] { return m_log.CountPrefix("error") > 0; })) << m_log.Events;
        Pump(100);
        EXPECT_EQ(m_client->Server(), "ftp.example.com");
        EXPECT_EQ(m_client->Port(), 2121);
        EXPECT_EQ(m_client->HostName(), "ftp.example.com");
    }
    EXPECT_TRUE(m_log.Has("error 25 ")) << m_log.Events;
}

TEST_F(HostileServerTest, NoopIntervalZeroSendsNoKeepAlive) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    m_client->SetNoopInterval(0);
    ASSERT_NO_FATAL_FAILURE(login());
    reset();
    Pump(300);
    EXPECT_TRUE(m_log.Commands.isEmpty()) << m_log.Commands.size();
}

TEST_F(HostileServerTest, LoginWithoutAFreeDescriptorReportsIt) {
    ASSERT_NO_FATAL_FAILURE(start(QJsonObject{}));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    const auto inUse = static_cast<rlim_t>(QDir("/proc/self/fd").entryList(QDir::Files).size());
    rlimit low = old;
    low.rlim_cur = std::min<rlim_t>(old.rlim_cur, inUse + 64);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> held;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
        held.push_back(fd);
    m_client->Login();
    const QStringList events = m_log.Events;
    for (const int fd : held)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(events, QStringList{"error 8 Out of sockets"});
    reset();
    ASSERT_NO_FATAL_FAILURE(login());
}

TEST_F(HostileServerTest, NulAndStrayLineEndsInReplies) {
    QJsonObject script;
    script["greeting"] = QJsonArray{QString("220 Scripted") + QChar(0) + " server\r\n"};
    QJsonObject r;
    r["USER"] = QJsonArray{QString("331 Pass") + QChar(0) + "word required\r\nstray text\r\n"};
    r["PASS"] = replies({"\r\n230 Logged\rin\n\r\n\n"});
    script["replies"] = r;
    ASSERT_NO_FATAL_FAILURE(start(script));
    ASSERT_NO_FATAL_FAILURE(login());
    EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
    EXPECT_EQ(m_log.Commands.mid(0, 3),
              (QStringList{"USER bob", "PASS (want to know) :-P", "SYST"}));
}

TEST_F(HostileServerTest, EndlessFastSendersLeaveTheEventLoopRunning) {
    const qint64 flood = 8'000'000;
    QJsonObject script;
    QJsonObject f;
    f["after"] = "CWD";
    f["text"] = "200 ok\r\n";
    f["bytes"] = static_cast<double>(flood);
    script["flood"] = f;
    script["retr_size"] = 64'000'000;
    ASSERT_NO_FATAL_FAILURE(start(script));
    m_client->SetInitialDirectory("d");
    qint64 mostControl = 0;
    meter(
        m_client->OnReadable, [&] { return m_log.RawBytes; }, mostControl);
    ASSERT_NO_FATAL_FAILURE(login());
    ASSERT_TRUE(WaitUntil([&] { return m_log.RawBytes >= flood; }, 30000)) << m_log.RawBytes;
    EXPECT_LE(mostControl, 256 * 1024);

    qint64 mostData = 0;
    const auto logInfo = m_client->OnFtpInfo;
    m_client->OnFtpInfo = [&](TFtpClient* sender, int info, const QString& text) {
        logInfo(sender, info, text);
        if (info == 4 && text.startsWith("RETR"))
            meter(
                sender->DataSocket()->OnReadable, [&] { return m_client->BytesTransferred(); },
                mostData);
    };
    reset();
    m_client->RetrieveFile("r.bin", "/dev/null", false);
    ASSERT_TRUE(waitFor("received", 30000)) << m_log.Events;
    EXPECT_EQ(m_client->BytesTransferred(), 64'000'000);
    EXPECT_LE(mostData, 256 * 1024);
}
