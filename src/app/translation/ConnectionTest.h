#pragma once

#include "UploadSetup.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class TFtpClient;

// Checks an upload account the way a translation uses it: logs in, changes to the folder,
// stores a small probe file under a random name, fetches it back through the folder's public
// address over http(s) and removes it. This is the one check that the public address serves
// the folder. Every outcome is told in Japanese, naming the step that failed and why.
class ConnectionTest final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionTest)

public:
    enum Step { Login = 1, Folder, Upload, Fetch, Remove, Done };

    explicit ConnectionTest(QObject* parent = nullptr);
    ~ConnectionTest() override;

    // Runs until OnFinished; a test already running is abandoned.
    void Start(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
               const QString& folderAddress);
    bool Running() const { return m_running; }

    // The step now under way, for the user to follow.
    std::function<void(Step step, const QString& text)> OnProgress;
    // failedStep is Done when every step passed.
    std::function<void(Step failedStep, const QString& message)> OnFinished;

    static QString StepName(Step step);
    // The probe's random name: nobody can guess it, and it never replaces a file of the user.
    static QString ProbeName();

private:
    void detach();
    void enter(Step step);
    void ftpFailed(int error, const QString& text);
    void fetch();
    void fetched(QNetworkReply* reply);
    void remove();
    void finish(Step failedStep, const QString& reason);
    QString serverReply() const;

    std::unique_ptr<TFtpClient> m_client;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QTemporaryDir m_work;
    QString m_folderAddress;
    QString m_directory;
    QString m_probeName;
    QByteArray m_probe;
    Step m_step = Login;
    // A failure met before the probe was removed, told once the removal was tried.
    Step m_failedStep = Done;
    QString m_failure;
    bool m_running = false;
    bool m_stored = false;
};
