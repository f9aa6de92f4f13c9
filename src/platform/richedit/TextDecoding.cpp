#include "TextDecoding.h"

#include <QStringDecoder>

namespace TextDecoding {

namespace {

// Windows Japanese files are CP932 (Shift_JIS with the NEC and IBM extensions).
const char* shiftJisName() {
    static const char* name = QStringDecoder("CP932").isValid() ? "CP932" : "Shift_JIS";
    return name;
}

// Decoders are built in place and never moved: an ICU-backed decoder records its errors
// through a pointer to itself, so a moved one no longer reports them.
bool decodesCleanly(const char* name, const QByteArray& bytes, QString* text = nullptr) {
    QStringDecoder decoder(name, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    QString s = decoder(bytes);
    if (decoder.hasError())
        return false;
    if (text)
        *text = std::move(s);
    return true;
}

// Half-width katakana and private-use characters are rare in real text; EUC-JP kanji
// read as Shift_JIS turn into little else.
int unlikelyJapanese(const QString& s) {
    int count = 0;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= 0xFF61 && u <= 0xFF9F) || (u >= 0xE000 && u <= 0xF8FF))
            ++count;
    }
    return count;
}

} // namespace

Encoding Detect(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8Bom;
    if (bytes.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(bytes); // the conversion runs only when taken as a string
    if (!utf8.hasError())
        return Encoding::Utf8;
    QString sjis, euc;
    const bool isSjis = decodesCleanly(shiftJisName(), bytes, &sjis);
    const bool isEuc = decodesCleanly("EUC-JP", bytes, &euc);
    if (isSjis && isEuc)
        return unlikelyJapanese(euc) < unlikelyJapanese(sjis) ? Encoding::EucJp
                                                              : Encoding::ShiftJis;
    if (isSjis)
        return Encoding::ShiftJis;
    if (isEuc)
        return Encoding::EucJp;
    return Encoding::System;
}

QString Decode(const QByteArray& bytes) {
    switch (Detect(bytes)) {
    case Encoding::Utf8Bom:
        return QString::fromUtf8(bytes.mid(3));
    case Encoding::Utf16LE: {
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d(bytes.mid(2));
    }
    case Encoding::Utf16BE: {
        QStringDecoder d(QStringDecoder::Utf16BE);
        return d(bytes.mid(2));
    }
    case Encoding::Utf8:
        return QString::fromUtf8(bytes);
    case Encoding::ShiftJis: {
        QStringDecoder d(shiftJisName());
        return d(bytes);
    }
    case Encoding::EucJp: {
        QStringDecoder d("EUC-JP");
        return d(bytes);
    }
    case Encoding::System:
        break;
    }
    QStringDecoder system(QStringDecoder::System);
    return system(bytes);
}

QByteArray CodePageName(int codePage) {
    QByteArray name;
    switch (codePage) {
    case 932:
        name = shiftJisName();
        break;
    case 936:
        name = "GBK";
        break;
    case 949:
        name = "windows-949";
        break;
    case 950:
        name = "Big5";
        break;
    case 10000:
        name = "macintosh";
        break;
    case 65001:
        name = "UTF-8";
        break;
    default:
        if (codePage >= 874 && codePage <= 1258)
            name = "windows-" + QByteArray::number(codePage);
        break;
    }
    if (name.isEmpty() || !QStringDecoder(name.constData()).isValid())
        return {};
    return name;
}

} // namespace TextDecoding
