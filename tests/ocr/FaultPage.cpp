#include "FaultPage.h"

#include "RenderedPage.h"

#include <QLocale>
#include <QPainter>
#include <QStringList>
#include <cmath>

namespace FaultPage {

namespace {

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    const int dpm = int(std::lround(RenderedPage::Dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    return image;
}

// Questions and answers as a witness's are taken down.
QStringList testimony() {
    return QStringLiteral("Q. Where were you working in March of that year?|"
                          "A. At the warehouse on Fulton Street, in shipping.|"
                          "Q. Who was your supervisor at the time?|"
                          "A. Mr. Daniel Hughes, until he retired that summer.|"
                          "Q. Did you sign the delivery records yourself?|"
                          "A. Only the ones for the morning trucks.|"
                          "Q. How many trucks came in each morning?|"
                          "A. Usually four, sometimes five on a Monday.|"
                          "Q. And who kept the copies of those records?|"
                          "A. They went to the front office every evening.|"
                          "Q. Do you remember the inspection in April?|"
                          "A. I remember the inspectors were there two days.")
        .split(QLatin1Char('|'));
}

} // namespace

Page CondensedTranscript() {
    const QStringList pool = testimony();
    const int panelWidth = 1450, lineHeight = 72, top = 180, headerHeight = 110;
    QImage image = blank(2 * panelWidth + 300, top + headerHeight + 25 * lineHeight + 200);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(9);
    painter.setFont(font);
    QString truth;
    for (int panel = 0; panel < 2; ++panel) {
        const int left = 100 + panel * (panelWidth + 100);
        const int body = top + headerHeight, bottom = body + 25 * lineHeight + 30;
        painter.setPen(QPen(Qt::black, 3));
        painter.drawRect(left, top, panelWidth, bottom - top);
        painter.drawLine(left, body, left + panelWidth, body);
        painter.drawLine(left + 120, body, left + 120, bottom);
        const QString heading = QStringLiteral("Page %1").arg(41 + panel);
        painter.drawText(QRect(left, top, panelWidth - 40, headerHeight),
                         Qt::AlignRight | Qt::AlignVCenter, heading);
        truth += heading + QLatin1Char('\n');
        for (int i = 0; i < 25; ++i) {
            const QString text = pool[(i + panel * 5) % pool.size()];
            const int y = body + 15 + i * lineHeight;
            painter.drawText(QRect(left, y, 95, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(i + 1));
            painter.drawText(QRect(left + 150, y, panelWidth - 170, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            truth += QStringLiteral("%1 %2\n").arg(i + 1).arg(text);
        }
    }
    painter.end();
    return {image, truth};
}

Page StatisticalTable() {
    const QStringList header = {QStringLiteral("Region"), QStringLiteral("Schools"),
                                QStringLiteral("Pupils"), QStringLiteral("Teachers"),
                                QStringLiteral("Ratio")};
    const QStringList regions = {QStringLiteral("Northern Hills"), QStringLiteral("Lake District"),
                                 QStringLiteral("Central Plain"),  QStringLiteral("Eastern Coast"),
                                 QStringLiteral("Southern Vale"),  QStringLiteral("Western Ridge"),
                                 QStringLiteral("River Delta"),    QStringLiteral("Total")};
    const int widths[] = {620, 380, 420, 420, 300};
    const int left = 150, top = 200, rowHeight = 86;
    QImage image = blank(2600, top + rowHeight * int(regions.size() + 1) + 300);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    QString truth;
    int width = 0;
    for (int w : widths)
        width += w;
    const QLocale english(QLocale::English);
    for (int row = 0; row <= int(regions.size()); ++row) {
        const int y = top + row * rowHeight;
        QStringList cells = header;
        if (row > 0) {
            const int schools = 37 + row * 53 % 211, pupils = schools * (131 + row * 17 % 40);
            const int teachers = pupils / (14 + row % 5);
            cells = {regions[row - 1], english.toString(schools), english.toString(pupils),
                     english.toString(teachers),
                     english.toString(double(pupils) / teachers, 'f', 1)};
        }
        if (row == 0)
            painter.fillRect(left, y, width, rowHeight, QColor(31, 56, 100));
        else if (row % 2 == 0)
            painter.fillRect(left, y, width, rowHeight, QColor(221, 235, 247));
        font.setBold(row == 0 || row == int(regions.size()));
        painter.setFont(font);
        painter.setPen(row == 0 ? Qt::white : Qt::black);
        int x = left;
        for (int c = 0; c < 5; ++c) {
            painter.drawText(QRect(x + 20, y, widths[c] - 40, rowHeight),
                             (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                             cells[c]);
            x += widths[c];
        }
        truth += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
        painter.setPen(QPen(QColor(90, 90, 90), 2));
        painter.drawLine(left, y + rowHeight, left + width, y + rowHeight);
    }
    painter.end();
    return {image, truth};
}

} // namespace FaultPage
