#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Pages rendered by the tests themselves, so recognition is checked against a known text.
namespace RenderedPage {

constexpr int Dpi = 300;

// Black text lines on white at 300 dpi, one text line per entry.
QImage Paragraph(const QStringList& lines, const QString& family, int pointSize = 12);

// The page turned clockwise by degrees about its centre, on a white background.
QImage Rotated(const QImage& page, double degrees);

// Writes a PNG carrying the page's resolution; returns the path.
QString SavePng(const QImage& page, const QString& path);

// A PDF whose pages Qt sets as text, one entry of lines per page (so each page also carries
// a text layer of its own).
void WriteTextPdf(const QString& path, const QList<QStringList>& pages, QSizeF millimetres,
                  int pointSize = 12, const QString& family = QStringLiteral("DejaVu Serif"));

// Edit distance of the two texts over the truth's length, whitespace ignored
// (Japanese) or collapsed to single spaces (Latin).
double CharacterErrorRate(const QString& truth, const QString& recognised, bool ignoreSpaces);

} // namespace RenderedPage
