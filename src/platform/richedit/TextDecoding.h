#pragma once

#include <QByteArray>
#include <QString>

// Plain text files the user brings: the encoding is read from the bytes.
namespace TextDecoding {

enum class Encoding { Utf8Bom, Utf16LE, Utf16BE, Utf8, ShiftJis, EucJp, System };

// A byte-order mark decides; else valid UTF-8; else Shift_JIS, or EUC-JP when the bytes
// are valid in it and read as Japanese rather than as Shift_JIS half-width kana; else the
// system code page.
Encoding Detect(const QByteArray& bytes);

// The text in the detected encoding, without its byte-order mark.
QString Decode(const QByteArray& bytes);

// The decoder name of an 8-bit Windows code page (932 -> Shift_JIS and so on); empty
// when the platform has none for it.
QByteArray CodePageName(int codePage);

} // namespace TextDecoding
