#pragma once

#include "FtpClient.h"

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <ostream>

// Readable test failure output.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
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
    bool StartScripted(const QJsonObject& script);
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
    QString NeedAnswer; // answer given to every OnFtpNeedInfo
    QList<int> Needs;
};

QString FixturePath(const QString& name);
QByteArray PatternBytes(int size, int seed = 0);
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
