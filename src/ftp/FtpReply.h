#pragma once

#include "FtpTypes.h"

#include <QString>
#include <cstdint>
#include <optional>

// The decisions taken on reply texts and command arguments, kept free of sockets.
class FtpReply {
public:
    // A line that begins with a three-digit reply code, then a space, a hyphen or nothing.
    static bool IsReplyLine(const QString& line);
    // Completion ("2xx") and intermediate ("3xx") replies.
    static bool Positive(const QString& reply) { return reply.startsWith(QLatin1Char('2')); }
    static bool Intermediate(const QString& reply) { return reply.startsWith(QLatin1Char('3')); }
    // Server type named by a positive SYST reply ("215 UNIX Type: L8").
    static TFtpServerType SystemType(const QString& reply);
    // Text between the first double quote and the next one; empty without quotes.
    static QString QuotedPath(const QString& reply);
    // A NetTerm or Serv-U path as a Unix path: "/C:/dir" -> "/dir", "C:\dir" -> "/dir".
    static QString NetTermPath(const QString& path);
    // The number from the fifth character on; 0 when it is no number or too large.
    static std::int64_t SizeValue(const QString& reply);
    // The transfer size a "150" reply announces, when it announces one.
    static std::optional<std::int64_t> TransferSize(const QString& reply);
    // Host and port of a "227" reply; nothing when it does not hold six numbers 0..255.
    struct Endpoint {
        QString Address;
        std::uint16_t Port = 0;
    };
    static std::optional<Endpoint> PassiveEndpoint(const QString& reply);
    // RFC 959 host-port: "127,0,0,1,19,137" for 127.0.0.1 port 5001.
    static QString PortArgument(const QString& address, std::uint16_t port);
    // The command as shown by OnFtpInfo(4): a password never appears.
    static QString CommandEcho(const QString& commandLine);
    // An argument that would end the command line early (CR, LF or NUL) is unsafe.
    static bool SafeArgument(const QString& argument);
    // Error number and text for a Winsock code; number 0 for codes that are no error.
    struct SocketError {
        int Number = 0;
        QString Text;
    };
    static SocketError FromWinsock(int code);
};
