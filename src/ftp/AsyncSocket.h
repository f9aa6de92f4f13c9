#pragma once

#include "MessageWindow.h"
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
