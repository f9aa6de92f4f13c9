#include "Support.h"

#include <QStringDecoder>

QByteArray ToUtf8(const QByteArray& text) {
    if (text.isEmpty())
        return {};
    QStringDecoder fromSystem(QStringDecoder::System);
    QByteArray utf8 = QString(fromSystem(text)).toUtf8();
    const auto zero = utf8.indexOf('\0');
    if (zero >= 0)
        utf8.truncate(zero);
    return utf8;
}
