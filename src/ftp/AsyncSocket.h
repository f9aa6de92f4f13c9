#pragma once

#include "MessageWindow.h"
#include "TlsChannel.h"
#include "WinSock.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TAsyncSocket;

// Hooks of a TAsyncSocket: set by its owner, each run only when set.
using TSocketHook = std::function<void(TAsyncSocket* sender)>;
using TOwnerMessageHook = std::function<void(Message& message)>;

// One IPv4 TCP socket in asynchronous, message-driven mode. It never blocks: lookup,
// connect, accept, readiness and the peer's close arrive as messages on a hidden window
// and become calls of the hooks. Failures are left in LastError() for the owner to check.
class TAsyncSocket : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAsyncSocket)

public:
    static constexpr unsigned WM_LOOKUPDONE = WM_USER;
    static constexpr unsigned WM_SOCKETEVENT = WM_USER + 1;
    static constexpr unsigned WM_QUERYENDSESSION = 0x0011;
    static constexpr std::uintptr_t TimerId = 1;
    // Room for host names of 255 characters; longer ones are refused.
    static constexpr int HostNameBufferSize = 256;
    // LastError() of a TLS handshake, certificate or record that failed; TlsError() says why.
    static constexpr int TlsFailure = 20000;

    explicit TAsyncSocket(QObject* owner = nullptr);
    ~TAsyncSocket() override;

    void OpenSocket();
    void ResetSocket();
    void SetAddress(const QString& dotted);
    void SetPort(std::uint16_t port);
    void UseResolvedAddress();
    QString AddressText() const;
    void Lookup(const QString& hostName);
    void Connect();
    void Listen();
    void AcceptConnection(TAsyncSocket* listener);
    void Disconnect();
    int Send(const char* data, int length);
    int Receive(char* buffer, int capacity);
    QString LocalAddress();
    std::uint16_t LocalPort();
    void StartTimeout(int seconds);
    // Turns the connected socket into the client side of TLS. OnSecured follows once the
    // handshake has ended and the peer's certificate has been judged (host: the name or
    // address it must carry; pin: the SHA-256 of the one certificate accepted instead, or
    // empty). From then on Send and Receive carry plaintext and the hooks see the TLS
    // connection: OnWritable once it is up and after a send that would block, OnReadable
    // while plaintext can be read. resumeFrom offers the session of another secured socket.
    void StartTls(std::shared_ptr<TlsChannel::Context> context, const QString& host,
                  const QByteArray& pin, const TAsyncSocket* resumeFrom);
    bool Secured() const { return m_tls && m_tls->Established() && m_tlsError.isEmpty(); }
    bool TlsResumed() const { return m_tls && m_tls->Resumed(); }
    // The peer ended the last TLS connection with its closing alert, not just by closing the
    // socket (which anyone on the path can fake); kept after the close until the next start.
    bool TlsPeerClosed() const { return m_tlsPeerClosed; }
    QString TlsError() const { return m_tlsError; }
    QString TlsProtocol() const { return m_tls ? m_tls->Protocol() : QString(); }
    // Sent data the platform has not taken yet (TLS records waiting for room).
    bool OutputPending() const {
        return m_tls && (!m_tls->Output().isEmpty() || m_tls->HasPendingPlaintext());
    }
    // Gives the platform what is pending; false when some must wait, and then OnWritable
    // follows once it is out, like after a send that would block.
    bool FlushOutput();

    bool Connected() const { return m_connected; }
    int LastError() const { return m_lastError; }
    void SetLastError(int code) { m_lastError = static_cast<std::int16_t>(code); }
    bool ReportWouldBlock() const { return m_reportWouldBlock; }
    void SetReportWouldBlock(bool on) { m_reportWouldBlock = on; }
    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int seconds) { m_timeOut = seconds; }
    QString Address() const { return m_address; }
    QString HostName() const { return m_hostName; }
    void SetHostName(const QString& name) { m_hostName = name; }
    QString Server() const { return m_server; }
    virtual void SetServer(const QString& server);
    std::uint16_t Port() const { return m_port; }
    bool HasSocket() const { return m_socket != winsock::INVALID_SOCKET; }
    bool LookupPending() const { return m_lookup != 0; }
    int Countdown() const { return m_countdown; }

    TOwnerMessageHook OnOwnerMessage;
    TSocketHook OnLookupDone;
    TSocketHook OnConnected;
    TSocketHook OnClosed;
    TSocketHook OnTimedOut;
    TSocketHook OnReadable;
    TSocketHook OnWritable;
    TSocketHook OnAcceptReady;
    TSocketHook OnSecured;

protected:
    virtual void LookupDone();
    // The hidden window's procedure.
    void WindowProc(Message& message);
    MessageWindow* Window() const;
    void SetAddressOnly(const QString& dotted) { m_address = dotted; }

private:
    // The byte count of a send or receive; 0 with LastError set on failure.
    int ioResult(int n);
    class HiddenWindow;

    void socketEvent(Message& message);
    void lookupFinished(Message& message);
    void stopTimeout() { StartTimeout(0); }
    // TLS (AsyncSocketTls.cpp).
    int tlsSend(const char* data, int length);
    int tlsReceive(char* buffer, int capacity);
    void discardTlsInput();
    // Gives the platform what TLS has to send; false while some must wait (LastError
    // untouched) or on a failure (m_tlsSendError set).
    bool flushTls();
    void tlsReadable();
    void tlsWritable();
    void continueHandshake();
    void tlsFailed(const QString& reason);
    void postReadIfBuffered();
    // The event, for this TLS connection, from the event loop.
    void postTlsEvent(long event);
    // Hands the gathered records to the platform from the event loop.
    void postFlush();
    void endTls();
    // Sends the closing alert after taking in what the peer sent, and lets the socket go.
    void closeTls();

    std::unique_ptr<TlsChannel> m_tls;
    QString m_tlsHost;
    QByteArray m_tlsPin;
    QString m_tlsError;
    int m_tlsSendError = 0;
    bool m_tlsClosePosted = false;
    bool m_tlsPeerClosed = false;
    unsigned m_tlsGeneration = 0;
    bool m_tlsFlushPosted = false;
    // The owner was told that a send would block and waits for OnWritable.
    bool m_tlsWriteWanted = false;

    std::unique_ptr<HiddenWindow> m_window;
    winsock::SOCKET m_socket = winsock::INVALID_SOCKET;
    winsock::SockAddrIn m_remote;
    bool m_connected = false;
    std::uint32_t m_resolved = 0;
    winsock::LookupHandle m_lookup = 0;
    int m_timeOut = 20;
    int m_countdown = 0;
    std::uintptr_t m_timer = 0;
    char m_hostNameBuffer[HostNameBufferSize] = {};
    alignas(std::uint32_t) char m_lookupBuffer[winsock::MAXGETHOSTSTRUCT] = {};
    QString m_address;
    QString m_hostName;
    QString m_server;
    std::uint16_t m_port = 0;
    std::int16_t m_lastError = 0;
    bool m_reportWouldBlock = false;
};
