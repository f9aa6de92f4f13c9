#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>

struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

// The client side of one TLS connection, without a socket: ciphertext from the peer goes in
// through Feed, ciphertext for the peer comes out through Output/Consume, plaintext through
// Write and Read. Memory buffers on both sides let the owner keep its own non-blocking
// socket and its own readiness messages.
class TlsChannel {
public:
    // The settings every connection of one FTP session shares: the system's certificate
    // authorities and the cache that lets data connections resume the control session.
    class Context {
    public:
        // Null, with the reason in error, when the library cannot make one.
        static std::shared_ptr<Context> Create(QString* error);
        ~Context();
        Context(const Context&) = delete;
        Context& operator=(const Context&) = delete;
        ssl_ctx_st* Handle() const { return m_ctx; }
        // The newest session ticket not yet offered (owned by the caller), or null. A TLS 1.3
        // server may take each ticket only once, so every connection offers a fresh one.
        ssl_session_st* TakeSession();

    private:
        explicit Context(ssl_ctx_st* ctx) : m_ctx(ctx) {}
        static int newSession(ssl_st* ssl, ssl_session_st* session);
        ssl_ctx_st* m_ctx;
        std::deque<ssl_session_st*> m_sessions;
    };

    enum class Status { Data, NeedInput, Closed, Failed };
    struct ReadResult {
        int Bytes = 0;
        Status State = Status::NeedInput;
    };

    // host names the server for SNI (a dotted address sends none); resumeFrom, when given,
    // makes this connection resume the TLS session of that one: with a ticket of the
    // context that no connection has offered yet, else with resumeFrom's own session.
    TlsChannel(std::shared_ptr<Context> context, const QString& host, const TlsChannel* resumeFrom);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Runs the handshake as far as the input allows: Data when it is complete.
    Status Handshake();
    bool Established() const { return m_established; }
    void Feed(const char* data, int length);
    // Plaintext in; false (ErrorText set) when the connection is broken. A batch write may
    // wait for more to fill a whole record (Seal sends what waits): a peer that gets a
    // record per small write has to take each apart on its own.
    bool Write(const char* data, int length, bool batch = false);
    bool Seal();
    bool HasPendingPlaintext() const { return !m_plain.isEmpty(); }
    ReadResult Read(char* buffer, int capacity);
    // Queues the closing alert.
    void Shutdown();
    // Input taken in but not yet handed out by Read.
    bool HasBufferedInput() const;
    // Ciphertext waiting for the socket.
    const QByteArray& Output() const { return m_output; }
    void Consume(int length) { m_output.remove(0, length); }
    bool PeerClosed() const { return m_peerClosed; }
    bool Resumed() const;
    // "TLSv1.3" and the like.
    QString Protocol() const;
    QString ErrorText() const { return m_error; }
    ssl_st* Handle() const { return m_ssl; }

private:
    void collectOutput();
    Status failure(int result, const char* what);

    std::shared_ptr<Context> m_context;
    ssl_st* m_ssl = nullptr;
    bool m_established = false;
    bool m_peerClosed = false;
    QByteArray m_output;
    QByteArray m_plain;
    QString m_error;
};
