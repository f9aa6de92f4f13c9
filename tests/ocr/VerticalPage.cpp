#include "VerticalPage.h"

#include "RenderedPage.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>
#include <vector>

namespace VerticalPage {

namespace {

// How a character stands in its cell when the text runs downwards.
enum class Placing {
    Upright, // as in horizontal text
    Turned,  // brackets, the long vowel mark: a quarter turn clockwise
    Corner,  // 、。: moved from the lower left to the upper right of the cell
    Small,   // small kana: towards the upper right
    Across,  // a two-digit number side by side in one cell
};

struct Cell {
    Cell() = default;
    Cell(QString t, Placing p) : text(std::move(t)), placing(p) {}

    QString text;
    Placing placing = Placing::Upright;
    QString ruby;     // set beside this cell and the ones after it
    int rubySpan = 0; // how many cells the ruby stands beside
};

bool isKanji(QChar c) {
    return (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) || c == QChar(0x3005);
}

Placing placingOf(QChar c) {
    static const QString turned = QStringLiteral("「」『』（）ー〜…―");
    static const QString corner = QStringLiteral("、。");
    static const QString small = QStringLiteral("ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ");
    if (turned.contains(c))
        return Placing::Turned;
    if (corner.contains(c))
        return Placing::Corner;
    if (small.contains(c))
        return Placing::Small;
    return Placing::Upright;
}

// The cells of a paragraph: ruby in 《》 goes to the run of kanji before it.
std::vector<Cell> cellsOf(const QString& paragraph, QString& plain) {
    std::vector<Cell> cells;
    for (qsizetype i = 0; i < paragraph.size(); ++i) {
        const QChar c = paragraph.at(i);
        if (c == QChar(u'《')) {
            const qsizetype end = paragraph.indexOf(QChar(u'》'), i);
            size_t first = cells.size();
            while (first > 0 && cells[first - 1].text.size() == 1 &&
                   isKanji(cells[first - 1].text.at(0)))
                --first;
            cells[first].ruby = paragraph.mid(i + 1, end - i - 1);
            cells[first].rubySpan = int(cells.size() - first);
            i = end;
            continue;
        }
        plain += c;
        if (c.isDigit() && i + 1 < paragraph.size() && paragraph.at(i + 1).isDigit()) {
            cells.push_back({paragraph.mid(i, 2), Placing::Across});
            plain += paragraph.at(++i);
            continue;
        }
        cells.push_back({QString(c), placingOf(c)});
    }
    return cells;
}

struct Column {
    std::vector<Cell> cells; // an empty text is the paragraph's indent
};

void drawCentred(QPainter& painter, const QString& text, QPointF centre) {
    const QFontMetricsF metrics(painter.font());
    painter.drawText(
        QPointF(centre.x() - metrics.horizontalAdvance(text) / 2,
                centre.y() - (metrics.ascent() + metrics.descent()) / 2 + metrics.ascent()),
        text);
}

void drawCell(QPainter& painter, const Cell& cell, QPointF centre, double em) {
    switch (cell.placing) {
    case Placing::Turned:
        painter.save();
        painter.translate(centre);
        painter.rotate(90);
        drawCentred(painter, cell.text, QPointF(0, 0));
        painter.restore();
        return;
    case Placing::Corner:
        drawCentred(painter, cell.text, centre + QPointF(0.55 * em, -0.6 * em));
        return;
    case Placing::Small:
        drawCentred(painter, cell.text, centre + QPointF(0.1 * em, -0.1 * em));
        return;
    case Placing::Upright:
    case Placing::Across:
        drawCentred(painter, cell.text, centre);
        return;
    }
}

} // namespace

Page Render(const QStringList& paragraphs, const QString& heading, int rows, int pointSize) {
    Page page;
    page.heading = heading;
    std::vector<Column> columns;
    for (const QString& paragraph : paragraphs) {
        QString plain;
        const std::vector<Cell> cells = cellsOf(paragraph, plain);
        page.paragraphs.append(plain);
        columns.push_back({{Cell{}}});
        for (const Cell& cell : cells) {
            // A word with ruby is never split between two columns.
            // 、。」 never start a column: they hang below the full one.
            const bool hangs = cell.placing == Placing::Corner || cell.text == QStringLiteral("」");
            const int need = std::max(1, cell.rubySpan);
            if (int(columns.back().cells.size()) + need > rows && !hangs)
                columns.push_back({});
            columns.back().cells.push_back(cell);
        }
    }
    for (const Column& column : columns) {
        QString text;
        for (const Cell& cell : column.cells)
            text += cell.text;
        page.columns.append(text);
    }

    const double em = pointSize * RenderedPage::Dpi / 72.0;
    const double pitch = 2 * em; // the column, its ruby and the space between columns
    const int margin = RenderedPage::Dpi / 2;
    QFont font(QStringLiteral("IPAMincho"));
    font.setPixelSize(int(std::lround(em)));
    QFont rubyFont = font;
    rubyFont.setPixelSize(int(std::lround(em / 2)));
    QFont headingFont = font;
    headingFont.setPixelSize(int(std::lround(em * 1.4)));
    const double headingHeight = heading.isEmpty() ? 0 : em * 3;

    const int width = int(std::ceil(2 * margin + pitch * double(columns.size())));
    const int height = int(std::ceil(2 * margin + headingHeight + em * rows));
    page.image = QImage(width, height, QImage::Format_Grayscale8);
    const int dpm = int(std::lround(RenderedPage::Dpi / 0.0254));
    page.image.setDotsPerMeterX(dpm);
    page.image.setDotsPerMeterY(dpm);
    page.image.fill(Qt::white);
    QPainter painter(&page.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    if (!heading.isEmpty()) {
        painter.setFont(headingFont);
        painter.drawText(QPointF(margin, margin + QFontMetricsF(headingFont).ascent()), heading);
    }
    const double top = margin + headingHeight;
    for (size_t i = 0; i < columns.size(); ++i) {
        const double x = width - margin - pitch * double(i) - 0.6 * em - 0.5 * em;
        const std::vector<Cell>& cells = columns[i].cells;
        for (size_t row = 0; row < cells.size(); ++row) {
            const Cell& cell = cells[row];
            const double y = top + em * double(row);
            painter.setFont(font);
            drawCell(painter, cell, QPointF(x, y + em / 2), em);
            if (cell.ruby.isEmpty())
                continue;
            painter.setFont(rubyFont);
            const double rubyTop = y + em * cell.rubySpan / 2 - em * cell.ruby.size() / 4;
            for (qsizetype k = 0; k < cell.ruby.size(); ++k)
                drawCell(painter, Cell(cell.ruby.mid(k, 1), placingOf(cell.ruby.at(k))),
                         QPointF(x + 0.8 * em, rubyTop + em * (double(k) + 0.5) / 2), em / 2);
        }
    }
    painter.end();
    return page;
}

QString Text(const Page& page) {
    QStringList parts;
    if (!page.heading.isEmpty())
        parts.append(page.heading);
    parts.append(page.paragraphs);
    return parts.join(QLatin1Char('\n'));
}

} // namespace VerticalPage
