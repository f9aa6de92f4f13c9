#include "FtpReply.h"

#include "FtpClient.h"

#include <QStringList>
#include <array>
#include <cmath>
#include <limits>

namespace {

// Decimal digits only, no sign, no overflow.
std::optional<std::int64_t> parseCount(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

TFtpServerType FtpReply::SystemType(const QString& reply) {
    if (reply.startsWith(QLatin1Char('5')))
        return ftpstDefault;
    const QString text = reply.mid(4, 99).toUpper();
    struct Row {
        const char* Word;
        TFtpServerType Type;
    };
    // "WINDWOS_NT" is the word this detection has always tested; a correctly spelt
    // Windows_NT therefore stays ftpstDefault.
    static const std::array<Row, 11> rows{{{"UNIX", ftpstUNIX},
                                           {"BSD", ftpstBSD},
                                           {"SUNOS", ftpstSunOS},
                                           {"CLIX", ftpstClix},
                                           {"ULTRIX", ftpstULTRIX},
                                           {"MVS", ftpstMVS},
                                           {"QVT", ftpstQVT},
                                           {"NCSA", ftpstNCSA},
                                           {"WFTPD", ftpstWFTPD},
                                           {"WINDWOS_NT", ftpstMSFTP},
                                           {"CHAMELEON", ftpstChameleon}}};
    for (const Row& row : rows) {
        if (text.contains(QLatin1String(row.Word)))
            return row.Type;
    }
    if (text.contains(QLatin1String("VMS")))
        return text.contains(QLatin1String("MULTINET")) ? ftpstVmsMultinet : ftpstVmsUcx;
    if (text.contains(QLatin1String("VM")))
        return text.contains(QLatin1String("VPS")) ? ftpstVMVPS : ftpstVM;
    return ftpstDefault;
}

bool FtpReply::IsReplyLine(const QString& line) {
    for (int i = 0; i < 3; ++i) {
        if (i >= line.size() || line.at(i) < QLatin1Char('0') || line.at(i) > QLatin1Char('9'))
            return false;
    }
    return line.size() == 3 || line.at(3) == QLatin1Char(' ') || line.at(3) == QLatin1Char('-');
}

QString FtpReply::QuotedPath(const QString& reply) {
    const qsizetype first = reply.indexOf(QLatin1Char('"'));
    if (first < 0)
        return {};
    const qsizetype second = reply.indexOf(QLatin1Char('"'), first + 1);
    if (second < 0)
        return reply.mid(first + 1);
    return reply.mid(first + 1, second - first - 1);
}

QString FtpReply::NetTermPath(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return path.mid(3);
    QString converted = path.mid(2);
    converted.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return converted;
}

std::int64_t FtpReply::SizeValue(const QString& reply) {
    return parseCount(reply.mid(4).trimmed()).value_or(0);
}

std::optional<std::int64_t> FtpReply::TransferSize(const QString& reply) {
    const qsizetype paren = reply.lastIndexOf(QLatin1Char('('));
    if (paren >= 0) {
        const QString rest = reply.mid(paren + 1);
        return parseCount(rest.section(QLatin1Char(' '), 0, 0));
    }
    if (!reply.contains(QLatin1String("download")))
        return std::nullopt;
    const QString word = reply.mid(4).trimmed().section(QLatin1Char(' '), 0, 0);
    if (!reply.contains(QLatin1String("kbyte")))
        return parseCount(word);
    bool ok = false;
    const double kbytes = word.toDouble(&ok);
    if (!ok || !std::isfinite(kbytes) || kbytes < 0 ||
        kbytes * 1000.0 >= static_cast<double>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return static_cast<std::int64_t>(kbytes * 1000.0);
}

std::optional<FtpReply::Endpoint> FtpReply::PassiveEndpoint(const QString& reply) {
    QString text = reply;
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open >= 0) {
        text = text.mid(open + 1);
        const qsizetype close = text.indexOf(QLatin1Char(')'));
        if (close >= 0)
            text.truncate(close);
    }
    const QStringList fields = text.trimmed().split(QLatin1Char(','));
    if (fields.size() < 6)
        return std::nullopt;
    std::array<int, 6> n{};
    for (int i = 0; i < 6; ++i) {
        const auto value = parseCount(fields[i].trimmed());
        if (!value || *value > 255)
            return std::nullopt;
        n[static_cast<std::size_t>(i)] = static_cast<int>(*value);
    }
    Endpoint e;
    e.Address = QStringLiteral("%1.%2.%3.%4").arg(n[0]).arg(n[1]).arg(n[2]).arg(n[3]);
    e.Port = static_cast<std::uint16_t>(n[4] * 256 + n[5]);
    return e;
}

QString FtpReply::PortArgument(const QString& address, std::uint16_t port) {
    QString host = address;
    host.replace(QLatin1Char('.'), QLatin1Char(','));
    return QStringLiteral("%1,%2,%3")
        .arg(host, QString::number(port / 256), QString::number(port % 256));
}

QString FtpReply::CommandEcho(const QString& commandLine) {
    if (commandLine.startsWith(QLatin1String("PASS ")))
        return QStringLiteral("PASS (want to know) :-P\r\n");
    return commandLine;
}

bool FtpReply::SafeArgument(const QString& argument) {
    for (const QChar c : argument) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return false;
    }
    return true;
}

FtpReply::SocketError FtpReply::FromWinsock(int code) {
    switch (code) {
    case 0:
    case 10038:
    case 10057:
        return {0, {}};
    case 10013:
        return {2, QStringLiteral("Invalid address specified")};
    case 10022:
        return {3, {}};
    case 10024:
        return {8, QStringLiteral("Out of sockets")};
    case 10049:
        return {10, QStringLiteral("Address not available")};
    case 10050:
        return {1, QStringLiteral("Network down")};
    case 10051:
        return {9, QStringLiteral("Network unreachable")};
    case 10052:
    case 10055:
        return {4, QStringLiteral("General Winsock Error")};
    case 10053:
        return {5, QStringLiteral("Connection aborted due to timeout or other failure")};
    case 10054:
        return {6, QStringLiteral("Connection reset by remote side")};
    case 10060:
        return {7, QStringLiteral("Connection timed out")};
    case 10061:
        return {11, QStringLiteral("Connection Refused")};
    case 10065:
        return {17, QStringLiteral("Host unreachable")};
    case 11001:
    case 11002:
    case 11003:
    case 11004:
        return {15, QStringLiteral("Address resolution error")};
    case TAsyncSocket::TlsFailure:
        return {TFtpClient::ErrorTls, QStringLiteral("TLS failed")};
    default:
        return {3, QStringLiteral("Unexpected internal error in component (WinSock Error Code: %1)")
                       .arg(code)};
    }
}
