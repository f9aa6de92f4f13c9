#include "FtpReplyAssembler.h"

#include "FtpReply.h"

QByteArray FtpReplyAssembler::Received(const char* buffer, int size) {
    if (size <= 0)
        return {};
    QByteArray bytes(buffer, size);
    // A NUL byte is no part of a reply; the text after it still is.
    bytes.removeIf([](char c) { return c == '\0'; });
    return bytes;
}

void FtpReplyAssembler::Reset() {
    m_leftover.clear();
    m_multiLine = false;
    m_multiLineCode.clear();
    m_collected.clear();
    m_collectedSize = 0;
}

std::optional<FtpReplyAssembler::Event> FtpReplyAssembler::Next() {
    qsizetype lf;
    while ((lf = m_leftover.indexOf('\n')) >= 0) {
        QByteArray raw = m_leftover.left(lf);
        if (raw.endsWith('\r'))
            raw.chop(1);
        m_leftover.remove(0, lf + 1);
        if (auto event = line(raw))
            return event;
    }
    if (m_leftover.size() > MaxSize) {
        // A server that never ends its line must not make us hold all of it.
        m_leftover.clear();
        return Event{QStringLiteral("Reply line longer than %1 bytes").arg(MaxSize), {}, {}};
    }
    return std::nullopt;
}

std::optional<FtpReplyAssembler::Event> FtpReplyAssembler::line(const QByteArray& rawLine) {
    if (rawLine.isEmpty())
        return std::nullopt;
    const QString text = QString::fromLocal8Bit(rawLine);
    // Outside a multi-line reply, a line without a reply code is stray text, no reply.
    if (!m_multiLine && !FtpReply::IsReplyLine(text))
        return std::nullopt;
    if (m_multiLine && !text.startsWith(m_multiLineCode + QLatin1Char(' '))) {
        m_collectedSize += text.size() + 1;
        if (m_collectedSize > MaxSize) {
            m_multiLine = false;
            m_collected.clear();
            m_collectedSize = 0;
            return Event{
                QStringLiteral("Multi-line reply longer than %1 bytes").arg(MaxSize), {}, {}};
        }
        m_collected.append(text);
        return std::nullopt;
    }
    if (text.size() >= 4 && text.at(3) == QLatin1Char('-')) {
        if (!m_multiLine) {
            m_multiLine = true;
            m_multiLineCode = text.left(3);
            m_collected = QStringList{text};
            m_collectedSize = text.size() + 1;
        }
        return std::nullopt;
    }
    Event event{{}, text, {}};
    if (m_multiLine) {
        m_multiLine = false;
        event.Lines = std::move(m_collected);
        event.Lines.append(text);
        m_collected.clear();
        m_collectedSize = 0;
    }
    return event;
}
