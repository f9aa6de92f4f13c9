// The asynchronous socket on real loopback connections, and the FTP client's failures
// before a connection exists.
#include "AsyncSocket.h"

#include "FtpTestSupport.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

class TestSocket : public TAsyncSocket {
public:
    using TAsyncSocket::Window;
};

// A loopback port whose accept queue is full: a connect to it never completes.
class FullBacklog {
public:
    FullBacklog() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listener, 0);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len);
        Port = ntohs(a.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            m_fillers.push_back(c);
        }
        Pump(100);
    }
    ~FullBacklog() {
        for (const int c : m_fillers)
            ::close(c);
        ::close(m_listener);
    }
    quint16 Port = 0;

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
};

struct Pair {
    TAsyncSocket Listener;
    TAsyncSocket Server;
    TAsyncSocket Client;
    QStringList ClientEvents;

    bool open() {
        Listener.SetAddress("127.0.0.1");
        Listener.SetPort(0);
        Listener.OpenSocket();
        Listener.Listen();
        if (Listener.LastError() != 0)
            return false;
        Listener.OnAcceptReady = [this](TAsyncSocket*) { Server.AcceptConnection(&Listener); };
        Client.OnConnected = [this](TAsyncSocket* s) {
            ClientEvents << QStringLiteral("connected %1").arg(s->LastError());
        };
        Client.OnWritable = [this](TAsyncSocket*) { ClientEvents << "writable"; };
        Client.OnClosed = [this](TAsyncSocket*) { ClientEvents << "closed"; };
        Client.SetAddress("127.0.0.1");
        Client.SetPort(Listener.LocalPort());
        Client.OpenSocket();
        Client.Connect();
        return Client.LastError() == 0 &&
               WaitUntil([&] { return Client.Connected() && Server.Connected(); });
    }
};

} // namespace

TEST(AsyncSocket, ConnectWriteOnceReadThenPeerClose) {
    Pair p;
    ASSERT_TRUE(p.open());
    Pump(100);
    // One write notification after the connect, none while nothing would block.
    EXPECT_EQ(p.ClientEvents, (QStringList{"connected 0", "writable"}));
    EXPECT_EQ(p.Client.Countdown(), 20); // stopped at the connect, not counting down
    QByteArray received;
    p.Client.OnReadable = [&](TAsyncSocket* s) {
        p.ClientEvents << "readable";
        char buffer[3];
        int n;
        while ((n = s->Receive(buffer, sizeof buffer)) > 0)
            received.append(buffer, n);
    };
    EXPECT_EQ(p.Server.Send("hello world", 11), 11);
    int serverClosed = 0;
    p.Server.OnClosed = [&](TAsyncSocket*) { ++serverClosed; };
    p.Server.Disconnect();
    EXPECT_EQ(serverClosed, 1);
    p.Server.Disconnect(); // no socket: no second hook
    EXPECT_EQ(serverClosed, 1);
    ASSERT_TRUE(WaitUntil([&] { return p.ClientEvents.contains("closed"); }));
    EXPECT_EQ(received, "hello world");
    const qsizetype closed = p.ClientEvents.indexOf("closed");
    // The close drains: readable and writable run just before closed.
    EXPECT_EQ(p.ClientEvents.mid(closed - 2), (QStringList{"readable", "writable", "closed"}));
    EXPECT_EQ(p.ClientEvents.count("closed"), 1);
    EXPECT_FALSE(p.Client.Connected());
    EXPECT_FALSE(p.Client.HasSocket());
}

TEST(AsyncSocket, RefusedConnectReportsThroughOnConnected) {
    TAsyncSocket s;
    int lastError = -1;
    bool connected = true;
    s.OnConnected = [&](TAsyncSocket* sender) {
        lastError = sender->LastError();
        connected = sender->Connected();
    };
    s.SetAddress("127.0.0.1");
    s.SetPort(ClosedPort());
    s.OpenSocket();
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return lastError != -1; }));
    EXPECT_EQ(lastError, 10061);
    EXPECT_FALSE(connected);
}

TEST(AsyncSocket, SendThatWouldBlockAndWriteNotificationAfterIt) {
    Pair p;
    ASSERT_TRUE(p.open());
    Pump(50);
    p.ClientEvents.clear();
    const QByteArray block(65536, 'z');
    qint64 total = 0;
    int n;
    while ((n = p.Client.Send(block.constData(), static_cast<int>(block.size()))) > 0)
        total += n;
    EXPECT_EQ(p.Client.LastError(), 0);
    p.Client.SetReportWouldBlock(true);
    EXPECT_EQ(p.Client.Send(block.constData(), 10), 0);
    EXPECT_EQ(p.Client.LastError(), 10035);
    p.Client.SetReportWouldBlock(false);
    Pump(50);
    EXPECT_FALSE(p.ClientEvents.contains("writable"));
    // Once the peer reads, the sender hears it can write again.
    qint64 drained = 0;
    char buffer[65536];
    ASSERT_TRUE(WaitUntil([&] {
        while ((n = p.Server.Receive(buffer, sizeof buffer)) > 0)
            drained += n;
        return drained == total;
    }));
    ASSERT_TRUE(WaitUntil([&] { return p.ClientEvents.contains("writable"); }));
    EXPECT_EQ(p.ClientEvents.count("writable"), 1);
}

TEST(AsyncSocket, LookupsAndTheirCancellation) {
    TAsyncSocket s;
    int done = 0;
    s.OnLookupDone = [&](TAsyncSocket*) { ++done; };
    s.Lookup("localhost");
    ASSERT_TRUE(s.LookupPending());
    EXPECT_EQ(s.Countdown(), 20);
    s.Lookup("nonexistent.invalid"); // ignored while the first runs
    ASSERT_TRUE(WaitUntil([&] { return done == 1; }));
    EXPECT_EQ(s.LastError(), 0);
    s.UseResolvedAddress();
    EXPECT_EQ(s.AddressText(), "127.0.0.1");
    Pump(100);
    EXPECT_EQ(done, 1);

    s.Lookup("nonexistent.invalid");
    ASSERT_TRUE(WaitUntil([&] { return done == 2; }));
    EXPECT_GE(s.LastError(), 11001);
    EXPECT_LE(s.LastError(), 11004);

    // Disconnect without a socket cancels the lookup and calls no hook.
    int closed = 0;
    s.OnClosed = [&](TAsyncSocket*) { ++closed; };
    s.Lookup("localhost");
    s.Disconnect();
    EXPECT_FALSE(s.LookupPending());
    Pump(300);
    EXPECT_EQ(done, 2);
    EXPECT_EQ(closed, 0);

    // A name longer than the buffer is refused, not copied.
    s.Lookup(QString(5000, 'a'));
    EXPECT_FALSE(s.LookupPending());
    EXPECT_EQ(s.LastError(), 11001);
}

TEST(AsyncSocket, CountdownRunsOutOnceAndOwnerMessagesPassThrough) {
    FullBacklog full;
    TestSocket s;
    s.SetTimeOut(1);
    int timedOut = 0;
    s.OnTimedOut = [&](TAsyncSocket*) { ++timedOut; };
    s.SetAddress("127.0.0.1");
    s.SetPort(full.Port);
    s.OpenSocket();
    s.Connect();
    ASSERT_EQ(s.LastError(), 0);
    Pump(2500);
    EXPECT_EQ(timedOut, 1);
    EXPECT_FALSE(s.Connected());

    // Without the hook the countdown disconnects.
    TestSocket t;
    t.SetTimeOut(1);
    int closed = 0;
    t.OnClosed = [&](TAsyncSocket*) { ++closed; };
    t.SetAddress("127.0.0.1");
    t.SetPort(full.Port);
    t.OpenSocket();
    t.Connect();
    ASSERT_TRUE(WaitUntil([&] { return closed == 1; }, 3000));
    EXPECT_FALSE(t.HasSocket());

    QList<unsigned> seen;
    t.OnOwnerMessage = [&](Message& m) { seen << m.Msg; };
    t.Window()->Send(TAsyncSocket::WM_SOCKETEVENT + 1);
    t.Window()->Send(TAsyncSocket::WM_SOCKETEVENT + 3);
    EXPECT_EQ(seen, (QList<unsigned>{1026, 1028}));
    EXPECT_EQ(t.Window()->Send(0x0011), 1); // the session may end
}

TEST(FtpConnect, FailuresBeforeAConnectionEndQuietly) {
    TFtpClient client;
    EventLog log;
    log.Attach(client);
    client.SetRetries(3);

    client.SetServer("nonexistent.invalid");
    client.Login();
    ASSERT_TRUE(WaitUntil([&] { return log.CountPrefix("error") > 0; }));
    Pump(300);
    EXPECT_EQ(log.Events,
              (QStringList{"info 2 nonexistent.invalid", "error 15 Address resolution error"}));

    log.Events.clear();
    client.SetServer("127.0.0.1");
    client.SetPort(ClosedPort());
    client.Login();
    ASSERT_TRUE(WaitUntil([&] { return log.CountPrefix("error") > 0; }));
    Pump(300);
    EXPECT_EQ(log.Events, (QStringList{"error 11 Connection Refused"}));

    // A leading digit makes it an address, which this one is not: no lookup is tried.
    log.Events.clear();
    client.SetServer("1nvalid.example");
    EXPECT_EQ(client.Address(), "1nvalid.example");
    EXPECT_EQ(client.HostName(), "");
    client.Login();
    Pump(300);
    EXPECT_EQ(log.CountPrefix("error"), 1) << log.Events;
    EXPECT_EQ(log.CountPrefix("info 2"), 0);

    log.Events.clear();
    client.SetServer(QString(300, 'h') + ".example");
    client.Login();
    Pump(300);
    EXPECT_EQ(log.Events.mid(1), (QStringList{"error 15 Address resolution error"}));
}

TEST(FtpConnect, ServerThatNeverAnswersTimesOutOnceAfterTwentySeconds) {
    FullBacklog full;
    TFtpClient client;
    EventLog log;
    log.Attach(client);
    client.SetServer("127.0.0.1");
    client.SetPort(full.Port);
    QElapsedTimer clock;
    clock.start();
    client.Login();
    ASSERT_TRUE(WaitUntil([&] { return log.CountPrefix("error") > 0; }, 25000));
    EXPECT_GE(clock.elapsed(), 19000);
    Pump(1500);
    EXPECT_EQ(log.Events, (QStringList{"error 7 Connection timed out"}));
}

TEST(FtpStartup, PreparesThePrivateCacheFolderAndToday) {
    QTemporaryDir cache;
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    FtpClientStartup();
    const QString folder = FtpCacheDirectory();
    qputenv("XDG_CACHE_HOME", saved);
    EXPECT_TRUE(folder.startsWith(cache.path()));
    EXPECT_TRUE(folder.endsWith("/ftpcache"));
    const QFileInfo info(folder);
    EXPECT_TRUE(info.isDir());
    EXPECT_FALSE(info.permissions() & QFileDevice::ReadOther);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(FtpCacheToday(), today.year() * 10000 + today.month() * 100 + today.day());
}
