// Explicit TLS: AUTH TLS after the greeting, PBSZ 0 and PROT P after the login, and data
// connections secured with the control connection's session before any data moves.
#include "FtpClient.h"
#include "FtpReply.h"
#include "TlsPeerCheck.h"

bool TFtpClient::prepareTls() {
    m_dataProtected = false;
    if (!m_useTls)
        return true;
    m_tlsPin.clear();
    if (!m_tlsFingerprint.trimmed().isEmpty()) {
        const auto pin = TlsPeerCheck::ParseFingerprint(m_tlsFingerprint);
        if (!pin) {
            m_errorText = QStringLiteral("The TLS fingerprint \"%1\" is no SHA-256 fingerprint "
                                         "(64 hex digits, colons allowed)")
                              .arg(m_tlsFingerprint);
            ReportError(ErrorTls);
            FinishOperation();
            return false;
        }
        m_tlsPin = *pin;
    }
    // One context per connection: data connections resume the control connection's session.
    m_tlsContext = TlsChannel::Context::Create(&m_errorText);
    if (!m_tlsContext) {
        ReportError(ErrorTls);
        FinishOperation();
        return false;
    }
    return true;
}

void TFtpClient::authStep(const QString& reply) {
    if (!reply.startsWith(QLatin1String("234"))) {
        tlsRefused(QStringLiteral("AUTH TLS"), reply);
        return;
    }
    // Nothing the server sent in clear after its consent may pass for a secured reply.
    m_replies.Reset();
    m_replyStep = nullptr;
    StartTls(m_tlsContext, m_tlsHost, m_tlsPin, nullptr);
}

void TFtpClient::securedStep() {
    if (CheckSocketError())
        return;
    ReportInfo(InfoSecured, QStringLiteral("Secured by %1").arg(TlsProtocol()));
    sendLoginCommand();
}

void TFtpClient::pbszStep(const QString& reply) {
    if (FtpReply::Positive(reply))
        SendCommand(QStringLiteral("PROT P"), &TFtpClient::protStep);
    else
        tlsRefused(QStringLiteral("PBSZ 0"), reply);
}

void TFtpClient::protStep(const QString& reply) {
    if (!FtpReply::Positive(reply)) {
        tlsRefused(QStringLiteral("PROT P"), reply);
        return;
    }
    m_dataProtected = true;
    probe();
}

void TFtpClient::tlsRefused(const QString& command, const QString& reply) {
    // Going on in clear would send the password or the page unprotected.
    m_errorText = QStringLiteral("The server refused %1: %2").arg(command, reply);
    Fail(ErrorTls);
}

void TFtpClient::dataConnectionUp(bool upload) {
    if (!m_passive && !acceptFromServerOnly())
        return;
    if (const int error = m_data->LastError(); error != 0) {
        // A download's socket may already be gone with the other side of the transfer.
        if (upload || error != winsock::WSAENOTSOCK)
            Fail(27);
        return;
    }
    if (!m_useTls) {
        upload ? uploadStartStep() : downloadStartStep();
        return;
    }
    const unsigned serial = m_dataSerial;
    m_data->OnSecured = [this, upload, serial](TAsyncSocket*) {
        if (serial != m_dataSerial)
            return;
        if (m_data->LastError() != 0) {
            m_errorText = QStringLiteral("TLS on the data connection: ") + m_data->TlsError();
            Fail(27);
            return;
        }
        upload ? uploadStartStep() : downloadStartStep();
    };
    // The control connection's session: servers refuse data connections that do not reuse it.
    m_data->StartTls(m_tlsContext, m_tlsHost, m_tlsPin, this);
}
