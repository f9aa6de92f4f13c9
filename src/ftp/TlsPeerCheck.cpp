#include "TlsPeerCheck.h"

#include <QHostAddress>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace TlsPeerCheck {

std::optional<QByteArray> ParseFingerprint(const QString& text) {
    QString hex = text.trimmed();
    // What openssl prints puts the digest's name before an equals sign.
    if (const qsizetype equals = hex.lastIndexOf(QLatin1Char('=')); equals >= 0)
        hex = hex.mid(equals + 1).trimmed();
    hex.remove(QLatin1Char(':'));
    if (hex.size() != 64)
        return std::nullopt;
    // Latin hex digits only: digits of other scripts count as digits to QChar, not to fromHex.
    for (const QChar c : hex) {
        const char16_t u = c.unicode();
        if (!(u >= u'0' && u <= u'9') && !(u >= u'a' && u <= u'f') && !(u >= u'A' && u <= u'F'))
            return std::nullopt;
    }
    return QByteArray::fromHex(hex.toLatin1());
}

QString FingerprintText(const QByteArray& digest) {
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

void Prepare(ssl_st* ssl, const QString& host) {
    if (host.isEmpty())
        return;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    const QByteArray name = host.toUtf8();
    if (QHostAddress address; address.setAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, name.constData());
        return;
    }
    SSL_set_tlsext_host_name(ssl, name.constData());
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    X509_VERIFY_PARAM_set1_host(param, name.constData(), static_cast<size_t>(name.size()));
}

QString Check(ssl_st* ssl, const QByteArray& pin) {
    X509* certificate = SSL_get1_peer_certificate(ssl);
    if (!certificate)
        return QStringLiteral("The server showed no certificate");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool digested = X509_digest(certificate, EVP_sha256(), digest, &length) == 1;
    X509_free(certificate);
    if (!digested)
        return QStringLiteral("The server's certificate cannot be read");
    const QByteArray fingerprint(reinterpret_cast<const char*>(digest), static_cast<int>(length));
    const QString shown = FingerprintText(fingerprint);
    if (!pin.isEmpty()) {
        // A pin names exactly one certificate: any other is refused, even a valid one.
        if (fingerprint == pin)
            return {};
        return QStringLiteral("The server's certificate (SHA-256 %1) is not the pinned one (%2)")
            .arg(shown, FingerprintText(pin));
    }
    const long verdict = SSL_get_verify_result(ssl);
    if (verdict == X509_V_OK)
        return {};
    return QStringLiteral("The server's certificate is not trusted: %1 (SHA-256 %2)")
        .arg(QString::fromLatin1(X509_verify_cert_error_string(verdict)), shown);
}

} // namespace TlsPeerCheck
