#include "DegradedPage.h"

#include "RenderedPage.h"

#include <QDir>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <random>

namespace DegradedPage {

namespace {

int dotsPerMeter(int dpi) {
    return int(std::lround(dpi / 0.0254));
}

QImage gray(const QImage& page) {
    return page.convertToFormat(QImage::Format_Grayscale8);
}

// Applies value = f(value, x, y) to every pixel of a grey copy.
template <typename F> QImage mapped(const QImage& page, F f) {
    QImage out = gray(page);
    for (int y = 0; y < out.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            row[x] = uchar(std::clamp(int(std::lround(f(double(row[x]), x, y))), 0, 255));
    }
    return out;
}

// The lamp's light at (x, y): 1 in the top-left corner, a third in the opposite one.
double lampLight(int x, int y, int width, int height) {
    const double r = std::hypot(double(x) / width, double(y) / height) / std::sqrt(2.0);
    return 1.0 - (2.0 / 3.0) * r * r;
}

// The page as a camera sees it on a dark table: the frame is width x height times the
// page's size; corners (top-left, top-right, bottom-right, bottom-left) are where the page's
// corners land, as fractions of the frame.
QImage photographed(const QImage& page, double width, double height,
                    const QList<QPointF>& corners) {
    const double w = page.width(), h = page.height();
    const double fw = w * width, fh = h * height;
    const QPolygonF paper({QPointF(0, 0), QPointF(w, 0), QPointF(w, h), QPointF(0, h)});
    QPolygonF seen;
    for (const QPointF& corner : corners)
        seen << QPointF(corner.x() * fw, corner.y() * fh);
    QTransform projection;
    QTransform::quadToQuad(paper, seen, projection);

    // Grey paper (the camera's white balance) on a dark, slightly lit table.
    const QImage sheet = mapped(page, [](double v, int, int) { return 30 + v * 195 / 255; });
    QImage frame(int(fw), int(fh), QImage::Format_RGB32);
    frame.fill(QColor(45, 42, 40));
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(projection);
    painter.drawImage(QPointF(0, 0), sheet);
    painter.end();

    const int fwi = frame.width(), fhi = frame.height();
    std::mt19937 random(29);
    std::normal_distribution<double> noise(0.0, 2.5);
    QImage out = mapped(frame, [&](double v, int x, int y) {
        return v * (0.55 + 0.45 * lampLight(fwi - x, y, fwi, fhi)) + noise(random);
    });
    out.setDotsPerMeterX(dotsPerMeter(RenderedPage::Dpi));
    out.setDotsPerMeterY(dotsPerMeter(RenderedPage::Dpi));
    return out;
}

QImage shadedJpeg(const QImage& page) {
    return LowContrast(Shaded(page));
}

} // namespace

QImage Shaded(const QImage& page) {
    const int w = page.width(), h = page.height();
    return mapped(page, [w, h](double v, int x, int y) { return v * lampLight(x, y, w, h); });
}

QImage LowContrast(const QImage& page) {
    std::mt19937 random(17);
    std::normal_distribution<double> noise(0.0, 3.0);
    return mapped(page, [&](double v, int, int) { return 105 + v * 70 / 255 + noise(random); });
}

QImage HalfResolution(const QImage& page) {
    QImage out = gray(page).scaled(page.width() / 2, page.height() / 2, Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation);
    out.setDotsPerMeterX(dotsPerMeter(RenderedPage::Dpi / 2));
    out.setDotsPerMeterY(dotsPerMeter(RenderedPage::Dpi / 2));
    return out;
}

QImage Photographed(const QImage& page) {
    // The frame is a fifth larger than the page; the page's far (top) edge looks shorter.
    return photographed(
        page, 1.2, 1.3,
        {QPointF(0.13, 0.12), QPointF(0.86, 0.10), QPointF(0.94, 0.88), QPointF(0.05, 0.90)});
}

QImage PhotographedClose(const QImage& page) {
    // The page nearly fills the frame: a strip of table a few millimetres wide is left.
    return photographed(
        page, 1.06, 1.12,
        {QPointF(0.08, 0.05), QPointF(0.93, 0.04), QPointF(0.985, 0.96), QPointF(0.02, 0.97)});
}
std::vector<Case> Set() {
    const auto same = [](const QImage& page) { return gray(page); };
    return {
        {QStringLiteral("Shaded"), Shaded, 0},
        {QStringLiteral("LowContrast"), LowContrast, 0},
        {QStringLiteral("HalfResolution"), HalfResolution, 0},
        {QStringLiteral("Jpeg"), same, 30},
        {QStringLiteral("Photographed"), Photographed, 80},
        {QStringLiteral("PhotographedClose"), PhotographedClose, 80},
        {QStringLiteral("ShadedLowContrastJpeg"), shadedJpeg, 50},
    };
}

QString Save(const Case& c, const QImage& page, const QString& folder, const QString& stem) {
    const QString path = QDir(folder).filePath(
        stem + (c.jpegQuality ? QStringLiteral(".jpg") : QStringLiteral(".png")));
    page.save(path, c.jpegQuality ? "JPEG" : "PNG", c.jpegQuality ? c.jpegQuality : -1);
    return path;
}

} // namespace DegradedPage
