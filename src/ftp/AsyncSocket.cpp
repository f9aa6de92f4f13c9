#include "AsyncSocket.h"

#include <cstring>

using namespace winsock;

class TAsyncSocket::HiddenWindow final : public MessageWindow {
public:
    explicit HiddenWindow(TAsyncSocket* owner) : m_owner(owner) {}

protected:
    void WindowProc(Message& message) override { m_owner->WindowProc(message); }

private:
    TAsyncSocket* m_owner;
};

TAsyncSocket::TAsyncSocket(QObject* owner)
    : QObject(owner), m_window(std::make_unique<HiddenWindow>(this)) {}

MessageWindow* TAsyncSocket::Window() const {
    return m_window.get();
}

TAsyncSocket::~TAsyncSocket() {
    // An open socket is left to the owner; a pending lookup must not write into us later.
    if (m_lookup != 0)
        CancelAsyncRequest(m_lookup);
    if (m_socket != INVALID_SOCKET)
        AsyncSelect(m_socket, nullptr, 0, 0);
    m_socket = INVALID_SOCKET;
}

void TAsyncSocket::OpenSocket() {
    if (m_socket == INVALID_SOCKET)
        m_socket = Socket();
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
}

void TAsyncSocket::ResetSocket() {
    endTls();
    CloseSocket(m_socket);
    m_socket = INVALID_SOCKET;
    OpenSocket();
}

void TAsyncSocket::SetAddress(const QString& dotted) {
    m_address = dotted;
    m_remote.Address = InetAddr(dotted.toLatin1().constData());
}

void TAsyncSocket::SetPort(std::uint16_t port) {
    m_port = port;
    m_remote.Port = Htons(port);
}

void TAsyncSocket::UseResolvedAddress() {
    m_remote.Address = m_resolved;
}

QString TAsyncSocket::AddressText() const {
    char text[16];
    InetNtoa(m_remote.Address, text);
    return QString::fromLatin1(text);
}

void TAsyncSocket::SetServer(const QString& server) {
    m_server = server;
}

void TAsyncSocket::Lookup(const QString& hostName) {
    if (m_lookup != 0)
        return;
    const QByteArray name = hostName.toLocal8Bit();
    if (name.size() >= HostNameBufferSize) {
        // Too long for any resolver; refused rather than truncated.
        m_lastError = WSAHOST_NOT_FOUND;
        return;
    }
    std::memcpy(m_hostNameBuffer, name.constData(), static_cast<std::size_t>(name.size()));
    m_hostNameBuffer[name.size()] = '\0';
    m_lookup = AsyncGetHostByName(m_window.get(), WM_LOOKUPDONE, m_hostNameBuffer, m_lookupBuffer,
                                  MAXGETHOSTSTRUCT);
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    if (m_lastError == 0)
        StartTimeout(m_timeOut);
}

void TAsyncSocket::Connect() {
    AsyncSelect(m_socket, m_window.get(), WM_SOCKETEVENT,
                FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
    m_lastError = 0;
    if (winsock::Connect(m_socket, m_remote) == SOCKET_ERROR) {
        m_lastError = static_cast<std::int16_t>(winsock::LastError());
        if (!m_reportWouldBlock && m_lastError == WSAEWOULDBLOCK)
            m_lastError = 0;
    }
    if (m_lastError == 0)
        StartTimeout(m_timeOut);
}

void TAsyncSocket::Listen() {
    Bind(m_socket, m_remote);
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    if (m_lastError != 0)
        return;
    AsyncSelect(m_socket, m_window.get(), WM_SOCKETEVENT, FD_ACCEPT);
    winsock::Listen(m_socket, 2);
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
}

void TAsyncSocket::AcceptConnection(TAsyncSocket* listener) {
    endTls();
    m_socket = Accept(listener->m_socket, &m_remote);
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    if (m_lastError == 0) {
        m_connected = true;
        AsyncSelect(m_socket, m_window.get(), WM_SOCKETEVENT, FD_READ | FD_WRITE | FD_CLOSE);
    }
}

void TAsyncSocket::Disconnect() {
    if (m_lookup != 0) {
        CancelAsyncRequest(m_lookup);
        m_lookup = 0;
    }
    stopTimeout();
    if (m_socket == INVALID_SOCKET)
        return;
    if (Secured()) {
        closeTls();
        m_lastError = 0;
    } else {
        endTls();
        AsyncSelect(m_socket, m_window.get(), WM_SOCKETEVENT, FD_CLOSE);
        CloseSocket(m_socket);
        m_lastError = static_cast<std::int16_t>(winsock::LastError());
    }
    m_socket = INVALID_SOCKET;
    m_connected = false;
    if (OnClosed)
        OnClosed(this);
}

int TAsyncSocket::Send(const char* data, int length) {
    if (m_tls)
        return tlsSend(data, length);
    return ioResult(winsock::Send(m_socket, data, length));
}

int TAsyncSocket::Receive(char* buffer, int capacity) {
    if (m_tls)
        return tlsReceive(buffer, capacity);
    return ioResult(Recv(m_socket, buffer, capacity));
}

int TAsyncSocket::ioResult(int n) {
    if (n > 0) {
        m_lastError = 0;
        return n;
    }
    if (n == 0)
        return 0;
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    if (!m_reportWouldBlock && m_lastError == WSAEWOULDBLOCK)
        m_lastError = 0;
    return 0;
}

QString TAsyncSocket::LocalAddress() {
    if (m_socket == INVALID_SOCKET)
        return {};
    SockAddrIn local;
    const bool ok = GetSockName(m_socket, &local) == 0;
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    if (!ok)
        return {};
    char text[16];
    InetNtoa(local.Address, text);
    return QString::fromLatin1(text);
}

std::uint16_t TAsyncSocket::LocalPort() {
    if (m_socket == INVALID_SOCKET)
        return 0;
    SockAddrIn local;
    const bool ok = GetSockName(m_socket, &local) == 0;
    m_lastError = static_cast<std::int16_t>(winsock::LastError());
    return ok ? Ntohs(local.Port) : 0;
}

void TAsyncSocket::StartTimeout(int seconds) {
    if (m_timer != 0) {
        m_window->KillTimer(m_timer);
        m_timer = 0;
    }
    if (seconds > 0) {
        m_countdown = seconds;
        m_window->SetTimer(TimerId, 1000);
        m_timer = TimerId;
    }
}

void TAsyncSocket::LookupDone() {
    if (OnLookupDone)
        OnLookupDone(this);
}

void TAsyncSocket::WindowProc(Message& message) {
    if (message.Msg > WM_SOCKETEVENT && OnOwnerMessage) {
        OnOwnerMessage(message);
        return;
    }
    switch (message.Msg) {
    case WM_QUERYENDSESSION:
        message.Result = 1;
        return;
    case WM_TIMER:
        if (--m_countdown == 0) {
            if (OnTimedOut)
                OnTimedOut(this);
            else
                Disconnect();
        }
        return;
    case WM_LOOKUPDONE:
        lookupFinished(message);
        return;
    case WM_SOCKETEVENT:
        socketEvent(message);
        return;
    default:
        return; // the default procedure does nothing for these
    }
}

void TAsyncSocket::lookupFinished(Message& message) {
    stopTimeout();
    m_lastError =
        static_cast<std::int16_t>((static_cast<std::uint32_t>(message.LParam) >> 16) & 0xFFFF);
    if (m_lastError == 0) {
        HostEntry entry;
        std::memcpy(&entry.AddressCount, m_lookupBuffer, sizeof entry.AddressCount);
        if (entry.AddressCount > 0)
            std::memcpy(&m_resolved, m_lookupBuffer + sizeof entry.AddressCount, sizeof m_resolved);
    }
    m_lookup = 0;
    LookupDone();
}

void TAsyncSocket::socketEvent(Message& message) {
    const auto lParam = static_cast<std::uint32_t>(message.LParam);
    const long event = static_cast<long>(lParam & 0xFFFF);
    if (static_cast<SOCKET>(message.WParam) != m_socket)
        return; // a socket this object has already let go
    m_lastError = static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
    switch (event) {
    case FD_READ:
        if (m_tls) {
            tlsReadable();
            break;
        }
        if (OnReadable)
            OnReadable(this);
        stopTimeout();
        break;
    case FD_WRITE:
        if (m_tls) {
            tlsWritable();
            break;
        }
        if (OnWritable)
            OnWritable(this);
        break;
    case FD_ACCEPT:
        if (OnAcceptReady)
            OnAcceptReady(this);
        break;
    case FD_CONNECT:
        m_connected = m_lastError == 0;
        stopTimeout();
        if (OnConnected)
            OnConnected(this);
        break;
    case FD_CLOSE: {
        const SOCKET closing = m_socket;
        if (m_tls && !m_tls->Established() && m_tlsError.isEmpty()) {
            // Whatever the handshake still had to read, then its end.
            continueHandshake();
            if (m_socket != closing)
                return;
        }
        if (m_connected) {
            if (OnReadable)
                OnReadable(this);
            if (OnWritable)
                OnWritable(this);
            // A hook that disconnected (and so ran OnClosed) or replaced the socket ends it.
            if (m_socket != closing)
                return;
            if (Secured()) {
                // Our closing alert answers the peer's.
                m_tls->Shutdown();
                flushTls();
            }
            Shutdown(m_socket);
        }
        endTls();
        CloseSocket(m_socket);
        m_connected = false;
        m_socket = INVALID_SOCKET;
        if (OnClosed)
            OnClosed(this);
        break;
    }
    default:
        break;
    }
}
