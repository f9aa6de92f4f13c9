#pragma once

#include "AsyncSocket.h"
#include "FtpReplyAssembler.h"
#include "FtpTypes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <functional>
#include <memory>

class QTimer;

// FTP client on the control connection of its TAsyncSocket base: login (also through
// proxies), server type detection, keep-alive, retries, and the uploads and downloads of
// its two owned data sockets. It never throws: failures reach OnFtpError, status OnFtpInfo.
class TFtpClient : public TAsyncSocket {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFtpClient)

public:
    static constexpr unsigned WM_CONNECTIONENDED = WM_USER + 2;
    static constexpr unsigned WM_OPERATIONFINISHED = WM_USER + 4;
    // A reply line or a multi-line reply larger than this ends the connection.
    static constexpr int MaxReplySize = FtpReplyAssembler::MaxSize;
    // Bytes one socket notification may take in before the event loop runs again.
    static constexpr int ReceiveBudget = 64 * 1024;
    // Info code: a data connection from another host than the server was refused.
    static constexpr int InfoForeignDataConnection = 23;
    // Info code: the control connection is secured by TLS; the text names the protocol.
    static constexpr int InfoSecured = 24;
    // Error number of TLS: the server offers none, refuses its commands, or its certificate
    // or handshake fails.
    static constexpr int ErrorTls = 30;

    using TNotifyEvent = std::function<void(TFtpClient* sender)>;
    using TFtpInfoEvent = std::function<void(TFtpClient* sender, int info, const QString& addInfo)>;
    using TFtpErrorEvent =
        std::function<void(TFtpClient* sender, int error, const QString& addInfo)>;
    using TFtpNeedInfoEvent = std::function<void(TFtpClient* sender, int need, QString& value)>;
    using TFileFoundEvent = std::function<void(TFtpClient* sender, const TFileInfo& fileFound,
                                               const QString& location, bool directory)>;

    explicit TFtpClient(QObject* owner = nullptr);
    ~TFtpClient() override;

    void Login();
    void StoreFile(const QString& localFile, const QString& remoteFile, const QString& mode,
                   bool overwrite);
    void RetrieveFile(const QString& remoteFile, const QString& localFile, bool resume);
    // Removes a file of the current folder (DELE): OnFileDeleted once the server confirms; a
    // refusal is error 29 (FtpDelete.cpp).
    void DeleteFile(const QString& remoteFile);

    bool Asynchronous() const { return m_asynchronous; }
    void SetAsynchronous(bool on);
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool on) { m_multiThreaded = on; }
    std::uint16_t NoopInterval() const;
    void SetNoopInterval(std::uint16_t seconds);
    QString Username() const { return m_username; }
    void SetUsername(const QString& v) { m_username = v; }
    QString Password() const { return m_password; }
    void SetPassword(const QString& v) { m_password = v; }
    QString Account() const { return m_account; }
    void SetAccount(const QString& v) { m_account = v; }
    QString ProxyUsername() const { return m_proxyUsername; }
    void SetProxyUsername(const QString& v) { m_proxyUsername = v; }
    QString ProxyPassword() const { return m_proxyPassword; }
    void SetProxyPassword(const QString& v) { m_proxyPassword = v; }
    int Retries() const { return m_retries; }
    void SetRetries(int v) { m_retries = v; }
    std::uint16_t RetryInterval() const { return m_retryInterval; }
    void SetRetryInterval(std::uint16_t v) { m_retryInterval = v; }
    TFtpServerType ServerType() const { return m_serverType; }
    void SetServerType(TFtpServerType v) { m_serverType = v; }
    QString InitialDirectory() const { return m_initialDirectory; }
    void SetInitialDirectory(const QString& v) { m_initialDirectory = v; }
    // When set, a refused change to InitialDirectory fails the login (error 26) instead of
    // going on in the server's starting folder, where an upload would land unseen.
    bool RequireInitialDirectory() const { return m_requireInitialDirectory; }
    void SetRequireInitialDirectory(bool v) { m_requireInitialDirectory = v; }
    QString FileMask() const { return m_fileMask; }
    void SetFileMask(const QString& v) { m_fileMask = v; }
    bool Cache() const { return m_cache; }
    void SetCache(bool v) { m_cache = v; }
    int CacheExpire() const { return m_cacheExpire; }
    void SetCacheExpire(int v) { m_cacheExpire = v; }
    TFtpTransferType TransferMode() const { return m_transferMode; }
    void SetTransferMode(TFtpTransferType v) { m_transferMode = v; }
    TFtpProxyType ProxyType() const { return m_proxyType; }
    void SetProxyType(TFtpProxyType v) { m_proxyType = v; }
    QString ProxyServer() const { return m_proxyServer; }
    void SetProxyServer(const QString& v) { m_proxyServer = v; }
    int ProxyPort() const { return m_proxyPort; }
    void SetProxyPort(int v) { m_proxyPort = v; }
    bool Passive() const { return m_passive; }
    void SetPassive(bool v) { m_passive = v; }
    QString Version() const;
    void SetVersion(const QString&) {} // the built-in text always wins
    bool OverWrite() const { return m_overWrite; }
    void SetOverWrite(bool v) { m_overWrite = v; }
    int FileNameCode() const { return m_fileNameCode; }
    void SetFileNameCode(int v) { m_fileNameCode = v; }
    void SetServer(const QString& server) override;
    // Explicit TLS on the control and data connections; off by default (plain FTP).
    bool UseTls() const { return m_useTls; }
    void SetUseTls(bool on) { m_useTls = on; }
    // The SHA-256 fingerprint of the one certificate to accept instead of one that the
    // system's authorities vouch for; empty for none.
    QString TlsFingerprint() const { return m_tlsFingerprint; }
    void SetTlsFingerprint(const QString& v) { m_tlsFingerprint = v; }

    // Read-only state, for the owner and for diagnostics.
    bool Busy() const { return m_busy; }
    bool LoggedIn() const { return m_loggedIn; }
    bool ControlConnected() const { return m_controlConnected; }
    QString CurrentDirectory() const { return m_currentDirectory; }
    const QStringList& ReplyLines() const { return m_replyLines; }
    QString LastReply() const { return m_lastReply; }
    bool CanResume() const { return m_canResume; }
    bool SizeSupported() const { return m_sizeSupported; }
    bool NoopSupported() const { return m_noopSupported; }
    QString LastTypeLetter() const { return m_lastTypeLetter; }
    int ErrorNumber() const { return m_errorNumber; }
    std::int64_t BytesTransferred() const { return m_bytesTransferred; }
    std::int64_t TotalSize() const { return m_totalSize; }
    std::uint32_t Elapsed() const { return m_elapsed; }
    TAsyncSocket* DataSocket() const { return m_data; }
    TAsyncSocket* Listener() const { return m_listener; }

    TFtpInfoEvent OnFtpInfo;
    TFtpErrorEvent OnFtpError;
    TFtpNeedInfoEvent OnFtpNeedInfo;
    TNotifyEvent OnFtpBusy;
    TNotifyEvent OnFtpReady;
    TNotifyEvent OnLoggedIn;
    TNotifyEvent OnFileStored;
    TNotifyEvent OnFileReceived;
    TNotifyEvent OnAborted;
    TNotifyEvent OnFtpQuit;
    TNotifyEvent OnDirectoryChanged;
    TNotifyEvent OnDirectoryCreated;
    TNotifyEvent OnDirectoryDeleted;
    TNotifyEvent OnFileDeleted;
    TNotifyEvent OnFileRenamed;
    TFileFoundEvent OnFileFound;
    TNotifyEvent OnListingDone;
    TNotifyEvent OnIndexFileReceived;
    TNotifyEvent OnFileTransferred;
    TNotifyEvent OnResolvedLinks;

protected:
    void LookupDone() override;

private:
    using TReplyStep = void (TFtpClient::*)(const QString& reply);

    // Operation protocol and reports (FtpClient.cpp).
    bool BeginOperation();
    void FinishOperation();
    void ReportInfo(int code, const QString& text = QString());
    void ReportError(int number);
    void Fail(int number);
    bool CheckSocketError();
    void WaitStep();
    void synchronousWait();
    void ownerMessage(Message& message);
    void keepAliveTick();
    void keepAliveStep(const QString& reply);
    void restartKeepAlive();
    // Network waits: while a reply or the data of a transfer is awaited, TimeOut seconds
    // without progress end the connection with error 7.
    void armWait();
    void noteProgress() { m_progressClock.start(); }
    void waitTimerFired();
    // Closes the data socket and the listener without running their hooks, and drops the
    // local file of an unfinished transfer: nothing of a failed transfer outlives it.
    void releaseData();
    void restoreProxyTarget();
    QString askNeedInfo(int need, const QString& current = QString());

    // Control session (FtpSession.cpp).
    void connectAttempt();
    bool refuseUnsafeLoginValues();
    void connectedStep();
    void timedOutStep();
    void replyReader();
    void takeReply(const FtpReplyAssembler::Event& reply);
    void SendCommand(const QString& command, TReplyStep step);
    void closedStep();

    // Login dialogue (FtpLogin.cpp).
    void greetingStep(const QString& reply);
    void sendLoginCommand();
    // TLS (FtpTls.cpp).
    bool prepareTls();
    void authStep(const QString& reply);
    void securedStep();
    void pbszStep(const QString& reply);
    void protStep(const QString& reply);
    void tlsRefused(const QString& command, const QString& reply);
    // The data connection is up (accepted or connected): secured first when TLS is on.
    void dataConnectionUp(bool upload);
    void hostStep(const QString& reply);
    void openStep(const QString& reply);
    void proxyUserStep(const QString& reply);
    void proxyPassStep(const QString& reply);
    void siteStep(const QString& reply);
    void userStep(const QString& reply);
    void passStep(const QString& reply);
    void acctStep(const QString& reply);
    void probe();
    void systStep(const QString& reply);
    void resumeProbeStep(const QString& reply);
    void directoryStep(const QString& reply);
    void cwdStep(const QString& reply);
    void pwdStep(const QString& reply);
    void deleteStep(const QString& reply);

    // Transfers (FtpTransfer.cpp, FtpDataConnection.cpp).
    void setType(const QString& letter, TReplyStep next);
    void uploadSizeStep(const QString& reply);
    void uploadSizeReplyStep(const QString& reply);
    void dataConnectionStep(const QString& reply);
    QString portArgument();
    void pasvStep(const QString& reply);
    void storStep(const QString& reply);
    void restStorStep(const QString& reply);
    void uploadRestReplyStep(const QString& reply);
    void storReplyStep(const QString& reply);
    // The reply that ends a STOR or RETR: positive completes it once the data is through too.
    void transferReplied(const QString& reply);
    void finalReplyStep(const QString& reply);
    void uploadStartStep();
    void sendStep();
    void transferEndStep();
    void resumeDecisionStep(const QString& reply);
    void downloadSizeStep(const QString& reply);
    void retrStep(const QString& reply);
    void restRetrStep(const QString& reply);
    void downloadRestReplyStep(const QString& reply);
    void retrReplyStep(const QString& reply);
    void downloadStartStep();
    // Takes in at most ReceiveBudget bytes; true when more may be waiting.
    bool receiveStep();
    // Flushes and closes the downloaded file; false (error 21 reported) when that failed.
    bool closeWrittenFile();
    // Ends a transfer whose data and final reply are both done.
    void completeTransfer();
    // The received byte count against the size the server announced; false (error 29
    // reported) when they differ.
    bool receivedAsAnnounced();
    bool openFreshDownload();
    // Downloads into a fresh file from the start (after the resume probe decided so).
    void startOver();
    // A data connection from any host but the server is closed at once.
    bool acceptFromServerOnly();
    void installDataHooks(bool upload);
    void sendTransferCommand(const QString& command, TReplyStep step);
    // After a positive reply: the transfer command on the remote file, or REST at offset.
    void transferCommandStep(const QString& reply, const QString& command, TReplyStep next);
    void restartStep(const QString& reply, std::int64_t offset, TReplyStep next);
    void startDataTransfer();
    // Takes the names of a transfer; false (the operation finished with an error) when the
    // remote name is empty or unsafe or the local name empty.
    bool acceptFileNames(const QString& remoteFile, const QString& localFile);
    // After REST: a 3xx reply sends the transfer command, anything else ends with error 28.
    void restReplied(const QString& reply, const QString& command, TReplyStep next,
                     const QString& refusedText);
    void disconnectData();
    void closeLocalFile();
    void dropTransfer();
    bool atEndOfFile() const;
    void transferRefused(const QString& reply);
    void stepRefused();

    bool m_asynchronous = true;
    bool m_multiThreaded = false;
    QString m_username = QStringLiteral("anonymous");
    QString m_password = QStringLiteral("vela-user@example.com");
    QString m_account;
    QString m_proxyUsername;
    QString m_proxyPassword;
    int m_retries = 3;
    std::uint16_t m_retryInterval = 15;
    TFtpServerType m_serverType = ftpstAutoDetect;
    QString m_initialDirectory;
    QString m_fileMask;
    bool m_cache = true;
    int m_cacheExpire = 7;
    TFtpTransferType m_transferMode = BinaryTransfer;
    TFtpProxyType m_proxyType = proxyNone;
    QString m_proxyServer;
    int m_proxyPort = 21;
    bool m_passive = false;
    bool m_overWrite = false;
    bool m_requireInitialDirectory = false;
    int m_fileNameCode = 1;
    bool m_useTls = false;
    QString m_tlsFingerprint;
    std::shared_ptr<TlsChannel::Context> m_tlsContext;
    QByteArray m_tlsPin;
    QString m_tlsHost;
    bool m_dataProtected = false;

    bool m_busy = false;
    bool m_controlConnected = false;
    bool m_loggedIn = false;
    bool m_ended = false;
    bool m_retrying = false;
    int m_attemptsLeft = 0;
    bool m_abortRequested = false;
    int m_completionCode = 0;
    // Beyond the information codes the others reuse, so no report is mistaken for it.
    static constexpr int DeleteCompletion = 100;
    TReplyStep m_replyStep = nullptr;
    bool m_processingLine = false;
    unsigned m_connectionSerial = 0;
    FtpReplyAssembler m_replies;
    QStringList m_replyLines;
    QString m_lastReply;
    QString m_currentDirectory;
    QString m_lastTypeLetter;
    bool m_canResume = false;
    bool m_sizeSupported = true;
    bool m_noopSupported = true;
    int m_errorNumber = 0;
    QString m_errorText;
    bool m_transferOk = true;
    QString m_savedServer;
    std::uint16_t m_savedPort = 0;
    QTimer* m_keepAlive = nullptr;
    QTimer* m_waitTimer = nullptr;
    QElapsedTimer m_progressClock;
    bool m_proxyTargetSaved = false;
    // Hooks of the data socket and the listener act only while this is their transfer's.
    unsigned m_dataSerial = 0;
    TAsyncSocket* m_data = nullptr;
    TAsyncSocket* m_listener = nullptr;
    QStringList m_dirList;
    QStringList m_fileList;
    QStringList m_linkList;
    QStringList m_indexList;

    QString m_remoteFile;
    QString m_localFile;
    std::unique_ptr<QFile> m_file;
    bool m_fileOpen = false;
    std::int64_t m_remoteSize = 0;
    std::int64_t m_restartOffset = 0;
    std::int64_t m_announcedSize = -1;
    QString m_temporaryPath;
    QString m_downloadTarget;
    std::int64_t m_totalSize = 0;
    std::int64_t m_bytesTransferred = 0;
    std::uint32_t m_startTick = 0;
    QElapsedTimer m_sendWaitClock;
    std::uint32_t m_elapsed = 0;
    bool m_dataDone = false;
    bool m_replyDone = false;
    bool m_transferEnded = false;
    bool m_transferCommandSent = false;
    bool m_startPending = false;
    bool m_writePending = false;
    TReplyStep m_dataStep = nullptr;
    QString m_transferType;
    char m_receiveBuffer[4096] = {};
    char m_sendBuffer[1514] = {};
};

// Prepares the listing cache folder and stores today's date; run once at program start.
void FtpClientStartup();
// Today's date as year * 10000 + month * 100 + day, stored by FtpClientStartup.
int FtpCacheToday();
// The cache folder FtpClientStartup prepares.
QString FtpCacheDirectory();
