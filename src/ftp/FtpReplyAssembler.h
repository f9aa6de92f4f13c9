#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Cuts the control connection's bytes into replies, free of sockets: a line ends at LF (a CR
// before it is dropped), a line without a reply code is skipped, a multi-line reply "xyz-" runs to
// the line that starts "xyz ", and neither a line nor a multi-line reply may grow past MaxSize
// bytes.
class FtpReplyAssembler {
public:
    static constexpr int MaxSize = 64 * 1024;

    struct Event {
        // Empty for a reply; the reason when the server sent more than MaxSize.
        QString Error;
        // The reply's last line, the one its code is read from.
        QString Line;
        // Every line of a multi-line reply; empty for a one-line reply.
        QStringList Lines;
    };

    // The bytes of one read that belong to replies: all but NULs.
    static QByteArray Received(const char* buffer, int size);

    void Append(const QByteArray& bytes) { m_leftover += bytes; }
    // The next reply or error the bytes so far hold; nothing until more bytes arrive.
    std::optional<Event> Next();
    void Reset();

private:
    std::optional<Event> line(const QByteArray& rawLine);

    QByteArray m_leftover;
    bool m_multiLine = false;
    QString m_multiLineCode;
    QStringList m_collected;
    qsizetype m_collectedSize = 0;
};
