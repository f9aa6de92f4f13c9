#include "ServiceAddress.h"

#include "Support.h"

#include <QStringEncoder>

namespace ServiceAddress {

namespace {

struct ServiceForm {
    const char* Host;
    const char* Key;
    const char* Prefix;
    const char* EnglishSuffix;
    const char* JapaneseSuffix;
};

constexpr ServiceForm s_services[] = {
    {"https://www.excite.co.jp", "EXCITE", "/world/english/web/?wb_url=", "&wb_lp=ENJA",
     "&wb_lp=JAEN"},
    {"https://translate.google.co.jp", "GOOGLE", "/translate?u=", "&langpair=en%7Cja&hl=ja&ie=UTF8",
     "&langpair=ja%7Cen&hl=ja&ie=UTF8"},
};

const ServiceForm* serviceForm(int service) {
    return service >= 0 && service < int(std::size(s_services)) ? &s_services[service] : nullptr;
}

bool passesUnchanged(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '@':
        return true;
    default:
        return false;
    }
}

bool hostCharacter(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('.') || c == QLatin1Char('_');
}

} // namespace

QByteArray UrlEncode(const QByteArray& text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            encoded += '+';
        } else if (passesUnchanged(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0F];
        }
    }
    return encoded;
}

std::optional<HostPort> ParseHostPort(const QString& text, quint16 defaultPort) {
    const QString value = text.trimmed();
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    HostPort result{colon < 0 ? value : value.left(colon), defaultPort};
    if (result.Host.isEmpty() ||
        !std::all_of(result.Host.begin(), result.Host.end(), hostCharacter))
        return std::nullopt;
    if (colon >= 0) {
        const QString port = value.mid(colon + 1);
        bool ok = false;
        const uint number = port.toUInt(&ok);
        // Digits only: toUInt alone would take a sign or blanks.
        if (!ok || number < 1 || number > 65535 ||
            !std::all_of(port.begin(), port.end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
        result.Port = static_cast<quint16>(number);
    }
    return result;
}

std::optional<HostPort> ParseServiceHost(const QString& text) {
    QString value = text.trimmed();
    bool secure = false;
    for (const bool https : {true, false}) {
        const QLatin1String scheme(https ? "https://" : "http://");
        if (value.startsWith(scheme, Qt::CaseInsensitive)) {
            secure = https;
            value = value.mid(scheme.size());
            if (value.endsWith(QLatin1Char('/')))
                value.chop(1);
            break;
        }
    }
    auto host = ParseHostPort(value, secure ? 443 : 80);
    if (host)
        host->Secure = secure;
    return host;
}

QString DefaultHost(int service) {
    const ServiceForm* form = serviceForm(service);
    return form ? QString::fromLatin1(form->Host) : QString();
}

QString HostKey(int service) {
    const ServiceForm* form = serviceForm(service);
    return form ? QString::fromLatin1(form->Key) : QString();
}

QString PageAddress(const QString& folderAddress, const QString& remoteName) {
    return folderAddress + remoteName;
}

QString Compose(int service, int language, const HostPort& host, const QString& pageAddress) {
    const ServiceForm* form = serviceForm(service);
    if (!form || (language != English && language != Japanese))
        return {};
    const QByteArray encoded =
        UrlEncode(ToUtf8(QStringEncoder(QStringEncoder::System)(pageAddress)));
    const QString authority = host.Port == (host.Secure ? 443 : 80)
                                  ? host.Host
                                  : host.Host + QLatin1Char(':') + QString::number(host.Port);
    return QLatin1String(host.Secure ? "https://" : "http://") + authority +
           QLatin1String(form->Prefix) + QString::fromLatin1(encoded) +
           QLatin1String(language == English ? form->EnglishSuffix : form->JapaneseSuffix);
}

} // namespace ServiceAddress
