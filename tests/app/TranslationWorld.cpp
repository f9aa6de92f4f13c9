#include "TranslationWorld.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

TranslationWorld::TranslationWorld(const QString& stor, int answerDelayMs,
                                   const QString& certificate, const QString& key,
                                   const QString& password, const QString& dele)
    : m_password(password) {
    QStringList arguments{QStringLiteral(VELA_TRANSLATION_FIXTURES "/translation_world.py"),
                          m_home.path(),
                          QStringLiteral("vela"),
                          password,
                          QStringLiteral("--stor"),
                          stor,
                          QStringLiteral("--dele"),
                          dele,
                          QStringLiteral("--answer-delay"),
                          QString::number(answerDelayMs / 1000.0)};
    if (!certificate.isEmpty())
        arguments << QStringLiteral("--cert") << certificate << QStringLiteral("--key") << key;
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(10000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        m_output += m_process.readAllStandardOutput();
        const qsizetype end = m_output.indexOf('\n');
        if (end < 0)
            continue;
        const QList<QByteArray> ports = m_output.left(end).split(' ');
        m_output.remove(0, end + 1);
        if (ports.size() == 4 && ports[0] == "PORTS") {
            m_httpPort = ports[2].toUShort();
            m_servicePort = ports[3].toUShort();
            m_ftpPort = ports[1].toUShort();
        }
        return;
    }
}

TranslationWorld::~TranslationWorld() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

QStringList TranslationWorld::HomeFiles() const {
    return QDir(m_home.path()).entryList(QDir::Files);
}

QByteArray TranslationWorld::HomeFile(const QString& name) const {
    QFile f(QDir(m_home.path()).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString TranslationWorld::FolderAddress() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_httpPort);
}

QString TranslationWorld::ServiceHost() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_servicePort);
}

QStringList TranslationWorld::outputLines(const QByteArray& prefix) {
    m_output += m_process.readAllStandardOutput();
    QStringList lines;
    for (const QByteArray& line : m_output.split('\n')) {
        // The browser's own request for the site's icon is no translation.
        if (line.startsWith(prefix) && line != "SERVICE /favicon.ico")
            lines << QString::fromUtf8(line.mid(prefix.size()));
    }
    return lines;
}

QStringList TranslationWorld::ServiceRequests() {
    return outputLines("SERVICE ");
}

QStringList TranslationWorld::SeenByPage() {
    return outputLines("SEEN ");
}

QByteArray TranslationWorld::ServerSection(const QString& password) const {
    return QStringLiteral("[SERVER]\nHOST=127.0.0.1:%1\nUSER=vela\nPASS=%2\nINID=/\nADDR=%3\n"
                          "EXCITE=%4\nGOOGLE=%4\nDEEPL=%4\nGOOGLETEXT=%4\n")
        .arg(m_ftpPort)
        .arg(password.isEmpty() ? m_password : password, FolderAddress(), ServiceHost())
        .toUtf8();
}

QString TranslationWorld::Translated(const QString& pair, const QString& line) {
    QString reversed;
    for (auto it = line.crbegin(); it != line.crend(); ++it)
        reversed += *it;
    return QStringLiteral("<<%1>> %2").arg(pair, reversed);
}

TranslationWorld::Certificate TranslationWorld::MakeCertificate(const QString& folder) {
    const QString cert = QDir(folder).filePath(QStringLiteral("space.pem"));
    const QString key = QDir(folder).filePath(QStringLiteral("space.key"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=space"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return {};
    openssl.start(QStringLiteral("openssl"),
                  {"x509", "-noout", "-fingerprint", "-sha256", "-in", cert});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return {};
    return {cert, key,
            openssl.readAllStandardOutput().trimmed().split('=').last().replace(':', "").toLower()};
}

bool TranslationWorld::WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QString TranslationWorld::PdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    return process.waitForFinished(30000) ? QString::fromUtf8(process.readAllStandardOutput())
                                          : QString();
}
