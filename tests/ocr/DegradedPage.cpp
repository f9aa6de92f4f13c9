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
    const double w = page.width(), h = page.height();
    const double fw = w * 1.2, fh = h * 1.3;
    const QPolygonF paper({QPointF(0, 0), QPointF(w, 0), QPointF(w, h), QPointF(0, h)});
    const QPolygonF seen({QPointF(fw * 0.13, fh * 0.12), QPointF(fw * 0.86, fh * 0.10),
                          QPointF(fw * 0.94, fh * 0.88), QPointF(fw * 0.05, fh * 0.90)});
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

std::vector<Case> Set() {
    const auto same = [](const QImage& page) { return gray(page); };
    return {
        {QStringLiteral("Shaded"), Shaded, 0},
        {QStringLiteral("LowContrast"), LowContrast, 0},
        {QStringLiteral("HalfResolution"), HalfResolution, 0},
        {QStringLiteral("Jpeg"), same, 30},
        {QStringLiteral("Photographed"), Photographed, 80},
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
