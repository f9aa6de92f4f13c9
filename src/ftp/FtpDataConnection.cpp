// The data connection of a transfer: PORT or PASV, accepting or connecting, and moving
// the bytes between the local file and the data socket.
#include "FtpClient.h"
#include "FtpReply.h"

#include <algorithm>
#include <utility>

void TFtpClient::dataConnectionStep(const QString& reply) {
    if (m_completionCode == 12) {
        m_dataDone = false;
        m_replyDone = false;
    }
    if (!FtpReply::Positive(reply)) {
        stepRefused();
        return;
    }
    // Some servers connect to the PORT address as soon as they accept PORT, before the
    // transfer command: the hooks must be in place before the accept event can arrive.
    installDataHooks(m_completionCode == 12);
    if (m_passive) {
        SendCommand(QStringLiteral("PASV"), &TFtpClient::pasvStep);
        return;
    }
    const QString argument = portArgument();
    if (m_listener->LastError() != 0) {
        m_errorText = FtpReply::FromWinsock(m_listener->LastError()).Text;
        Fail(27);
        return;
    }
    SendCommand(QStringLiteral("PORT ") + argument, m_dataStep);
}

QString TFtpClient::portArgument() {
    // The control connection's own address: the only one the server can reach us on.
    const QString local = LocalAddress();
    m_listener->Disconnect();
    m_listener->SetAddress(local);
    m_listener->SetPort(0);
    m_listener->OpenSocket();
    m_listener->Listen();
    if (m_listener->LastError() != 0)
        return {};
    const QString address = m_listener->LocalAddress();
    const std::uint16_t port = m_listener->LocalPort();
    return FtpReply::PortArgument(address, port);
}

void TFtpClient::pasvStep(const QString& reply) {
    if (!FtpReply::Positive(reply) || !m_dataStep) {
        stepRefused();
        return;
    }
    const auto endpoint = FtpReply::PassiveEndpoint(reply);
    if (!endpoint) {
        m_errorText = QStringLiteral("Malformed passive mode reply");
        stepRefused();
        return;
    }
    // Only the port is taken from the reply: a server must not be able to send our data
    // connection to another host.
    m_data->SetAddress(AddressText());
    m_data->SetPort(endpoint->Port);
    m_data->SetTimeOut(TimeOut());
    m_data->OpenSocket();
    m_data->Connect();
    if (m_data->LastError() != 0) {
        m_errorText = FtpReply::FromWinsock(m_data->LastError()).Text;
        Fail(27);
        return;
    }
    (this->*m_dataStep)(QStringLiteral("299"));
}

void TFtpClient::stepRefused() {
    // Nothing will use the listener or the local file of this transfer any more.
    releaseData();
    ReportError(12);
    FinishOperation();
}

void TFtpClient::installDataHooks(bool upload) {
    m_transferCommandSent = false;
    m_startPending = false;
    m_writePending = false;
    m_data->OnReadable = nullptr;
    m_data->OnWritable = nullptr;
    m_data->OnConnected = nullptr;
    m_listener->OnAcceptReady = nullptr;
    // A released transfer's hooks may still be running when they are let go: they stay
    // assigned and do nothing from then on.
    const unsigned serial = ++m_dataSerial;
    // Until STOR or RETR is out, the data connection's first events are only noted: data
    // must not reach a server (or be closed on it) before it knows the transfer.
    if (upload) {
        m_data->OnWritable = [this, serial](TAsyncSocket*) {
            if (serial != m_dataSerial)
                return;
            if (m_transferCommandSent)
                sendStep();
            else
                m_writePending = true;
        };
    } else {
        m_data->OnReadable = [this, serial](TAsyncSocket*) {
            if (serial == m_dataSerial)
                receiveStep();
        };
    }
    m_data->OnClosed = [this, serial](TAsyncSocket*) {
        if (serial == m_dataSerial)
            transferEndStep();
    };
    const auto start = [this, upload, serial](TAsyncSocket*) {
        if (serial != m_dataSerial)
            return;
        if (!m_transferCommandSent)
            m_startPending = true;
        else
            dataConnectionUp(upload);
    };
    if (m_passive)
        m_data->OnConnected = start;
    else
        m_listener->OnAcceptReady = start;
}

void TFtpClient::sendTransferCommand(const QString& command, TReplyStep step) {
    SendCommand(command, step);
    if (m_replyStep != step)
        return; // not sent; the failure has been reported
    m_transferCommandSent = true;
    const bool upload = m_completionCode == 12;
    if (m_startPending) {
        m_startPending = false;
        dataConnectionUp(upload);
    }
    // A TLS connection reports its room once its handshake is over.
    if (m_writePending && upload && m_data->Connected() && !m_useTls) {
        m_writePending = false;
        sendStep();
    }
}

void TFtpClient::disconnectData() {
    m_data->Disconnect();
    m_listener->Disconnect();
}

bool TFtpClient::acceptFromServerOnly() {
    m_data->AcceptConnection(m_listener);
    if (m_data->LastError() != 0)
        return true;
    if (m_data->AddressText() == AddressText()) {
        // Exactly one data connection per transfer.
        m_listener->Disconnect();
        return true;
    }
    ReportInfo(InfoForeignDataConnection,
               QStringLiteral("Refused a data connection from %1").arg(m_data->AddressText()));
    // Closed unused, without ending the transfer that still waits for the server.
    const TSocketHook end = std::exchange(m_data->OnClosed, nullptr);
    m_data->Disconnect();
    m_data->OnClosed = end;
    return false;
}

void TFtpClient::startDataTransfer() {
    noteProgress();
    m_bytesTransferred = 0;
    m_transferOk = true;
    m_startTick = GetTickCount();
    m_elapsed = 0;
}

void TFtpClient::uploadStartStep() {
    startDataTransfer();
    m_totalSize = m_file ? m_file->size() : 0;
    ReportInfo(13, QString::number(m_totalSize));
}

void TFtpClient::downloadStartStep() {
    startDataTransfer();
}

void TFtpClient::sendStep() {
    std::int64_t chunk = sizeof m_sendBuffer;
    bool wouldBlock = false;
    while (!atEndOfFile()) {
        const std::int64_t position = m_file->pos();
        chunk = std::min<std::int64_t>(chunk, m_totalSize - position);
        if (chunk <= 0)
            break;
        if (m_file->read(m_sendBuffer, chunk) != chunk) {
            ReportError(22);
            closeLocalFile();
            disconnectData();
            m_transferOk = false;
            return;
        }
        std::int64_t sent = 0;
        while (sent < chunk && !m_abortRequested) {
            // Pending messages are handled between sends at most once a millisecond: a pass
            // of the event loop before every 1514-byte send would cost more than the send.
            if (!m_sendWaitClock.isValid() || m_sendWaitClock.nsecsElapsed() >= 1'000'000) {
                WaitStep();
                m_sendWaitClock.start();
            }
            if (m_abortRequested) {
                m_transferOk = false;
                break;
            }
            // Messages handled in the wait may have ended the transfer.
            if (!m_fileOpen || !m_data->HasSocket())
                return;
            m_data->SetReportWouldBlock(true);
            sent += m_data->Send(m_sendBuffer + sent, static_cast<int>(chunk - sent));
            m_data->SetReportWouldBlock(false);
            noteProgress();
            if (m_data->LastError() == winsock::WSAEWOULDBLOCK) {
                // Read the unsent bytes again on the next write notification.
                m_file->seek(position + sent);
                wouldBlock = true;
                break;
            }
            if (m_data->LastError() != 0) {
                Fail(27);
                m_bytesTransferred += sent;
                return;
            }
        }
        m_bytesTransferred += sent;
        if (wouldBlock || !m_transferOk)
            break;
    }
    ReportInfo(8);
    m_elapsed = GetTickCount() - m_startTick;
    // The last TLS records must be out before the connection closes.
    if (m_transferOk && (!atEndOfFile() || !m_data->FlushOutput()))
        return;
    disconnectData();
}

bool TFtpClient::receiveStep() {
    // A fast sender must not keep the window from its other messages: past the budget the
    // rest waits for the next read notification.
    for (int taken = 0; taken < ReceiveBudget;) {
        const int received = m_data->Receive(m_receiveBuffer, sizeof m_receiveBuffer);
        if (m_data->LastError() != 0) {
            if (m_data->LastError() != winsock::WSAENOTSOCK)
                Fail(27);
            return false;
        }
        if (received == 0)
            return false;
        taken += received;
        m_bytesTransferred += received;
        noteProgress();
        m_elapsed = GetTickCount() - m_startTick;
        ReportInfo(8);
        // After a failed write the rest is received and dropped.
        if (m_fileOpen && m_file->write(m_receiveBuffer, received) != received) {
            m_errorText = m_file->errorString();
            ReportError(21);
            closeLocalFile();
        }
    }
    return true;
}

void TFtpClient::transferEndStep() {
    if (m_transferEnded)
        return;
    m_transferEnded = true;
    const bool download = m_completionCode == 10;
    if (download) {
        const unsigned serial = m_dataSerial;
        while (receiveStep()) {
        }
        if (serial != m_dataSerial)
            return; // the drain failed the transfer
        if (m_useTls && !m_data->TlsPeerClosed() && m_transferOk) {
            m_errorText = QStringLiteral("The data connection ended without TLS's closing "
                                         "alert: the file may have been cut short");
            ReportError(29);
        }
    }
    m_elapsed = GetTickCount() - m_startTick;
    disconnectData();
    if (download && m_fileOpen)
        closeWrittenFile();
    else
        closeLocalFile();
    noteProgress();
    ReportInfo(10);
    m_dataDone = true;
    if (m_replyDone)
        completeTransfer();
}
