// TLS over the asynchronous socket: the platform carries ciphertext, the hooks and Send and
// Receive see plaintext, with the readiness messages keeping their meaning.
#include "AsyncSocket.h"
#include "TlsPeerCheck.h"

#include <QTimer>
#include <algorithm>
#include <utility>

using namespace winsock;

namespace {

// Ciphertext taken from the platform per read message while nobody reads plaintext.
constexpr int PullBudget = 64 * 1024;
// Records are handed to the platform once this much has gathered, or from the event loop:
// one platform call per record of a 1514-byte send would cost more than the encryption.
constexpr qsizetype FlushThreshold = 16 * 1024;

// A TLS server may still send (a session ticket, its own closing alert) after our closing
// alert. Closing the socket at once would answer that with a reset, which makes the peer
// drop whatever it has not read yet: the end of an upload. So the socket is only shut for
// sending, and closed once the peer has closed too, or after a while. What arrives in the
// meantime is still read as TLS: a ticket the next data connection needs may be in it.
class LingeringClose final : public MessageWindow {
public:
    LingeringClose(SOCKET socket, std::unique_ptr<TlsChannel> tls, int seconds)
        : m_socket(socket), m_tls(std::move(tls)) {
        ShutdownSend(m_socket);
        AsyncSelect(m_socket, this, TAsyncSocket::WM_SOCKETEVENT, FD_READ | FD_CLOSE);
        SetTimer(1, std::max(seconds, 1) * 1000);
    }

protected:
    void WindowProc(Message& message) override {
        if (message.Msg == TAsyncSocket::WM_SOCKETEVENT && (message.LParam & 0xFFFF) == FD_READ) {
            // Once the peer's alert or a bad record has come, nothing more is read as TLS:
            // fed on, whatever the peer still sends would pile up until the time-out.
            char scratch[16384];
            int n = 0;
            for (int taken = 0;
                 taken < PullBudget && (n = Recv(m_socket, scratch, sizeof scratch)) > 0;
                 taken += n) {
                if (!m_tlsOver)
                    m_tlsOver = !feed(scratch, n);
            }
            return;
        }
        if (message.Msg == WM_TIMER || message.Msg == TAsyncSocket::WM_SOCKETEVENT)
            finish();
    }

private:
    // False once the channel reads nothing more.
    bool feed(const char* data, int length) {
        m_tls->Feed(data, length);
        char plain[16384];
        for (;;) {
            const TlsChannel::Status state = m_tls->Read(plain, sizeof plain).State;
            if (state == TlsChannel::Status::NeedInput)
                return true;
            if (state != TlsChannel::Status::Data)
                return false;
        }
    }

    void finish() {
        if (m_socket == INVALID_SOCKET)
            return;
        KillTimer(1);
        AsyncSelect(m_socket, nullptr, 0, 0);
        CloseSocket(m_socket);
        m_socket = INVALID_SOCKET;
        deleteLater();
    }

    SOCKET m_socket;
    std::unique_ptr<TlsChannel> m_tls;
    bool m_tlsOver = false;
};

} // namespace

void TAsyncSocket::StartTls(std::shared_ptr<TlsChannel::Context> context, const QString& host,
                            const QByteArray& pin, const TAsyncSocket* resumeFrom) {
    ++m_tlsGeneration;
    m_tlsFlushPosted = false;
    m_tlsError.clear();
    m_tlsSendError = 0;
    m_tlsPeerClosed = false;
    m_tlsWriteWanted = false;
    m_tlsPin = pin;
    m_tls = std::make_unique<TlsChannel>(std::move(context), host,
                                         resumeFrom ? resumeFrom->m_tls.get() : nullptr);
    // A handshake that hangs is bounded like a connect.
    StartTimeout(m_timeOut);
    const SOCKET socket = m_socket;
    continueHandshake();
    // The server's first flight may already be waiting.
    if (m_socket == socket && m_tls && !m_tls->Established())
        postTlsEvent(FD_READ);
}

void TAsyncSocket::postTlsEvent(long event) {
    // Meant for this TLS connection only: a later socket may get the same number.
    const unsigned generation = m_tlsGeneration;
    QTimer::singleShot(0, this, [this, generation, event] {
        if (!m_tls || generation != m_tlsGeneration)
            return;
        Message message{WM_SOCKETEVENT, static_cast<std::uintptr_t>(m_socket), event, 0};
        socketEvent(message);
    });
}

void TAsyncSocket::discardTlsInput() {
    char scratch[4096];
    for (int taken = 0; taken < PullBudget;) {
        const int n = tlsReceive(scratch, sizeof scratch);
        if (n == 0)
            break;
        taken += n;
    }
}

void TAsyncSocket::closeTls() {
    // Data left unread would make the platform reset the connection on close and drop what
    // is still on its way to the peer, the closing alert with it.
    discardTlsInput();
    // The closing alert tells the peer that nothing was cut off.
    m_tls->Shutdown();
    flushTls();
    new LingeringClose(m_socket, std::move(m_tls), m_timeOut); // deletes itself
    endTls();
}

void TAsyncSocket::endTls() {
    ++m_tlsGeneration;
    m_tlsFlushPosted = false;
    m_tlsClosePosted = false;
    m_tls.reset();
    m_tlsSendError = 0;
}

bool TAsyncSocket::flushTls() {
    if (m_tls && !m_tls->Seal()) {
        m_tlsSendError = WSAECONNABORTED;
        return false;
    }
    while (m_tls && !m_tls->Output().isEmpty()) {
        const QByteArray& out = m_tls->Output();
        const int n = winsock::Send(m_socket, out.constData(), static_cast<int>(out.size()));
        if (n <= 0) {
            m_tlsSendError = n == 0 ? WSAEWOULDBLOCK : winsock::LastError();
            return false;
        }
        m_tls->Consume(n);
    }
    return true;
}

void TAsyncSocket::tlsFailed(const QString& reason) {
    stopTimeout();
    m_tlsError = reason;
    m_lastError = TlsFailure;
    if (OnSecured)
        OnSecured(this);
}

void TAsyncSocket::continueHandshake() {
    const SOCKET socket = m_socket;
    bool ended = false;
    char buffer[16384];
    for (int taken = 0; taken < PullBudget;) {
        const int n = winsock::Recv(m_socket, buffer, sizeof buffer);
        if (n > 0) {
            m_tls->Feed(buffer, n);
            taken += n;
            continue;
        }
        if (n == 0) {
            ended = true;
        } else if (winsock::LastError() != WSAEWOULDBLOCK) {
            tlsFailed(QStringLiteral("The connection failed during the TLS handshake "
                                     "(WinSock Error Code: %1)")
                          .arg(winsock::LastError()));
            return;
        }
        break;
    }
    const TlsChannel::Status status = m_tls->Handshake();
    if (!flushTls() && m_tlsSendError != WSAEWOULDBLOCK) {
        tlsFailed(QStringLiteral("The connection failed during the TLS handshake (WinSock Error "
                                 "Code: %1)")
                      .arg(m_tlsSendError));
        return;
    }
    if (status == TlsChannel::Status::Failed) {
        tlsFailed(m_tls->ErrorText());
        return;
    }
    if (status != TlsChannel::Status::Data) {
        if (ended)
            tlsFailed(QStringLiteral("The server closed the connection during the TLS handshake"));
        return;
    }
    if (const QString problem = TlsPeerCheck::Check(m_tls->Handle(), m_tlsPin);
        !problem.isEmpty()) {
        tlsFailed(problem);
        return;
    }
    stopTimeout();
    m_lastError = 0;
    if (OnSecured)
        OnSecured(this);
    if (m_socket != socket || !Secured())
        return;
    // Like a connect: the new connection can take data.
    m_tlsWriteWanted = OutputPending();
    if (!m_tlsWriteWanted && OnWritable)
        OnWritable(this);
    if (m_socket == socket)
        postReadIfBuffered();
}

void TAsyncSocket::postReadIfBuffered() {
    // Records already taken from the platform raise no read message of their own.
    if (m_tls && m_tls->HasBufferedInput() && OnReadable)
        postTlsEvent(FD_READ);
}

void TAsyncSocket::tlsReadable() {
    if (!m_tls->Established()) {
        continueHandshake();
        return;
    }
    if (OnReadable) {
        const SOCKET socket = m_socket;
        OnReadable(this);
        stopTimeout();
        if (m_socket == socket)
            postReadIfBuffered();
        return;
    }
    // Nobody reads here (an upload's data connection): take in what the server sends all the
    // same (session tickets, its closing alert), so that closing the socket stays orderly.
    discardTlsInput();
    stopTimeout();
}

void TAsyncSocket::tlsWritable() {
    if (!flushTls() && m_tlsSendError == WSAEWOULDBLOCK)
        return; // the platform reports again once it has room
    // Records that went out on their own concern nobody: as with a plain socket, the owner
    // hears of room only after a send that would block (a failed flush shows in its next
    // Send).
    if (!std::exchange(m_tlsWriteWanted, false) || !Secured() || !OnWritable)
        return;
    OnWritable(this);
}

bool TAsyncSocket::FlushOutput() {
    if (!m_tls || flushTls())
        return true;
    m_tlsWriteWanted = true;
    return false;
}

int TAsyncSocket::tlsSend(const char* data, int length) {
    const auto wouldBlock = [this] {
        m_tlsWriteWanted = true;
        m_lastError = m_reportWouldBlock ? WSAEWOULDBLOCK : 0;
        return 0;
    };
    if (!m_tlsError.isEmpty()) {
        m_lastError = TlsFailure;
        return 0;
    }
    if (!m_tls->Established())
        return wouldBlock();
    // Records still waiting come first: no more is taken while a full batch waits.
    if (m_tls->Output().size() >= FlushThreshold && !flushTls()) {
        if (m_tlsSendError == WSAEWOULDBLOCK)
            return wouldBlock();
        m_lastError = static_cast<std::int16_t>(m_tlsSendError);
        return 0;
    }
    if (!m_tls->Write(data, length, m_reportWouldBlock)) {
        m_tlsError = m_tls->ErrorText();
        m_lastError = TlsFailure;
        return 0;
    }
    m_lastError = 0;
    // Only a sender that watches for would-block (an upload's data) sends in batches.
    if (m_reportWouldBlock && m_tls->Output().size() < FlushThreshold) {
        postFlush();
        return length;
    }
    // What the platform cannot take now goes out on the next write message.
    if (!flushTls() && m_tlsSendError != WSAEWOULDBLOCK) {
        m_lastError = static_cast<std::int16_t>(m_tlsSendError);
        return 0;
    }
    return length;
}

void TAsyncSocket::postFlush() {
    if (m_tlsFlushPosted)
        return;
    m_tlsFlushPosted = true;
    const unsigned generation = m_tlsGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        if (!m_tls || generation != m_tlsGeneration)
            return;
        m_tlsFlushPosted = false;
        flushTls(); // what must wait goes out on the next write message
    });
}

int TAsyncSocket::tlsReceive(char* buffer, int capacity) {
    if (!m_tlsError.isEmpty()) {
        m_lastError = TlsFailure;
        return 0;
    }
    char raw[16384];
    for (;;) {
        const TlsChannel::ReadResult read = m_tls->Read(buffer, capacity);
        flushTls();
        if (read.State == TlsChannel::Status::Data) {
            m_lastError = 0;
            return read.Bytes;
        }
        if (read.State == TlsChannel::Status::Closed) {
            // Servers that wait for our alert before closing the socket end here.
            m_tlsPeerClosed = true;
            if (!m_tlsClosePosted) {
                m_tlsClosePosted = true;
                postTlsEvent(FD_CLOSE);
            }
            m_lastError = 0;
            return 0;
        }
        if (read.State == TlsChannel::Status::Failed) {
            m_tlsError = m_tls->ErrorText();
            m_lastError = TlsFailure;
            return 0;
        }
        const int n = winsock::Recv(m_socket, raw, sizeof raw);
        if (n <= 0)
            return ioResult(n); // the end of the stream arrives as the close message
        m_tls->Feed(raw, n);
    }
}
