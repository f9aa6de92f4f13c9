#include "TranslationPage.h"

#include "Recognition.h"

#include <QRandomGenerator>

namespace TranslationPage {

QString RunStamp() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray bits(reinterpret_cast<const char*>(words), sizeof words);
    return QLatin1Char('[') + QString::fromLatin1(bits.toHex()) + QLatin1Char(']');
}

QString RemoteName(const QString& runStamp) {
    return runStamp + FileName();
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
    for (const QString& line : Recognition::LinesOfText(text)) {
        page += EscapeHtml(line).toUtf8();
        if (insertBr)
            page += "<br>";
        page += "\r\n";
    }
    page += "</body></html>\r\n";
    return page;
}

} // namespace TranslationPage
