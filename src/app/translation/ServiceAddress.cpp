#include "ServiceAddress.h"

#include "Support.h"

#include <QStringEncoder>

namespace ServiceAddress {

namespace {

// The address is host + Prefix + the pair's part before the value + the encoded value + the
// pair's part after it. The value is the page's public address, or the text itself.
struct ServiceForm {
    const char* Name;
    const char* Host;
    const char* Key;
    const char* Prefix;
    const char* EnglishBefore;
    const char* EnglishAfter;
    const char* JapaneseBefore;
    const char* JapaneseAfter;
    // Characters taken at once; 0 for a service that fetches a page.
    int TextLimit;
};

// DeepL's free translator takes 1500 characters at once and Google's text box 5000; longer
// text is cut off by them without a word.
constexpr ServiceForm s_services[] = {
    {"Excite翻訳", "https://www.excite.co.jp", "EXCITE", "/world/english/web/?wb_url=", "",
     "&wb_lp=ENJA", "", "&wb_lp=JAEN", 0},
    {"Google翻訳", "https://translate.google.co.jp", "GOOGLE", "/translate?u=", "",
     "&langpair=en%7Cja&hl=ja&ie=UTF8", "", "&langpair=ja%7Cen&hl=ja&ie=UTF8", 0},
    {"DeepL翻訳", "https://www.deepl.com", "DEEPL", "/translator#", "en/ja/", "", "ja/en/", "",
     1500},
    {"Google翻訳 (テキスト)", "https://translate.google.com", "GOOGLETEXT", "/?",
     "sl=en&tl=ja&text=", "&op=translate", "sl=ja&tl=en&text=", "&op=translate", 5000},
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

bool fragmentPasses(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// Every byte that does not pass becomes "%" and two upper-case hex digits; with plusForSpace a
// space becomes "+".
QByteArray percentEncode(const QByteArray& text, bool (*passes)(unsigned char), bool plusForSpace) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ' && plusForSpace) {
            encoded += '+';
        } else if (passes(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0F];
        }
    }
    return encoded;
}

// DeepL's page decodes its fragment before it splits it at "/": a "/" of the text goes
// escaped as "\/". A space is %20 there; "+" would stay a plus.
QByteArray fragmentEncode(const QString& text) {
    return percentEncode(QString(text).replace(QLatin1Char('/'), QLatin1String("\\/")).toUtf8(),
                         fragmentPasses, false);
}

QString composeForm(const ServiceForm& form, int language, const HostPort& host,
                    const QByteArray& encoded) {
    const bool english = language == English;
    const QString authority = host.Port == (host.Secure ? 443 : 80)
                                  ? host.Host
                                  : host.Host + QLatin1Char(':') + QString::number(host.Port);
    return QLatin1String(host.Secure ? "https://" : "http://") + authority +
           QLatin1String(form.Prefix) +
           QLatin1String(english ? form.EnglishBefore : form.JapaneseBefore) +
           QString::fromLatin1(encoded) +
           QLatin1String(english ? form.EnglishAfter : form.JapaneseAfter);
}

bool knownLanguage(int language) {
    return language == English || language == Japanese;
}

} // namespace

QByteArray UrlEncode(const QByteArray& text) {
    return percentEncode(text, passesUnchanged, true);
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

QString Name(int service) {
    const ServiceForm* form = serviceForm(service);
    return form ? QString::fromUtf8(form->Name) : QString();
}

QStringList Names() {
    QStringList names;
    for (int i = 0; i < int(std::size(s_services)); ++i)
        names << Name(i);
    return names;
}

bool TakesText(int service) {
    return TextLimit(service) > 0;
}

int TextLimit(int service) {
    const ServiceForm* form = serviceForm(service);
    return form ? form->TextLimit : 0;
}

qsizetype TextLength(const QString& text) {
    return text.toUcs4().size();
}

QString TextProblem(int service, const QString& text) {
    const int limit = TextLimit(service);
    const qsizetype length = TextLength(text);
    if (length <= limit)
        return {};
    return QStringLiteral("%1 で一度に翻訳できるのは %2 文字までです（この文は %3 文字）。\r"
                          "文を分けて翻訳してください。")
        .arg(Name(service))
        .arg(limit)
        .arg(length);
}

QString PageAddress(const QString& folderAddress, const QString& remoteName) {
    return folderAddress + remoteName;
}

QString Compose(int service, int language, const HostPort& host, const QString& pageAddress) {
    const ServiceForm* form = serviceForm(service);
    if (!form || form->TextLimit > 0 || !knownLanguage(language))
        return {};
    return composeForm(*form, language, host,
                       UrlEncode(ToUtf8(QStringEncoder(QStringEncoder::System)(pageAddress))));
}

QString ComposeText(int service, int language, const HostPort& host, const QString& text) {
    const ServiceForm* form = serviceForm(service);
    if (!form || form->TextLimit == 0 || !knownLanguage(language))
        return {};
    return composeForm(*form, language, host,
                       service == DeepL ? fragmentEncode(text) : UrlEncode(text.toUtf8()));
}

} // namespace ServiceAddress
