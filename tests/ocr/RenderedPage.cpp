#include "RenderedPage.h"

#include <QFont>
#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <vector>

namespace RenderedPage {

namespace {

int dotsPerMeter() {
    return int(std::lround(Dpi / 0.0254));
}

QString normalise(const QString& text, bool ignoreSpaces) {
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    QString s = text;
    s.replace(spaces, ignoreSpaces ? QString() : QStringLiteral(" "));
    return s.trimmed();
}

} // namespace

QImage Paragraph(const QStringList& lines, const QString& family, int pointSize) {
    QFont font(family);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    const int margin = Dpi / 2;

    // Measure on an image of the final resolution, so points map to 300-dpi pixels.
    QImage probe(1, 1, QImage::Format_Grayscale8);
    probe.setDotsPerMeterX(dotsPerMeter());
    probe.setDotsPerMeterY(dotsPerMeter());
    const QFontMetrics metrics(font, &probe);
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int lineHeight = metrics.lineSpacing() * 3 / 2;

    QImage page(width + 2 * margin, lineHeight * int(lines.size()) + 2 * margin,
                QImage::Format_Grayscale8);
    page.setDotsPerMeterX(dotsPerMeter());
    page.setDotsPerMeterY(dotsPerMeter());
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = margin + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(margin, y, line);
        y += lineHeight;
    }
    painter.end();
    return page;
}

QImage Rotated(const QImage& page, double degrees) {
    QImage source = page.convertToFormat(QImage::Format_RGB32);
    QTransform turn;
    turn.rotate(degrees);
    const QRect bounds = turn.mapRect(QRectF(source.rect())).toAlignedRect();
    QImage out(bounds.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    out.setDotsPerMeterX(dotsPerMeter());
    out.setDotsPerMeterY(dotsPerMeter());
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(out.width() / 2.0, out.height() / 2.0);
    painter.rotate(degrees);
    painter.drawImage(QPointF(-source.width() / 2.0, -source.height() / 2.0), source);
    painter.end();
    return out.convertToFormat(QImage::Format_Grayscale8);
}

QString SavePng(const QImage& page, const QString& path) {
    QImage copy = page;
    copy.setDotsPerMeterX(dotsPerMeter());
    copy.setDotsPerMeterY(dotsPerMeter());
    copy.save(path, "PNG");
    return path;
}

double CharacterErrorRate(const QString& truth, const QString& recognised, bool ignoreSpaces) {
    const QList<uint> a = normalise(truth, ignoreSpaces).toUcs4();
    const QList<uint> b = normalise(recognised, ignoreSpaces).toUcs4();
    if (a.isEmpty())
        return b.isEmpty() ? 0.0 : 1.0;
    std::vector<int> previous(size_t(b.size()) + 1), current(size_t(b.size()) + 1);
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[size_t(j)] =
                std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return double(previous[size_t(b.size())]) / double(a.size());
}

void WriteTextPdf(const QString& path, const QList<QStringList>& pages, QSizeF millimetres,
                  int pointSize, const QString& family) {
    QPdfWriter pdf(path);
    pdf.setResolution(Dpi);
    pdf.setPageSize(QPageSize(millimetres, QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF());
    QPainter painter(&pdf);
    QFont font(family);
    font.setPointSize(pointSize);
    painter.setFont(font);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0)
            pdf.newPage();
        int y = Dpi / 2 + painter.fontMetrics().ascent();
        for (const QString& line : pages[p]) {
            painter.drawText(Dpi / 2, y, line);
            y += painter.fontMetrics().lineSpacing() * 3 / 2;
        }
    }
}

} // namespace RenderedPage
