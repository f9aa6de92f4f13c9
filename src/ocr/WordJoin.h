#pragma once

#include <QString>

// Japanese is written without spaces: between two words a space is kept only when neither
// neighbour is CJK (Latin words inside Japanese text). Other languages keep every space.
namespace WordJoin {

inline bool IsCjk(char32_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE10 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x2FFFF);
}

// A word's text from the engine, which is freed.
inline QString Taken(char* text) {
    QString s = QString::fromUtf8(text).trimmed();
    delete[] text;
    return s;
}

inline void Append(QString& line, const QString& word, bool japanese) {
    if (!line.isEmpty() && !word.isEmpty()) {
        const char32_t last = line.back().isLowSurrogate() && line.size() > 1
                                  ? QChar::surrogateToUcs4(line.at(line.size() - 2), line.back())
                                  : line.back().unicode();
        const char32_t first = word.front().isHighSurrogate() && word.size() > 1
                                   ? QChar::surrogateToUcs4(word.at(0), word.at(1))
                                   : word.front().unicode();
        if (!japanese || (!IsCjk(last) && !IsCjk(first)))
            line += QLatin1Char(' ');
    }
    line += word;
}

} // namespace WordJoin
