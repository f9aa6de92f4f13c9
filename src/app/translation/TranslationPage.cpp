#include "TranslationPage.h"

namespace TranslationPage {

QString RemoteName(const QString& startStamp) {
    return startStamp + FileName();
}

QStringList TextLines(const QString& text) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << line;
            line.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

QString EscapeHtml(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

QByteArray PageBytes(const QString& text, bool insertBr) {
    if (text.isEmpty())
        return {};
    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body>\r\n";
    for (const QString& line : TextLines(text)) {
        page += EscapeHtml(line).toUtf8();
        if (insertBr)
            page += "<br>";
        page += "\r\n";
    }
    page += "</body></html>\r\n";
    return page;
}

} // namespace TranslationPage
