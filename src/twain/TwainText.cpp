#include "TwainText.h"

#include <algorithm>
#include <cstring>

QString TwainFieldText(const TW_STR32& field) {
    return QString::fromLocal8Bit(field, qsizetype(strnlen(field, sizeof(TW_STR32))));
}

void SetTwainField(TW_STR32& field, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    qsizetype length = std::min<qsizetype>(bytes.size(), sizeof(TW_STR32) - 1);
    // A cut never ends inside a multi-byte sequence: back up to the start of the character.
    if (length < bytes.size()) {
        while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memset(field, 0, sizeof(TW_STR32));
    std::memcpy(field, bytes.constData(), size_t(length));
}
