#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The outside world of a translation on loopback, started for one test: the user's web
// space (an FTP server and an HTTP server over the same folder) and a translation service
// that fetches the page and shows each line reversed after "<<EN>JA>> " or "<<JA>EN>> ".
class TranslationWorld {
public:
    // Stor "ok", "refuse" (553 to every STOR) or "drop" (the connection closes at STOR); the
    // service takes answerDelayMs over each answer. With a certificate and key (PEM files)
    // the FTP server requires explicit TLS. Dele "refuse-once" refuses the first removal.
    explicit TranslationWorld(const QString& stor = QStringLiteral("ok"), int answerDelayMs = 0,
                              const QString& certificate = {}, const QString& key = {},
                              const QString& password = QStringLiteral("s3cret"),
                              const QString& dele = QStringLiteral("ok"));
    ~TranslationWorld();
    TranslationWorld(const TranslationWorld&) = delete;
    TranslationWorld& operator=(const TranslationWorld&) = delete;

    bool Started() const { return m_ftpPort != 0; }
    quint16 FtpPort() const { return m_ftpPort; }
    QString Home() const { return m_home.path(); }
    QStringList HomeFiles() const;
    QByteArray HomeFile(const QString& name) const;
    // The public address of the web space's folder, ending in "/".
    QString FolderAddress() const;
    QString ServiceHost() const;
    // The requests the service received so far (path and query as sent).
    QStringList ServiceRequests();
    // What the DeepL page's script read from its fragment, as JSON {"pair", "text"}, one a load.
    QStringList SeenByPage();
    // The SERVER section of a settings file pointing everything at this world.
    // The world's own password when none is given.
    QByteArray ServerSection(const QString& password = {}) const;

    // A self-signed certificate and its key (PEM files in folder) for a TLS world, and its
    // SHA-256 fingerprint as a user may copy it: lower case, without the colons. An empty pin
    // when openssl failed.
    struct Certificate {
        QString Cert;
        QString Key;
        QByteArray Pin;
    };
    static Certificate MakeCertificate(const QString& folder);

    // A file of the test's with these bytes; false when it cannot be written.
    static bool WriteFile(const QString& path, const QByteArray& bytes);
    // The text of a printed PDF (pdftotext); empty when it cannot be read.
    static QString PdfText(const QString& path);

    // The service's text for a line of the page.
    static QString Translated(const QString& pair, const QString& line);

private:
    QStringList outputLines(const QByteArray& prefix);

    QTemporaryDir m_home;
    QProcess m_process;
    QByteArray m_output;
    quint16 m_ftpPort = 0;
    quint16 m_httpPort = 0;
    quint16 m_servicePort = 0;
    QString m_password;
};
