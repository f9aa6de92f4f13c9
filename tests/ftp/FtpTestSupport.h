#pragma once

#include "FtpClient.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable test failure output.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    PrintTo(s, &os);
    return os;
}
inline std::ostream& operator<<(std::ostream& os, const QStringList& list) {
    PrintTo(list, &os);
    return os;
}

// Runs the event loop until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Runs the event loop for a while.
void Pump(int milliseconds);

// A Python FTP server of the fixtures, on 127.0.0.1 with an ephemeral port.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool StartPyftpd(const QString& home, const QString& user, const QString& password,
                     const QStringList& readOnlyFolders = {});
    // pyftpdlib requiring explicit TLS with the given certificate and key (PEM files).
    bool StartPyftpdTls(const QString& home, const QString& user, const QString& password,
                        const QString& certificate, const QString& key);
    bool StartScripted(const QJsonObject& script);
    // vsftpd with its own configuration; anonymous users read and write under home.
    // With a certificate and key, TLS is required on every connection.
    bool StartVsftpd(const QString& home, const QString& certificate = {}, const QString& key = {});
    quint16 Port() const { return m_port; }
    // Command lines the scripted server has received so far.
    QStringList Commands();
    // Other lines it printed ("STORED n").
    QStringList Notes();

private:
    bool start(const QString& script, const QStringList& arguments);
    void collect();

    QProcess m_process;
    QTemporaryDir m_dir;
    QByteArray m_output;
    quint16 m_port = 0;
};

// Everything a TFtpClient reports, as short texts: "info 12 Logged in", "error 26 ",
// "ready", "loggedin", "stored", "received", "quit", "busy", "aborted". Raw receive texts
// (info 3) and progress (info 8) are counted but not listed.
struct EventLog {
    void Attach(TFtpClient& client);
    int Count(const QString& event) const { return static_cast<int>(Events.count(event)); }
    int CountPrefix(const QString& prefix) const;
    bool Has(const QString& event) const { return Events.contains(event); }
    // Command verbs and arguments sent, as OnFtpInfo(4) showed them, without CR LF.
    QStringList Commands;
    QStringList Events;
    int Progress = 0;
    qint64 RawBytes = 0; // bytes of the raw receive texts (info 3)
    QString NeedAnswer;  // answer given to every OnFtpNeedInfo
    QList<int> Needs;
};

// A certificate made with openssl for the tests' TLS servers.
struct TestCertificate {
    QString Certificate; // PEM
    QString Key;         // PEM
    QString Fingerprint; // as openssl x509 -fingerprint -sha256 prints it
};
// Self-signed when ca is null, else signed by ca; names are subjectAltName entries
// ("IP:127.0.0.1", "DNS:localhost"). An empty Certificate when openssl failed.
TestCertificate MakeCertificate(const QString& folder, const QString& name,
                                const QStringList& names, const TestCertificate* ca = nullptr);

// A loopback port nothing listens on.
quint16 ClosedPort();
QString FixturePath(const QString& name);
QByteArray PatternBytes(int size, int seed = 0);
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// The script's list of replies (or of behaviours).
QJsonArray replies(std::initializer_list<const char*> texts);

// A client set up for the scripted server: its events logged, no retries.
class ScriptedServerTest : public ::testing::Test {
protected:
    void start(const QJsonObject& script) {
        ASSERT_TRUE(m_server.StartScripted(script));
        m_client = std::make_unique<TFtpClient>();
        m_client->SetServer(QStringLiteral("127.0.0.1"));
        m_client->SetPort(m_server.Port());
        m_client->SetUsername(QStringLiteral("bob"));
        m_client->SetPassword(QStringLiteral("pw"));
        m_client->SetRetries(0);
        m_client->SetRetryInterval(0);
        m_log.Attach(*m_client);
    }

    // Starts a server that answers command with the replies in turn, and logs in.
    void startAnswering(const char* command, std::initializer_list<const char*> texts) {
        QJsonObject answers;
        answers[QLatin1String(command)] = replies(texts);
        QJsonObject script;
        script["replies"] = answers;
        ASSERT_NO_FATAL_FAILURE(start(script));
        ASSERT_NO_FATAL_FAILURE(login());
    }

    void login() {
        m_client->Login();
        ASSERT_TRUE(WaitUntil([&] { return m_log.Has("loggedin") || m_log.Has("quit"); }))
            << m_log.Events;
        ASSERT_TRUE(m_log.Has("loggedin")) << m_log.Events;
    }

    void reset() {
        m_log.Events.clear();
        m_log.Commands.clear();
    }

    bool waitFor(const QString& event, int ms = 10000) {
        return WaitUntil([&] { return m_log.Has(event); }, ms);
    }

    ServerProcess m_server;
    std::unique_ptr<TFtpClient> m_client;
    EventLog m_log;
    QTemporaryDir m_dir;
};
