#include "TlsChannel.h"

#include "TlsPeerCheck.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <utility>

namespace {

// Tickets kept for data connections; a server sends one or two per connection.
constexpr std::size_t MaxSessions = 8;
int s_contextIndex = -1;

QString libraryErrors(const char* what) {
    QString text = QString::fromLatin1(what);
    while (const unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text += QStringLiteral(": ") + QString::fromLatin1(buffer);
    }
    return text;
}

} // namespace

std::shared_ptr<TlsChannel::Context> TlsChannel::Context::Create(QString* error) {
    ERR_clear_error();
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        if (error)
            *error = libraryErrors("TLS is not available");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The system's authorities; the result is judged after the handshake, where the reason
    // can be told and a pinned certificate can stand in for them.
    SSL_CTX_set_default_verify_paths(ctx);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, &Context::newSession);
    if (s_contextIndex < 0)
        s_contextIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    auto context = std::shared_ptr<Context>(new Context(ctx));
    SSL_CTX_set_ex_data(ctx, s_contextIndex, context.get());
    return context;
}

TlsChannel::Context::~Context() {
    for (SSL_SESSION* session : m_sessions)
        SSL_SESSION_free(session);
    SSL_CTX_free(m_ctx);
}

int TlsChannel::Context::newSession(SSL* ssl, SSL_SESSION* session) {
    auto* self = static_cast<Context*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), s_contextIndex));
    if (!self)
        return 0;
    self->m_sessions.push_back(session);
    if (self->m_sessions.size() > MaxSessions) {
        SSL_SESSION_free(self->m_sessions.front());
        self->m_sessions.pop_front();
    }
    return 1; // kept
}

SSL_SESSION* TlsChannel::Context::TakeSession() {
    if (m_sessions.empty())
        return nullptr;
    SSL_SESSION* session = m_sessions.back();
    m_sessions.pop_back();
    return session;
}

TlsChannel::TlsChannel(std::shared_ptr<Context> context, const QString& host,
                       const TlsChannel* resumeFrom)
    : m_context(std::move(context)) {
    ERR_clear_error();
    m_ssl = SSL_new(m_context->Handle());
    if (!m_ssl) {
        m_error = libraryErrors("TLS connection");
        return;
    }
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    // An empty input buffer means "more to come", not the end of the stream.
    BIO_set_mem_eof_return(in, -1);
    SSL_set_bio(m_ssl, in, out);
    SSL_set_connect_state(m_ssl);
    TlsPeerCheck::Prepare(m_ssl, host);
    if (resumeFrom && resumeFrom->m_ssl) {
        SSL_SESSION* session = m_context->TakeSession();
        if (!session)
            session = SSL_get1_session(resumeFrom->m_ssl);
        if (session) {
            SSL_set_session(m_ssl, session);
            SSL_SESSION_free(session);
        }
    }
}

TlsChannel::~TlsChannel() {
    SSL_free(m_ssl);
}

void TlsChannel::collectOutput() {
    BIO* out = SSL_get_wbio(m_ssl);
    char buffer[16384];
    int n = 0;
    while ((n = BIO_read(out, buffer, sizeof buffer)) > 0)
        m_output.append(buffer, n);
}

TlsChannel::Status TlsChannel::failure(int result, const char* what) {
    const int reason = SSL_get_error(m_ssl, result);
    if (reason == SSL_ERROR_WANT_READ)
        return Status::NeedInput;
    if (reason == SSL_ERROR_ZERO_RETURN) {
        m_peerClosed = true;
        return Status::Closed;
    }
    m_error = libraryErrors(what);
    return Status::Failed;
}

TlsChannel::Status TlsChannel::Handshake() {
    if (!m_ssl)
        return Status::Failed;
    if (m_established)
        return Status::Data;
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    collectOutput();
    if (result == 1) {
        m_established = true;
        return Status::Data;
    }
    const Status status = failure(result, "TLS handshake failed");
    // An orderly close in the middle of a handshake is a failed handshake all the same.
    if (status == Status::Closed) {
        m_error = QStringLiteral("The server ended TLS during the handshake");
        return Status::Failed;
    }
    return status;
}

void TlsChannel::Feed(const char* data, int length) {
    if (m_ssl && length > 0)
        BIO_write(SSL_get_rbio(m_ssl), data, length);
}

bool TlsChannel::Write(const char* data, int length, bool batch) {
    if (!m_established)
        return false;
    if (batch) {
        m_plain.append(data, length);
        return m_plain.size() < SSL3_RT_MAX_PLAIN_LENGTH || Seal();
    }
    if (!Seal())
        return false;
    ERR_clear_error();
    // A memory buffer takes every record at once.
    const int result = length > 0 ? SSL_write(m_ssl, data, length) : 1;
    collectOutput();
    if (result > 0)
        return true;
    failure(result, "TLS write failed");
    if (m_error.isEmpty())
        m_error = QStringLiteral("TLS write failed");
    return false;
}

bool TlsChannel::Seal() {
    if (m_plain.isEmpty())
        return true;
    const QByteArray plain = std::exchange(m_plain, {});
    return Write(plain.constData(), static_cast<int>(plain.size()));
}

TlsChannel::ReadResult TlsChannel::Read(char* buffer, int capacity) {
    if (!m_established || m_peerClosed)
        return {0, m_peerClosed ? Status::Closed : Status::NeedInput};
    ERR_clear_error();
    const int result = SSL_read(m_ssl, buffer, capacity);
    // Reading can answer the peer (key updates, alerts).
    collectOutput();
    if (result > 0)
        return {result, Status::Data};
    return {0, failure(result, "TLS read failed")};
}

void TlsChannel::Shutdown() {
    if (!m_established || !m_ssl)
        return;
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    collectOutput();
}

bool TlsChannel::HasBufferedInput() const {
    return m_ssl && !m_peerClosed &&
           (SSL_pending(m_ssl) > 0 || BIO_ctrl_pending(SSL_get_rbio(m_ssl)) > 0);
}

QString TlsChannel::Protocol() const {
    return m_ssl ? QString::fromLatin1(SSL_get_version(m_ssl)) : QString();
}

bool TlsChannel::Resumed() const {
    return m_ssl && SSL_session_reused(m_ssl) == 1;
}
