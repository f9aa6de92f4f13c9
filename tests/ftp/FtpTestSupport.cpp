#include "FtpTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

ServerProcess::~ServerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ServerProcess::start(const QString& script, const QStringList& arguments) {
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        m_process.waitForReadyRead(200);
        m_output += m_process.readAllStandardOutput();
        const qsizetype nl = m_output.indexOf('\n');
        if (nl >= 0 && m_output.startsWith("PORT ")) {
            m_port = static_cast<quint16>(m_output.mid(5, nl - 5).trimmed().toUInt());
            m_output.remove(0, nl + 1);
            return m_port != 0;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
    }
    qWarning("server did not start: %s", m_process.readAllStandardError().constData());
    return false;
}

bool ServerProcess::StartPyftpd(const QString& home, const QString& user, const QString& password,
                                const QStringList& readOnlyFolders) {
    return start(FixturePath(QStringLiteral("pyftpd_server.py")),
                 QStringList{home, user, password} + readOnlyFolders);
}

bool ServerProcess::StartPyftpdTls(const QString& home, const QString& user,
                                   const QString& password, const QString& certificate,
                                   const QString& key) {
    return start(FixturePath(QStringLiteral("pyftpd_server.py")),
                 QStringList{QStringLiteral("--tls"), certificate, key, home, user, password});
}

bool ServerProcess::StartVsftpd(const QString& home, const QString& certificate,
                                const QString& key) {
    QStringList arguments{home, m_dir.path()};
    if (!certificate.isEmpty())
        arguments << certificate << key;
    return start(FixturePath(QStringLiteral("vsftpd_server.py")), arguments);
}

namespace {

bool runOpenssl(const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        qWarning("openssl failed: %s", openssl.readAllStandardError().constData());
        return false;
    }
    if (output)
        *output = openssl.readAllStandardOutput();
    return true;
}

} // namespace

TestCertificate MakeCertificate(const QString& folder, const QString& name,
                                const QStringList& names, const TestCertificate* ca) {
    TestCertificate made{folder + "/" + name + ".pem", folder + "/" + name + ".key", {}};
    const QString extensions = folder + "/" + name + ".ext";
    if (!WriteFile(extensions, "subjectAltName=" + names.join(',').toLatin1() + "\n"))
        return {};
    const QStringList key{"-newkey", "ec",      "-pkeyopt", "ec_paramgen_curve:prime256v1",
                          "-nodes",  "-keyout", made.Key};
    const QStringList subject{"-subj", "/CN=" + name, "-days", "2"};
    bool ok = false;
    if (!ca) {
        ok = runOpenssl(
            QStringList{"req", "-x509"} + key + subject +
            QStringList{"-out", made.Certificate, "-addext", "subjectAltName=" + names.join(',')});
    } else {
        const QString request = folder + "/" + name + ".csr";
        ok = runOpenssl(QStringList{"req", "-new"} + key + QStringList{"-subj", "/CN=" + name} +
                        QStringList{"-out", request}) &&
             runOpenssl({"x509", "-req", "-in", request, "-CA", ca->Certificate, "-CAkey", ca->Key,
                         "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out",
                         made.Certificate});
    }
    QByteArray fingerprint;
    if (!ok || !runOpenssl({"x509", "-noout", "-fingerprint", "-sha256", "-in", made.Certificate},
                           &fingerprint))
        return {};
    made.Fingerprint = QString::fromLatin1(fingerprint.trimmed());
    return made;
}

bool ServerProcess::StartScripted(const QJsonObject& script) {
    const QString path = m_dir.filePath(QStringLiteral("script.json"));
    if (!WriteFile(path, QJsonDocument(script).toJson()))
        return false;
    return start(FixturePath(QStringLiteral("scripted_server.py")), QStringList{path});
}

void ServerProcess::collect() {
    while (m_process.waitForReadyRead(50))
        m_output += m_process.readAllStandardOutput();
    m_output += m_process.readAllStandardOutput();
}

QStringList ServerProcess::Commands() {
    collect();
    QStringList commands;
    for (const QByteArray& line : m_output.split('\n')) {
        if (line.startsWith("CMD "))
            commands << QString::fromLatin1(line.mid(4));
    }
    return commands;
}

QStringList ServerProcess::Notes() {
    collect();
    QStringList notes;
    for (const QByteArray& line : m_output.split('\n')) {
        if (!line.isEmpty() && !line.startsWith("CMD "))
            notes << QString::fromLatin1(line);
    }
    return notes;
}

void EventLog::Attach(TFtpClient& client) {
    client.OnFtpInfo = [this](TFtpClient*, int info, const QString& text) {
        if (info == 3) {
            RawBytes += text.size();
            return;
        }
        if (info == 8) {
            ++Progress;
            return;
        }
        if (info == 4) {
            QString command = text;
            command.chop(2);
            Commands << command;
            Events << QStringLiteral("info 4 ") + command;
            return;
        }
        Events << QStringLiteral("info %1 %2").arg(info).arg(text);
    };
    client.OnFtpError = [this](TFtpClient*, int error, const QString& text) {
        Events << QStringLiteral("error %1 %2").arg(error).arg(text);
    };
    client.OnFtpNeedInfo = [this](TFtpClient*, int need, QString& value) {
        Needs << need;
        value = NeedAnswer;
    };
    client.OnFtpBusy = [this](TFtpClient*) { Events << QStringLiteral("busy"); };
    client.OnFtpReady = [this](TFtpClient*) { Events << QStringLiteral("ready"); };
    client.OnLoggedIn = [this](TFtpClient*) { Events << QStringLiteral("loggedin"); };
    client.OnFileStored = [this](TFtpClient*) { Events << QStringLiteral("stored"); };
    client.OnFileReceived = [this](TFtpClient*) { Events << QStringLiteral("received"); };
    client.OnFtpQuit = [this](TFtpClient*) { Events << QStringLiteral("quit"); };
    client.OnAborted = [this](TFtpClient*) { Events << QStringLiteral("aborted"); };
}

int EventLog::CountPrefix(const QString& prefix) const {
    int n = 0;
    for (const QString& e : Events)
        n += e.startsWith(prefix) ? 1 : 0;
    return n;
}

QString FixturePath(const QString& name) {
    return QStringLiteral(VELA_FTP_FIXTURES "/") + name;
}

QByteArray PatternBytes(int size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed * 17 + (i >> 8)) & 0xFF);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonArray replies(std::initializer_list<const char*> texts) {
    QJsonArray a;
    for (const char* t : texts)
        a.append(QString::fromLatin1(t));
    return a;
}

quint16 ClosedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}
