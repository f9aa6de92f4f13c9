#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Clean rendered pages spoiled the way people capture them: under a desk lamp, in low
// contrast, at half resolution, through JPEG, photographed on a table.
namespace DegradedPage {

// Light falling off from the top-left corner to a third in the bottom-right one.
QImage Shaded(const QImage& page);
// Ink and paper pushed towards the same grey, with a little sensor noise.
QImage LowContrast(const QImage& page);
// The page at 150 dpi.
QImage HalfResolution(const QImage& page);
// The page seen by a camera from above its bottom edge: a trapezoid of slightly grey paper,
// lit unevenly, on a dark table that surrounds it.
QImage Photographed(const QImage& page);
// The same from closer: only a narrow strip of table is left around the page.
QImage PhotographedClose(const QImage& page);

// One page of the set: how it was spoiled and the file format it is saved in.
struct Case {
    QString name;
    std::function<QImage(const QImage&)> spoil;
    int jpegQuality = 0; // 0: saved as PNG
};
// The degraded set, each applied to a clean page of either language.
std::vector<Case> Set();

// Saves the page as the case asks (PNG, or JPEG of its quality) under folder; returns the path.
QString Save(const Case& c, const QImage& page, const QString& folder, const QString& stem);

} // namespace DegradedPage
