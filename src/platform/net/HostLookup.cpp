#include "MessageWindow.h"
#include "WinSock.h"

#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <arpa/inet.h>
#include <cstring>

namespace winsock {

namespace {

struct PendingLookup {
    int QtId = -1;
    QPointer<MessageWindow> Window;
    unsigned Msg = 0;
    char* Buffer = nullptr;
    int BufferLength = 0;
};

QHash<LookupHandle, PendingLookup>& pending() {
    static QHash<LookupHandle, PendingLookup> table;
    return table;
}

LookupHandle s_nextHandle = 0;

int lookupError(const QHostInfo& info, int ipv4Count) {
    switch (info.error()) {
    case QHostInfo::NoError:
        return ipv4Count > 0 ? 0 : WSANO_DATA;
    case QHostInfo::HostNotFound:
        return WSAHOST_NOT_FOUND;
    default:
        // The resolver's transient failures read "temporary" in their text.
        return info.errorString().contains(QLatin1String("emporar"), Qt::CaseInsensitive)
                   ? WSATRY_AGAIN
                   : WSANO_RECOVERY;
    }
}

void finished(LookupHandle handle, const QHostInfo& info) {
    const auto it = pending().find(handle);
    if (it == pending().end())
        return; // cancelled
    const PendingLookup lookup = it.value();
    pending().erase(it);

    HostEntry entry;
    const std::uint32_t capacity = std::min<std::uint32_t>(
        static_cast<std::uint32_t>(std::size(entry.Addresses)),
        static_cast<std::uint32_t>(
            (static_cast<std::size_t>(lookup.BufferLength) - sizeof(std::uint32_t)) /
            sizeof(std::uint32_t)));
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || entry.AddressCount >= capacity)
            continue;
        entry.Addresses[entry.AddressCount++] = htonl(address.toIPv4Address());
    }
    const int error = lookupError(info, static_cast<int>(entry.AddressCount));
    std::memcpy(lookup.Buffer, &entry,
                sizeof(std::uint32_t) + entry.AddressCount * sizeof(std::uint32_t));
    if (lookup.Window) {
        const auto lParam =
            static_cast<std::intptr_t>((static_cast<std::uint32_t>(error & 0xFFFF) << 16) |
                                       static_cast<std::uint32_t>(lookup.BufferLength & 0xFFFF));
        lookup.Window->Send(lookup.Msg, handle, lParam);
    }
}

} // namespace

LookupHandle AsyncGetHostByName(MessageWindow* window, unsigned msg, const char* name, char* buffer,
                                int bufferLength) {
    if (!window || !name || !buffer || bufferLength < static_cast<int>(sizeof(std::uint32_t) * 2)) {
        SetLastError(WSAEINVAL);
        return 0;
    }
    const LookupHandle handle = ++s_nextHandle;
    PendingLookup lookup;
    lookup.Window = window;
    lookup.Msg = msg;
    lookup.Buffer = buffer;
    lookup.BufferLength = bufferLength;
    pending().insert(handle, lookup);
    // The result comes back through the window's thread; a window destroyed before then
    // drops it.
    const int qtId =
        QHostInfo::lookupHost(QString::fromLocal8Bit(name), window,
                              [handle](const QHostInfo& info) { finished(handle, info); });
    const auto it = pending().find(handle);
    if (it != pending().end())
        it->QtId = qtId;
    SetLastError(0);
    return handle;
}

int CancelAsyncRequest(LookupHandle handle) {
    const auto it = pending().find(handle);
    if (it == pending().end()) {
        SetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    if (it->QtId >= 0)
        QHostInfo::abortHostLookup(it->QtId);
    pending().erase(it);
    SetLastError(0);
    return 0;
}

} // namespace winsock
