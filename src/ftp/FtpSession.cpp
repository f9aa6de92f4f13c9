// The control connection: connect attempts, reading and assembling replies, sending
// commands, and the end of a connection with its retries.
#include "FtpClient.h"
#include "FtpReply.h"

#include <QEventLoop>
#include <QTimer>

void TFtpClient::Login() {
    m_attemptsLeft = m_retries;
    m_busy = false;
    m_abortRequested = false;
    m_loggedIn = false;
    connectAttempt();
}

bool TFtpClient::refuseUnsafeLoginValues() {
    struct Value {
        const QString& Text;
        const char* Name;
        int Error;
    };
    const Value values[] = {{Server(), "Server", 26},
                            {m_username, "Username", 26},
                            {m_password, "Password", 26},
                            {m_account, "Account", 26},
                            {m_proxyServer, "ProxyServer", 26},
                            {m_proxyUsername, "ProxyUsername", 26},
                            {m_proxyPassword, "ProxyPassword", 26},
                            {m_initialDirectory, "InitialDirectory", 12}};
    for (const Value& v : values) {
        if (!FtpReply::SafeArgument(v.Text)) {
            m_errorText = QStringLiteral("%1 holds a line break or NUL; nothing was sent")
                              .arg(QLatin1String(v.Name));
            ReportError(v.Error);
            FinishOperation();
            return true;
        }
    }
    return false;
}

void TFtpClient::connectAttempt() {
    m_retrying = false;
    if (m_busy) {
        ReportInfo(5);
        return;
    }
    if (refuseUnsafeLoginValues() || !prepareTls())
        return;
    // Whatever a failed transfer or attempt left behind goes now.
    releaseData();
    restoreProxyTarget();
    m_waitTimer->stop();
    SetLastError(0);
    m_currentDirectory.clear();
    m_errorNumber = 0;
    m_transferOk = true;
    m_sizeSupported = true;
    m_noopSupported = true;
    m_lastTypeLetter.clear();
    --m_attemptsLeft;
    // Whatever the old connection still delivers belongs to no step of the new one.
    ++m_connectionSerial;
    m_replyStep = nullptr;
    m_replies.Reset();
    ResetSocket();
    if (LastError() != 0) {
        // No socket (out of descriptors, say): nothing would ever be reported otherwise.
        CheckSocketError();
        return;
    }
    if (m_proxyServer.trimmed().isEmpty()) {
        m_proxyType = proxyNone;
    } else if (m_proxyType != proxyNone) {
        m_savedServer = Server();
        m_savedPort = Port();
        m_proxyTargetSaved = true;
        SetServer(m_proxyServer);
        SetPort(static_cast<std::uint16_t>(m_proxyPort));
    }
    if (Server().trimmed().isEmpty()) {
        const QString answer = askNeedInfo(niServer).trimmed();
        if (answer.isEmpty()) {
            ReportError(18);
            FinishOperation();
            return;
        }
        if (!FtpReply::SafeArgument(answer)) {
            m_errorText = QStringLiteral("Server holds a line break or NUL; nothing was sent");
            ReportError(26);
            FinishOperation();
            return;
        }
        SetServer(answer);
    }
    if (Port() == 0)
        SetPort(21);
    if (!Address().isEmpty()) {
        SetAddress(Address());
        SetPort(Port());
        Connect();
    } else {
        ReportInfo(2, HostName());
        Lookup(HostName());
    }
    CheckSocketError();
}

void TFtpClient::LookupDone() {
    if (CheckSocketError())
        return;
    UseResolvedAddress();
    SetPort(Port());
    SetAddress(AddressText());
    ReportInfo(19, Address());
    Connect();
    CheckSocketError();
}

void TFtpClient::connectedStep() {
    if (CheckSocketError())
        return;
    ReportInfo(0, Address());
    // The name the certificate must carry: the one the connection was made to.
    m_tlsHost = HostName().isEmpty() ? Address() : HostName();
    m_controlConnected = true;
    m_processingLine = false;
    m_replies.Reset();
    m_replyStep = &TFtpClient::greetingStep;
    armWait();
}

void TFtpClient::timedOutStep() {
    m_errorText = QStringLiteral("Connection timed out");
    Fail(7);
}

void TFtpClient::replyReader() {
    if (m_processingLine || m_abortRequested)
        return;
    char buffer[4096];
    const unsigned serial = m_connectionSerial;
    // An endless sender must not keep the window from its other messages: past the budget
    // the rest waits for the next read notification.
    for (int taken = 0;
         !m_abortRequested && serial == m_connectionSerial && taken < ReceiveBudget;) {
        const int n = Receive(buffer, sizeof buffer);
        taken += n;
        const QByteArray received = FtpReplyAssembler::Received(buffer, n);
        if (CheckSocketError())
            return;
        ReportInfo(3, QString::fromLocal8Bit(received));
        if (received.isEmpty())
            return;
        m_replies.Append(received);
        while (const auto reply = m_replies.Next()) {
            if (!reply->Error.isEmpty()) {
                m_errorText = reply->Error;
                Fail(3);
                return;
            }
            m_processingLine = true;
            takeReply(*reply);
            m_processingLine = false;
            // A step may have ended this connection and started the next one.
            if (m_abortRequested || serial != m_connectionSerial)
                return;
        }
    }
}

void TFtpClient::takeReply(const FtpReplyAssembler::Event& reply) {
    if (!reply.Lines.isEmpty()) {
        m_replyLines = reply.Lines;
        ReportInfo(16);
    }
    m_lastReply = reply.Line;
    if (m_replyStep) {
        noteProgress();
        (this->*m_replyStep)(reply.Line);
    }
}

void TFtpClient::SendCommand(const QString& command, TReplyStep step) {
    if (!FtpReply::SafeArgument(command)) {
        m_errorText = QStringLiteral("A command argument holds a line break or NUL; nothing "
                                     "was sent");
        Fail(3);
        return;
    }
    const QString text = command + QLatin1String("\r\n");
    ReportInfo(4, FtpReply::CommandEcho(text));
    QByteArray bytes = text.toLocal8Bit();
    while (!bytes.isEmpty()) {
        WaitStep();
        const int sent = Send(bytes.constData(), static_cast<int>(bytes.size()));
        bytes.remove(0, sent);
        if (CheckSocketError() || m_abortRequested || !m_controlConnected)
            return;
    }
    m_replyStep = step;
    armWait();
}

void TFtpClient::closedStep() {
    if (m_retrying)
        return;
    m_waitTimer->stop();
    restoreProxyTarget();
    releaseData();
    if (m_attemptsLeft < 0) {
        ReportInfo(21, QStringLiteral("Retry Finished"));
        m_ended = true;
    } else if (!m_loggedIn && m_errorNumber != 0) {
        ReportInfo(18, QStringLiteral("Retrying..."));
        m_retrying = true;
        m_ended = false;
        if (m_retryInterval != 0) {
            const std::uint32_t start = GetTickCount();
            const std::uint32_t pause = static_cast<std::uint32_t>(m_retryInterval) * 1000;
            while (GetTickCount() - start < pause && !m_ended && !m_abortRequested) {
                WaitStep();
                if (!m_multiThreaded) {
                    // Sleep in the event loop rather than spin through the pause.
                    QEventLoop pauseLoop;
                    QTimer::singleShot(20, &pauseLoop, &QEventLoop::quit);
                    pauseLoop.exec();
                }
            }
        }
        if (!m_ended)
            connectAttempt();
    }
    if (m_ended) {
        m_controlConnected = false;
        ReportInfo(1, QStringLiteral("Disconnected"));
        Window()->Post(WM_CONNECTIONENDED);
        m_completionCode = 0;
        FinishOperation();
    }
}
