#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

struct ssl_st;

// Whether the server at the other end of a TLS connection is the one the user meant: its
// certificate chains to one of the system's authorities and names the host, or it is the
// very certificate whose SHA-256 fingerprint the user pinned. Nothing else is accepted.
namespace TlsPeerCheck {

// The 32 bytes of a fingerprint written in hex, with or without colons, in either case,
// also as openssl prints it ("sha256 Fingerprint=AB:CD:..."); nothing for anything else.
std::optional<QByteArray> ParseFingerprint(const QString& text);
// "AB:CD:..." for 32 bytes.
QString FingerprintText(const QByteArray& digest);

// Before the handshake: the host name or dotted address the certificate must name.
void Prepare(ssl_st* ssl, const QString& host);
// After the handshake: empty when the peer is accepted, else why not (with the
// certificate's fingerprint, so that a user who trusts it can pin it). pin empty: no pin.
QString Check(ssl_st* ssl, const QByteArray& pin);

} // namespace TlsPeerCheck
