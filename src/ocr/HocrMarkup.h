#pragma once

#include <QByteArray>
#include <QString>

struct OutputPage;

// hOCR 1.2: recognised pages as XHTML whose elements (page, block, paragraph, line, word) carry
// their boxes, baselines and word confidences in the image's own pixels.
namespace HocrMarkup {

QByteArray Head(const QString& title);
// The page numbered number (0 for the first).
QByteArray Page(const OutputPage& page, int number);
QByteArray Tail();

} // namespace HocrMarkup
