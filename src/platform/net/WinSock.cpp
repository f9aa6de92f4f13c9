#include "WinSock.h"

#include "MessageWindow.h"

#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace winsock {

namespace {

int s_lastError = 0;
SendObserver s_sendObserver;

std::intptr_t makeLParam(long event, int error) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(error & 0xFFFF) << 16) |
                                      static_cast<std::uint32_t>(event & 0xFFFF));
}

int fail(int error) {
    s_lastError = TranslateErrno(error);
    return SOCKET_ERROR;
}

// The readiness state of one socket. A notifier is enabled only while its event may be
// reported, which gives the one-shot behaviour of the asynchronous select: FD_READ again
// only after a receive, FD_WRITE again only after a send that would block.
class SocketState final : public QObject {
public:
    explicit SocketState(SOCKET s)
        : m_socket(s), m_read(s, QSocketNotifier::Read), m_write(s, QSocketNotifier::Write) {
        m_read.setEnabled(false);
        m_write.setEnabled(false);
        connect(&m_read, &QSocketNotifier::activated, this, [this] { onReadable(); });
        connect(&m_write, &QSocketNotifier::activated, this, [this] { onWritable(); });
    }

    void select(MessageWindow* window, unsigned msg, long mask) {
        m_window = window;
        m_msg = msg;
        m_mask = window ? mask : 0;
        // Asking for FD_WRITE on a connected socket reports it once it can take data.
        m_writeArmed = (m_mask & FD_WRITE) && m_connected;
        m_readArmed = true;
        update();
    }

    void connecting() {
        m_connecting = true;
        update();
    }
    void connectedAtOnce() {
        // Still reported through the message, like every connect.
        m_connecting = true;
        update();
    }
    void listening() {
        m_listening = true;
        update();
    }
    void accepted() {
        m_connected = true;
        m_readArmed = true;
        update();
    }
    void afterReceive() {
        m_readArmed = true;
        update();
    }
    void afterBlockedSend() {
        m_writeArmed = true;
        update();
    }
    void afterAccept() {
        m_readArmed = true;
        update();
    }
    void closing() {
        m_closed = true;
        m_read.setEnabled(false);
        m_write.setEnabled(false);
    }

private:
    void update() {
        if (m_closed)
            return;
        // A socket that never connected has nothing to read and no peer to close.
        const bool wantRead = m_readArmed && (m_connected || m_listening) && !m_peerClosed &&
                              (m_mask & (FD_READ | FD_CLOSE | FD_ACCEPT));
        const bool wantWrite =
            m_connecting ? (m_mask & FD_CONNECT) != 0 : (m_writeArmed && (m_mask & FD_WRITE));
        if (m_read.isEnabled() != wantRead)
            m_read.setEnabled(wantRead);
        if (m_write.isEnabled() != wantWrite)
            m_write.setEnabled(wantWrite);
    }

    void deliver(long event, int error) {
        QPointer<MessageWindow> window = m_window;
        if (window)
            window->Send(m_msg, static_cast<std::uintptr_t>(m_socket), makeLParam(event, error));
    }

    void onReadable() {
        m_read.setEnabled(false);
        m_readArmed = false;
        if (m_listening) {
            if (m_mask & FD_ACCEPT)
                deliver(FD_ACCEPT, 0);
            return;
        }
        char probe;
        const ssize_t n = ::recv(m_socket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            if (m_mask & FD_READ)
                deliver(FD_READ, 0);
            return;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            m_readArmed = true;
            update();
            return;
        }
        // End of stream or a reset: everything before it has been offered as FD_READ.
        const int error = n == 0 ? 0 : TranslateErrno(errno);
        m_peerClosed = true;
        if (m_mask & FD_CLOSE)
            deliver(FD_CLOSE, error);
    }

    void onWritable() {
        m_write.setEnabled(false);
        if (m_connecting) {
            m_connecting = false;
            int soError = 0;
            socklen_t len = sizeof soError;
            if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
                soError = errno;
            m_connected = soError == 0;
            m_writeArmed = m_connected;
            m_peerClosed = !m_connected; // a failed connect reports nothing more
            m_readArmed = true;
            QPointer<SocketState> self(this);
            deliver(FD_CONNECT, soError == 0 ? 0 : TranslateErrno(soError));
            if (self && m_connected)
                update();
            return;
        }
        m_writeArmed = false;
        if (m_mask & FD_WRITE)
            deliver(FD_WRITE, 0);
    }

    SOCKET m_socket;
    QSocketNotifier m_read;
    QSocketNotifier m_write;
    QPointer<MessageWindow> m_window;
    unsigned m_msg = 0;
    long m_mask = 0;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_listening = false;
    bool m_readArmed = true;
    bool m_writeArmed = false;
    bool m_peerClosed = false;
    bool m_closed = false;
};

QHash<SOCKET, SocketState*>& sockets() {
    static QHash<SOCKET, SocketState*> table;
    return table;
}

SocketState* stateOf(SOCKET s) {
    return sockets().value(s, nullptr);
}

SOCKET adopt(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    sockets().insert(fd, new SocketState(fd));
    return fd;
}

sockaddr_in toPlatform(const SockAddrIn& a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = a.Address;
    sa.sin_port = a.Port;
    return sa;
}

} // namespace

void SetSendObserver(SendObserver observer) {
    s_sendObserver = std::move(observer);
}

int LastError() {
    return s_lastError;
}

void SetLastError(int code) {
    s_lastError = code;
}

int TranslateErrno(int error) {
    switch (error) {
    case 0:
        return 0;
    case EWOULDBLOCK:
    case EINPROGRESS:
    case EALREADY:
        return WSAEWOULDBLOCK;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETRESET:
        return WSAENETRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EBADF:
    case ENOTSOCK:
        return WSAENOTSOCK;
    case ENOTCONN:
        return WSAENOTCONN;
    case EISCONN:
        return WSAEISCONN;
    default:
        return WSAEINVAL;
    }
}

SOCKET Socket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        fail(errno);
        return INVALID_SOCKET;
    }
    s_lastError = 0;
    return adopt(fd);
}

int CloseSocket(SOCKET s) {
    SocketState* state = sockets().take(s);
    if (!state)
        return fail(EBADF);
    state->closing();
    // The state may be the one whose notifier is reporting right now.
    state->deleteLater();
    if (::close(s) != 0)
        return fail(errno);
    s_lastError = 0;
    return 0;
}

int AsyncSelect(SOCKET s, MessageWindow* window, unsigned msg, long mask) {
    SocketState* state = stateOf(s);
    if (!state)
        return fail(ENOTSOCK);
    state->select(window, msg, mask);
    s_lastError = 0;
    return 0;
}

int Connect(SOCKET s, const SockAddrIn& to) {
    SocketState* state = stateOf(s);
    if (!state)
        return fail(ENOTSOCK);
    const sockaddr_in sa = toPlatform(to);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
        state->connectedAtOnce();
        s_lastError = 0;
        return 0;
    }
    const int error = errno;
    if (error == EINPROGRESS)
        state->connecting();
    return fail(error);
}

int Bind(SOCKET s, const SockAddrIn& local) {
    if (!stateOf(s))
        return fail(ENOTSOCK);
    const sockaddr_in sa = toPlatform(local);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        return fail(errno);
    s_lastError = 0;
    return 0;
}

int Listen(SOCKET s, int backlog) {
    SocketState* state = stateOf(s);
    if (!state)
        return fail(ENOTSOCK);
    if (::listen(s, backlog) != 0)
        return fail(errno);
    state->listening();
    s_lastError = 0;
    return 0;
}

SOCKET Accept(SOCKET s, SockAddrIn* peer) {
    SocketState* state = stateOf(s);
    if (!state) {
        fail(ENOTSOCK);
        return INVALID_SOCKET;
    }
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int fd = ::accept(s, reinterpret_cast<sockaddr*>(&sa), &len);
    state->afterAccept();
    if (fd < 0) {
        fail(errno);
        return INVALID_SOCKET;
    }
    if (peer) {
        peer->Address = sa.sin_addr.s_addr;
        peer->Port = sa.sin_port;
    }
    adopt(fd);
    stateOf(fd)->accepted();
    s_lastError = 0;
    return fd;
}

int Send(SOCKET s, const char* data, int length) {
    SocketState* state = stateOf(s);
    if (!state)
        return fail(ENOTSOCK);
    if (s_sendObserver)
        s_sendObserver(s, length);
    const ssize_t n = ::send(s, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            state->afterBlockedSend();
        return fail(error);
    }
    s_lastError = 0;
    return static_cast<int>(n);
}

int Recv(SOCKET s, char* buffer, int capacity) {
    SocketState* state = stateOf(s);
    if (!state)
        return fail(ENOTSOCK);
    const ssize_t n = ::recv(s, buffer, static_cast<size_t>(capacity), 0);
    const int error = errno;
    state->afterReceive();
    if (n < 0)
        return fail(error);
    s_lastError = 0;
    return static_cast<int>(n);
}

namespace {

int shutdownSocket(SOCKET s, int how) {
    if (!stateOf(s))
        return fail(ENOTSOCK);
    if (::shutdown(s, how) != 0)
        return fail(errno);
    s_lastError = 0;
    return 0;
}

} // namespace

int Shutdown(SOCKET s) {
    return shutdownSocket(s, SHUT_RDWR);
}

int ShutdownSend(SOCKET s) {
    return shutdownSocket(s, SHUT_WR);
}

int GetSockName(SOCKET s, SockAddrIn* local) {
    if (!stateOf(s))
        return fail(ENOTSOCK);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return fail(errno);
    local->Address = sa.sin_addr.s_addr;
    local->Port = sa.sin_port;
    s_lastError = 0;
    return 0;
}

std::uint32_t InetAddr(const char* dotted) {
    in_addr a{};
    if (!dotted || ::inet_pton(AF_INET, dotted, &a) != 1)
        return INADDR_NONE_VALUE;
    return a.s_addr;
}

void InetNtoa(std::uint32_t address, char out[16]) {
    in_addr a{};
    a.s_addr = address;
    if (!::inet_ntop(AF_INET, &a, out, 16))
        out[0] = '\0';
}

std::uint16_t Htons(std::uint16_t v) {
    return htons(v);
}

std::uint16_t Ntohs(std::uint16_t v) {
    return ntohs(v);
}

} // namespace winsock
