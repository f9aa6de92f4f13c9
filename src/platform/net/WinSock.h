#pragma once

#include <cstdint>
#include <functional>

class MessageWindow;

// Non-blocking IPv4 TCP sockets whose readiness is reported to a MessageWindow the way
// the asynchronous select of Windows Sockets reports it, and an asynchronous by-name
// lookup. Every call runs on the thread that owns the windows; calls that fail return
// SOCKET_ERROR (or INVALID_SOCKET) and leave the reason in LastError() as a Winsock code.
namespace winsock {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// Event bits of the socket message: the low word of LParam is one of these.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

constexpr int WSAEACCES = 10013;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// The largest host entry a lookup writes (the platform's MAXGETHOSTSTRUCT).
constexpr int MAXGETHOSTSTRUCT = 1024;

constexpr std::uint32_t INADDR_ANY_VALUE = 0;
constexpr std::uint32_t INADDR_NONE_VALUE = 0xFFFFFFFFu;

// An IPv4 endpoint; address and port in network byte order, as the platform keeps them.
struct SockAddrIn {
    std::uint32_t Address = 0;
    std::uint16_t Port = 0;
};

// The host entry a finished lookup leaves in the caller's buffer: the addresses in
// network order, AddressCount of them.
struct HostEntry {
    std::uint32_t AddressCount = 0;
    std::uint32_t Addresses[(MAXGETHOSTSTRUCT - sizeof(std::uint32_t)) / sizeof(std::uint32_t)];
};
static_assert(sizeof(HostEntry) <= MAXGETHOSTSTRUCT);

// Test seam: sees the socket and the length of every send asked of the platform.
using SendObserver = std::function<void(SOCKET s, int length)>;
void SetSendObserver(SendObserver observer);

int LastError();
void SetLastError(int code);
// errno value -> Winsock code.
int TranslateErrno(int error);

SOCKET Socket();
int CloseSocket(SOCKET s);
// Readiness of s arrives as message msg on window: WParam the socket, LParam the event in
// the low word and its error in the high word. mask 0 stops the messages.
int AsyncSelect(SOCKET s, MessageWindow* window, unsigned msg, long mask);
int Connect(SOCKET s, const SockAddrIn& to);
int Bind(SOCKET s, const SockAddrIn& local);
int Listen(SOCKET s, int backlog);
SOCKET Accept(SOCKET s, SockAddrIn* peer);
int Send(SOCKET s, const char* data, int length);
int Recv(SOCKET s, char* buffer, int capacity);
int Shutdown(SOCKET s);     // both directions
int ShutdownSend(SOCKET s); // sending only: the peer sees the end, reading goes on
int GetSockName(SOCKET s, SockAddrIn* local);

std::uint32_t InetAddr(const char* dotted); // INADDR_NONE_VALUE when it does not parse
void InetNtoa(std::uint32_t address, char out[16]);
std::uint16_t Htons(std::uint16_t v);
std::uint16_t Ntohs(std::uint16_t v);

using LookupHandle = std::uintptr_t; // 0 = no lookup

// Starts a lookup of name; when it ends, buffer holds a HostEntry and msg reaches window
// with WParam the handle and LParam the buffer length in the low word and the error
// (WSAHOST_NOT_FOUND..WSANO_DATA, 0 on success) in the high word. Returns 0 on failure.
LookupHandle AsyncGetHostByName(MessageWindow* window, unsigned msg, const char* name, char* buffer,
                                int bufferLength);
// A cancelled lookup sends no message.
int CancelAsyncRequest(LookupHandle handle);

} // namespace winsock
