// Explicit TLS against real servers on loopback with certificates the tests make: vsftpd
// (which also insists on the control session's reuse and on the closing alert of uploads)
// and pyftpdlib, and the failures that must end a login before anything is sent in clear.
#include "CliRun.h"
#include "FtpTestSupport.h"
#include "TlsPeerCheck.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TlsServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid() && m_local.isValid() && m_certs.isValid());
        ASSERT_TRUE(QDir(m_home.path()).mkpath(QStringLiteral("sub")));
    }

    TestCertificate certificate(const QString& name, const QStringList& names,
                                const TestCertificate* ca = nullptr) {
        TestCertificate made = MakeCertificate(m_certs.path(), name, names, ca);
        EXPECT_FALSE(made.Certificate.isEmpty());
        return made;
    }

    void startServer(const QString& kind, const TestCertificate& cert) {
        m_server = std::make_unique<ServerProcess>();
        m_client = std::make_unique<TFtpClient>();
        m_log = EventLog{};
        if (kind == QLatin1String("vsftpd")) {
            ASSERT_TRUE(m_server->StartVsftpd(m_home.path(), cert.Certificate, cert.Key));
            m_client->SetUsername(QStringLiteral("anonymous"));
        } else if (cert.Certificate.isEmpty()) {
            ASSERT_TRUE(m_server->StartPyftpd(m_home.path(), "alice", "s3cret"));
        } else {
            ASSERT_TRUE(m_server->StartPyftpdTls(m_home.path(), "alice", "s3cret", cert.Certificate,
                                                 cert.Key));
        }
        if (kind != QLatin1String("vsftpd")) {
            m_client->SetUsername(QStringLiteral("alice"));
            m_client->SetPassword(QStringLiteral("s3cret"));
        }
        m_client->SetServer(QStringLiteral("127.0.0.1"));
        m_client->SetPort(m_server->Port());
        m_client->SetRetries(0);
        m_client->SetTimeOut(10);
        m_client->SetUseTls(true);
        m_client->SetInitialDirectory(QStringLiteral("sub"));
        m_log.Attach(*m_client);
    }

    // Logs in and expects the login to fail with a TLS error before the user name is sent.
    void expectRefusedBeforeLogin(const QString& why) {
        m_client->Login();
        ASSERT_TRUE(WaitUntil([&] { return m_log.Has("quit"); }, 15000)) << m_log.Events;
        EXPECT_EQ(m_log.CountPrefix("error 30 "), 1) << m_log.Events;
        EXPECT_EQ(m_log.Events.filter("error 30 ").join(' ').contains(why), true)
            << why << m_log.Events;
        EXPECT_FALSE(m_log.Has("loggedin"));
        // Neither name nor password ever left in clear.
        EXPECT_TRUE(m_log.Commands.filter(QStringLiteral("USER")).isEmpty()) << m_log.Commands;
    }

    // Starts the scripted server and logs client in over TLS, passive, pinned to cert.
    void loginScripted(ServerProcess& server, const QJsonObject& script,
                       const TestCertificate& cert, TFtpClient& client) {
        ASSERT_TRUE(server.StartScripted(script));
        m_log.Attach(client);
        client.SetServer(QStringLiteral("127.0.0.1"));
        client.SetPort(server.Port());
        client.SetRetries(0);
        client.SetPassive(true);
        client.SetUseTls(true);
        client.SetTlsFingerprint(cert.Fingerprint);
        client.Login();
        ASSERT_TRUE(waitFor("loggedin")) << m_log.Events;
    }

    bool waitFor(const QString& event) {
        return WaitUntil([&] { return m_log.Has(event) || m_log.Has("quit"); }, 20000) &&
               m_log.Has(event);
    }

    QString local(const QString& name) const { return m_local.filePath(name); }
    QString home(const QString& name) const { return m_home.filePath(name); }

    QTemporaryDir m_home;
    QTemporaryDir m_local;
    QTemporaryDir m_certs;
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<TFtpClient> m_client;
    EventLog m_log;
};

class TlsTransferSetTest : public TlsServerTest,
                           public ::testing::WithParamInterface<const char*> {};

} // namespace

TEST_P(TlsTransferSetTest, PinnedSelfSignedServerInBothModesAndDirections) {
    const TestCertificate cert = certificate("self", {"DNS:ftp.example"});
    ASSERT_NO_FATAL_FAILURE(startServer(QLatin1String(GetParam()), cert));
    // Pinned as openssl prints it: neither the name nor an authority vouches for it.
    m_client->SetTlsFingerprint(cert.Fingerprint);
    m_client->Login();
    ASSERT_TRUE(waitFor("loggedin")) << m_log.Events;
    // vsftpd asks no password of anonymous users.
    QStringList login{
        "AUTH TLS", "USER " + m_client->Username(), "PASS (want to know) :-P", "PBSZ 0", "PROT P",
        "SYST"};
    if (m_client->Username() == QLatin1String("anonymous"))
        login.removeAt(2);
    EXPECT_EQ(m_log.Commands.mid(0, login.size()), login);
    EXPECT_EQ(m_log.Events.filter("info 24 Secured by TLSv1.").size(), 1) << m_log.Events;

    // Large enough for many records and for sends that would block.
    const QByteArray content = PatternBytes(3'000'000, 7);
    ASSERT_TRUE(WriteFile(local("up.bin"), content));
    ASSERT_TRUE(WriteFile(local("empty.bin"), {}));
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        m_client->SetPassive(passive);
        const QString name = passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin");
        m_log.Events.clear();
        m_client->StoreFile(local("up.bin"), name, QStringLiteral("B"), false);
        ASSERT_TRUE(waitFor("stored")) << m_log.Events << m_client->LastReply();
        EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events << m_client->LastReply();
        EXPECT_TRUE(ReadFile(home("sub/" + name)) == content);

        m_log.Events.clear();
        m_client->RetrieveFile(name, local("down-" + name), false);
        ASSERT_TRUE(waitFor("received")) << m_log.Events;
        EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
        EXPECT_TRUE(ReadFile(local("down-" + name)) == content);

        m_log.Events.clear();
        m_client->StoreFile(local("empty.bin"), "e-" + name, QStringLiteral("B"), false);
        ASSERT_TRUE(waitFor("stored")) << m_log.Events;
        EXPECT_EQ(m_log.CountPrefix("error"), 0) << m_log.Events;
        EXPECT_TRUE(QFile::exists(home("sub/e-" + name)));
    }
    EXPECT_TRUE(m_client->LoggedIn());
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsTransferSetTest, ::testing::Values("pyftpdlib", "vsftpd"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(TlsServerTest, UntrustedOrForeignCertificatesAndPlainServersEndTheLogin) {
    const TestCertificate self = certificate("self", {"IP:127.0.0.1"});
    ASSERT_NO_FATAL_FAILURE(startServer("pyftpdlib", self));
    {
        SCOPED_TRACE("self-signed, not pinned");
        expectRefusedBeforeLogin("not trusted: self-signed certificate");
    }
    {
        SCOPED_TRACE("pinned to another certificate");
        const TestCertificate other = certificate("other", {"IP:127.0.0.1"});
        m_log = EventLog{};
        m_log.Attach(*m_client);
        m_client->SetTlsFingerprint(other.Fingerprint);
        expectRefusedBeforeLogin("is not the pinned one");
    }

    // The system's authorities, as OpenSSL finds them, vouch for the server by its address.
    const TestCertificate ca = certificate("ca", {"DNS:ca.example"});
    const TestCertificate signedCert = certificate("signed", {"IP:127.0.0.1"}, &ca);
    const TestCertificate foreign = certificate("foreign", {"DNS:elsewhere.example"}, &ca);
    qputenv("SSL_CERT_FILE", ca.Certificate.toLocal8Bit());
    {
        SCOPED_TRACE("signed for the address");
        ASSERT_NO_FATAL_FAILURE(startServer("pyftpdlib", signedCert));
        m_client->Login();
        EXPECT_TRUE(waitFor("loggedin")) << m_log.Events;
    }
    {
        SCOPED_TRACE("signed for another host");
        ASSERT_NO_FATAL_FAILURE(startServer("pyftpdlib", foreign));
        expectRefusedBeforeLogin("IP address mismatch");
    }
    qunsetenv("SSL_CERT_FILE");
    {
        SCOPED_TRACE("a server without TLS");
        ASSERT_NO_FATAL_FAILURE(startServer("pyftpdlib", TestCertificate{}));
        expectRefusedBeforeLogin("refused AUTH TLS");
    }
}

TEST_F(TlsServerTest, CliTransfersOnlyWithTheServersFingerprint) {
    const TestCertificate cert = certificate("self", {"IP:127.0.0.1"});
    ASSERT_NO_FATAL_FAILURE(startServer("pyftpdlib", cert));
    ASSERT_TRUE(WriteFile(local("up.bin"), PatternBytes(100000, 3)));
    const QStringList account{
        "--host",     "127.0.0.1", "--port", QString::number(m_server->Port()), "--user", "alice",
        "--password", "s3cret",    "--tls"};
    const CliRun put =
        RunVelaCli(QStringList{"put"} + account +
                       QStringList{"--fingerprint", cert.Fingerprint, local("up.bin"), "up.bin"},
                   20000);
    EXPECT_EQ(put.Status, 0) << put.Errors;
    EXPECT_TRUE(ReadFile(home("up.bin")) == PatternBytes(100000, 3));
    const CliRun get = RunVelaCli(QStringList{"get", "--passive"} + account +
                                      QStringList{"up.bin", local("down.bin")},
                                  20000);
    EXPECT_NE(get.Status, 0);
    EXPECT_TRUE(get.Errors.contains("FTP error 30: The server's certificate is not trusted"))
        << get.Errors;
    EXPECT_FALSE(QFile::exists(local("down.bin")));
}

TEST_F(TlsServerTest, DownloadEndingWithoutTheClosingAlertIsRefused) {
    const TestCertificate cert = certificate("self", {"IP:127.0.0.1"});
    QJsonObject script;
    script["tls"] = QJsonArray{cert.Certificate, cert.Key};
    script["retr_size"] = 300000;
    script["data"] = replies({"normal", "cut"});
    ServerProcess server;
    TFtpClient client;
    ASSERT_NO_FATAL_FAILURE(loginScripted(server, script, cert, client));
    client.RetrieveFile("r.bin", local("whole.bin"), false);
    ASSERT_TRUE(waitFor("received")) << m_log.Events;
    EXPECT_EQ(QFileInfo(local("whole.bin")).size(), 300000);

    // A closed socket alone may be forged by anyone on the path: the file may be cut short.
    m_log.Events.clear();
    client.RetrieveFile("r.bin", local("cut.bin"), false);
    ASSERT_TRUE(waitFor("ready")) << m_log.Events;
    Pump(100);
    EXPECT_EQ(m_log.Events
                  .filter("error 29 The data connection ended without TLS's closing "
                          "alert")
                  .size(),
              1)
        << m_log.Events;
    EXPECT_FALSE(m_log.Has("received"));
    EXPECT_FALSE(QFile::exists(local("cut.bin")));
}

namespace {

// The peak resident memory of this process since the last call.
qint64 peakResidentSinceLast() {
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 kib = -1;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                kib = line.mid(6).trimmed().split(' ').front().toLongLong();
    if (reset.open(QIODevice::WriteOnly))
        reset.write("5");
    return kib * 1024;
}

} // namespace

TEST_F(TlsServerTest, WhatAServerSendsAfterAnUploadIsNotHeld) {
    const TestCertificate cert = certificate("self", {"IP:127.0.0.1"});
    QJsonObject script;
    script["tls"] = QJsonArray{cert.Certificate, cert.Key};
    script["data"] = replies({"flood"});
    script["flood_bytes"] = 256 << 20;
    ServerProcess server;
    TFtpClient client;
    client.SetTimeOut(30);
    ASSERT_NO_FATAL_FAILURE(loginScripted(server, script, cert, client));
    ASSERT_TRUE(WriteFile(local("up.bin"), PatternBytes(100000)));
    peakResidentSinceLast();
    const qint64 idle = peakResidentSinceLast();
    client.StoreFile(local("up.bin"), QStringLiteral("up.bin"), QStringLiteral("B"), false);
    ASSERT_TRUE(WaitUntil([&] { return m_log.Has("stored") || m_log.Has("quit"); }, 60000))
        << m_log.Events;
    EXPECT_TRUE(m_log.Has("stored")) << m_log.Events;
    EXPECT_LT(peakResidentSinceLast() - idle, 64 << 20);
}

TEST(TlsPeerCheckTest, FingerprintsAreReadInEveryUsualSpelling) {
    const QByteArray digest =
        QByteArray::fromHex("481d9efee2d233b83afae595cbc30388a3ac13ae69f65366bba0a50d8b48823d");
    for (const char* text :
         {"481D9EFEE2D233B83AFAE595CBC30388A3AC13AE69F65366BBA0A50D8B48823D",
          "48:1d:9e:fe:e2:d2:33:b8:3a:fa:e5:95:cb:c3:03:88:a3:ac:13:ae:69:f6:53:66:bb:a0:a5:0d:8b:"
          "48:82:3d",
          "sha256 Fingerprint=48:1D:9E:FE:E2:D2:33:B8:3A:FA:E5:95:CB:C3:03:88:A3:AC:13:AE:69:F6:53:"
          "66:BB:A0:A5:0D:8B:48:82:3D\n",
          "  481d9efee2d233b83afae595cbc30388a3ac13ae69f65366bba0a50d8b48823d  "}) {
        EXPECT_EQ(TlsPeerCheck::ParseFingerprint(QString::fromLatin1(text)), digest) << text;
    }
    for (const char* text :
         {"", "481D9EFEE2D233B83AFAE595CBC30388A3AC13AE69F65366BBA0A50D8B48823",
          "481D9EFEE2D233B83AFAE595CBC30388A3AC13AE69F65366BBA0A50D8B48823DD",
          "G81D9EFEE2D233B83AFAE595CBC30388A3AC13AE69F65366BBA0A50D8B48823D",
          // A digit of another script (N'Ko five) in place of a hex digit.
          "\xDF\x85"
          "81D9EFEE2D233B83AFAE595CBC30388A3AC13AE69F65366BBA0A50D8B48823D",
          // A SHA-1 fingerprint is too short to name a certificate here.
          "SHA1 Fingerprint=4A:1D:9E:FE:E2:D2:33:B8:3A:FA:E5:95:CB:C3:03:88:A3:AC:13:AE"}) {
        EXPECT_FALSE(TlsPeerCheck::ParseFingerprint(QString::fromUtf8(text))) << text;
    }
}
