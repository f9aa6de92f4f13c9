#include "OfficePage.h"

#include "RenderedPage.h"

#include <QFontMetrics>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <cmath>
#include <random>

namespace OfficePage {

namespace {

int dotsPerMeter(int dpi) {
    return int(std::lround(dpi / 0.0254));
}

// One page being drawn, and the text it holds in reading order.
class Sheet {
public:
    Sheet(int width, int height, bool japanese, bool serif = false)
        : m_image(width, height, QImage::Format_RGB32), m_japanese(japanese) {
        m_image.setDotsPerMeterX(dotsPerMeter(RenderedPage::Dpi));
        m_image.setDotsPerMeterY(dotsPerMeter(RenderedPage::Dpi));
        m_image.fill(Qt::white);
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_family = japanese
                       ? (serif ? QStringLiteral("IPAMincho") : QStringLiteral("IPAGothic"))
                       : (serif ? QStringLiteral("DejaVu Serif") : QStringLiteral("DejaVu Sans"));
        SetFont(11);
    }

    void SetFont(int points, bool bold = false, const QString& family = {}) {
        QFont font(family.isEmpty() ? m_family : family);
        font.setPointSize(points);
        font.setBold(bold);
        m_painter.setFont(font);
    }
    QFontMetrics Metrics() { return QFontMetrics(m_painter.font(), &m_image); }
    QPainter& Painter() { return m_painter; }

    // Draws text in the box with the given alignment; the text is not added to the truth.
    void Draw(const QRect& box, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter,
              const QColor& colour = Qt::black) {
        m_painter.setPen(colour);
        m_painter.drawText(box, flags, text);
    }
    // Draws a text and adds it to the truth as a line of its own.
    void Heading(const QRect& box, const QString& text,
                 int flags = Qt::AlignLeft | Qt::AlignVCenter, const QColor& colour = Qt::black) {
        Draw(box, text, flags, colour);
        Line(text);
    }
    // Draws a paragraph wrapped in the box and adds it to the truth.
    void Paragraph(const QRect& box, const QString& text) {
        Draw(box, text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        Line(text);
    }
    void Rule(int x1, int y1, int x2, int y2, int width = 3) {
        m_painter.setPen(QPen(Qt::black, width));
        m_painter.drawLine(x1, y1, x2, y2);
    }
    void Line(const QString& text) { m_truth += text + QLatin1Char('\n'); }

    Page Done(const QString& name) {
        m_painter.end();
        return {name, m_image, m_truth.trimmed()};
    }
    bool Japanese() const { return m_japanese; }

private:
    QImage m_image;
    QPainter m_painter;
    QString m_family;
    QString m_truth;
    bool m_japanese;
};

QString pick(bool japanese, const char* english, const char* japaneseText) {
    return QString::fromUtf8(japanese ? japaneseText : english);
}

QStringList listOf(bool japanese, const char* english, const char* japaneseText) {
    return pick(japanese, english, japaneseText).split(QLatin1Char('|'));
}

// Two columns of part numbers and the tables they are listed in, with no rules: digits and
// short codes only, whose shapes say little about which way is up.
Page codes(bool japanese) {
    Sheet s(1500, 1400, japanese);
    s.SetFont(12);
    for (int i = 0; i < 12; ++i) {
        const QString part = QString::number(i + 1);
        const QString table = QStringLiteral("%1 A-%2 A").arg(13 + i).arg(14 + i);
        const int y = 120 + i * 95;
        s.Draw(QRect(150, y, 500, 80), part);
        s.Draw(QRect(800, y, 600, 80), table);
        s.Line(part + QLatin1Char('\t') + table);
    }
    return s.Done(QStringLiteral("Codes"));
}

// A ruled grid: a dark header row with light text, shaded alternate rows, one coloured column.
Page table(bool japanese) {
    const QStringList header =
        listOf(japanese, "Item|Code|Quantity|Price|Amount", "品名|型番|数量|単価|金額");
    const QStringList items = listOf(japanese,
                                     "Steel bolts|Copper wire|Rubber seals|Glass panels|Oak boards|"
                                     "Paint cans|Brass hinges",
                                     "六角ボルト|銅線|ゴム製パッキン|板ガラス|木材|塗料|真鍮金具");
    const int widths[] = {520, 330, 300, 260, 330};
    const int rowHeight = 110, left = 100, top = 150;
    int width = 0;
    for (int w : widths)
        width += w;
    Sheet s(width + 2 * left, top + rowHeight * int(items.size() + 1) + 200, japanese);
    auto& painter = s.Painter();
    for (int row = 0; row <= int(items.size()); ++row) {
        const int y = top + row * rowHeight;
        QStringList cells;
        if (row == 0) {
            cells = header;
        } else {
            const int n = row * 37 + 11;
            cells = {items[row - 1],
                     QStringLiteral("%1 %2-%3").arg(n % 90).arg(QChar('A' + row)).arg(row * 3),
                     QString::number(n * 3), QString::number(n % 17 + 2),
                     QString::number((n * 3) * (n % 17 + 2))};
        }
        int x = left;
        for (int column = 0; column < 5; ++column) {
            const QRect cell(x, y, widths[column], rowHeight);
            QColor fill = Qt::white;
            if (row == 0)
                fill = QColor(31, 56, 100);
            else if (column == 4)
                fill = row % 2 ? QColor(255, 230, 153) : QColor(198, 224, 180);
            else if (row % 2 == 0)
                fill = QColor(217, 217, 217);
            painter.fillRect(cell, fill);
            s.SetFont(11, row == 0);
            s.Draw(cell.adjusted(25, 0, -25, 0), cells[column],
                   (column >= 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                   row == 0 ? Qt::white : Qt::black);
            x += widths[column];
        }
        s.Line(cells.join(QLatin1Char('\t')));
    }
    // The grid over the fills.
    const int bottom = top + rowHeight * int(items.size() + 1);
    for (int row = 0; row <= int(items.size()) + 1; ++row)
        s.Rule(left, top + row * rowHeight, left + width, top + row * rowHeight);
    int x = left;
    s.Rule(x, top, x, bottom);
    for (int w : widths) {
        x += w;
        s.Rule(x, top, x, bottom);
    }
    return s.Done(QStringLiteral("Table"));
}

QStringList sentences(bool japanese) {
    if (japanese)
        return QString::fromUtf8("会議は午前十時に始まり、担当者が前年度の結果を報告しました。|"
                                 "売上は前年より八パーセント増え、特に海外での販売が伸びました。|"
                                 "一方で原材料の価格が上がり、利益は少し減っています。|"
                                 "来年度は新しい工場の建設を進める予定です。|"
                                 "社員の研修制度も見直し、若い人材の育成に力を入れます。|"
                                 "質問の時間には、株主から配当についての意見が出されました。|"
                                 "議長は丁寧に答え、会議は正午に終わりました。|"
                                 "次回の会議は九月に東京の本社で開かれます。")
            .split(QLatin1Char('|'));
    return QStringLiteral(
               "The meeting opened at ten and the treasurer presented last year's results.|"
               "Sales grew by eight percent, mostly from orders placed abroad.|"
               "Rising prices of raw materials reduced the margin slightly.|"
               "Next year the company plans to build a second plant near the harbour.|"
               "Training for new staff will be reviewed and extended to all offices.|"
               "During questions, several members asked about the dividend policy.|"
               "The chair answered each of them and closed the meeting at noon.|"
               "The next meeting will be held in September at the head office.")
        .split(QLatin1Char('|'));
}

// A boxed page of numbered lines, the numbers in a margin column, a page number below.
Page transcript(bool japanese) {
    const QStringList pool = sentences(japanese);
    const int lines = 25, lineHeight = 78, top = 150, left = 120, width = 1900;
    Sheet s(left * 2 + width, top + lines * lineHeight + 300, japanese, true);
    s.SetFont(11);
    const int bottom = top + lines * lineHeight + 40;
    s.Painter().setPen(QPen(Qt::black, 4));
    s.Painter().drawRect(left, top - 20, width, bottom - top + 20);
    s.Rule(left + 140, top - 20, left + 140, bottom);
    for (int i = 0; i < lines; ++i) {
        const QString text = pool[i % pool.size()];
        QString shown = text;
        // Lines of uneven length, as speech is.
        if (i % 3 == 1)
            shown = text.left(text.size() * 2 / 3);
        const int y = top + i * lineHeight;
        s.Draw(QRect(left, y, 110, lineHeight), QString::number(i + 1),
               Qt::AlignRight | Qt::AlignVCenter);
        s.Draw(QRect(left + 180, y, width - 200, lineHeight), shown);
        s.Line(QStringLiteral("%1 %2").arg(i + 1).arg(shown));
    }
    s.Draw(QRect(0, bottom + 80, left * 2 + width, 80), QStringLiteral("17"), Qt::AlignCenter);
    s.Line(QStringLiteral("17"));
    return s.Done(QStringLiteral("Transcript"));
}

// Labels beside boxes holding the values, a title above.
Page form(bool japanese) {
    const QStringList fields = listOf(japanese,
                                      "Name|Mary Johnson|Department|Accounts|Employee number|"
                                      "40-2277|Leave from|3 June 2024|Leave until|14 June 2024|"
                                      "Reason|Family visit|Approved by|Peter Brown",
                                      "氏名|山田花子|所属|経理部|社員番号|40-2277|開始日|"
                                      "2024年6月3日|終了日|2024年6月14日|理由|家族の訪問|"
                                      "承認者|鈴木一郎");
    Sheet s(2000, 1400, japanese);
    s.SetFont(16, true);
    s.Heading(QRect(0, 80, 2000, 120), pick(japanese, "Application for Leave", "休暇申請書"),
              Qt::AlignCenter);
    s.SetFont(11);
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        const int y = 260 + (i / 2) * 140;
        s.Draw(QRect(120, y, 560, 100), fields[i]);
        s.Painter().setPen(QPen(Qt::black, 3));
        s.Painter().drawRect(700, y, 1150, 100);
        s.Draw(QRect(730, y, 1100, 100), fields[i + 1]);
        s.Line(fields[i] + QLatin1Char(' ') + fields[i + 1]);
    }
    return s.Done(QStringLiteral("Form"));
}

// A magazine page: a heading across the page over paragraphs set in columns, a photograph
// with its caption in the last column, a paragraph on a shaded ground in the first.
Page columns(bool japanese, int count) {
    const QStringList pool = sentences(japanese);
    const int width = 2300, height = 2300, gap = 90, margin = 130;
    Sheet s(width, height, japanese, true);
    s.SetFont(18, true);
    const QString heading = pick(japanese, "Annual Report of the Company", "年次報告");
    s.Heading(QRect(margin, 80, width - 2 * margin, 150), heading);
    const int columnWidth = (width - 2 * margin - gap * (count - 1)) / count;
    for (int c = 0; c < count; ++c) {
        const int x = margin + c * (columnWidth + gap);
        int y = 280;
        if (c == count - 1) {
            QLinearGradient dusk(x, y, x + columnWidth, y + 450);
            dusk.setColorAt(0, QColor(40, 50, 70));
            dusk.setColorAt(1, QColor(150, 120, 90));
            s.Painter().fillRect(QRect(x, y, columnWidth, 450), dusk);
            s.SetFont(9);
            const QString caption = pick(japanese, "The harbour at dawn.", "夜明けの港");
            s.Paragraph(QRect(x, y + 470, columnWidth, 100), caption);
            y += 620;
        }
        s.SetFont(count == 2 ? 11 : 10);
        for (int p = 0; p < 2; ++p) {
            QString text;
            for (int k = 0; k < 3; ++k)
                text += (text.isEmpty() || japanese ? QString() : QStringLiteral(" ")) +
                        pool[(c * 3 + p * 4 + k) % pool.size()];
            const QRect box(x, y, columnWidth, height - y - 100);
            const int used = s.Metrics().boundingRect(box, Qt::TextWordWrap, text).height();
            if (c == 0 && p == 1)
                s.Painter().fillRect(box.adjusted(-20, -20, 20, used + 20 - box.height()),
                                     QColor(222, 226, 235));
            s.Paragraph(box, text);
            y += used + 70;
        }
    }
    return s.Done(count == 2 ? QStringLiteral("TwoColumns") : QStringLiteral("ThreeColumns"));
}

// A title bar in colour with light text, bullet points, a footer.
Page slide(bool japanese) {
    Sheet s(2400, 1350, japanese);
    s.Painter().fillRect(0, 0, 2400, 280, QColor(0, 84, 147));
    s.SetFont(26, true);
    const QString title = pick(japanese, "Quarterly Results", "四半期の業績");
    s.Heading(QRect(140, 0, 2200, 280), title, Qt::AlignLeft | Qt::AlignVCenter, Qt::white);
    s.SetFont(16);
    const QStringList bullets = listOf(japanese,
                                       "Revenue up 12 percent|Three new customers in Asia|"
                                       "Costs held at last year's level|Hiring plan approved",
                                       "売上高は十二パーセント増加|アジアで新規顧客三社|"
                                       "費用は前年並みに抑制|採用計画を承認");
    for (int i = 0; i < bullets.size(); ++i) {
        const int y = 380 + i * 190;
        s.Painter().fillRect(160, y + 55, 36, 36, QColor(0, 84, 147));
        s.Draw(QRect(250, y, 2000, 140), bullets[i]);
        s.Line(bullets[i]);
    }
    s.SetFont(9);
    const QString footer = pick(japanese, "Page 4", "4 ページ");
    s.Heading(QRect(140, 1240, 2120, 70), footer, Qt::AlignRight | Qt::AlignVCenter);
    return s.Done(QStringLiteral("Slide"));
}

// A narrow till receipt: items with prices at the right edge, totals.
Page receipt(bool japanese) {
    const QStringList items =
        listOf(japanese,
               "Coffee beans|12.50|Whole milk|1.89|Brown bread|3.20|"
               "Apples|4.75|Olive oil|8.99|Subtotal|31.33|Tax|2.51|Total|33.84",
               "コーヒー豆|1250|牛乳|189|食パン|320|りんご|475|"
               "オリーブ油|899|小計|3133|消費税|251|合計|3384");
    Sheet s(1000, 1700, japanese);
    s.SetFont(13, true);
    s.Heading(QRect(0, 60, 1000, 110), pick(japanese, "Corner Market", "まちかど商店"),
              Qt::AlignCenter);
    s.SetFont(10, false, japanese ? QString() : QStringLiteral("DejaVu Sans Mono"));
    const QString date = QStringLiteral("2024-05-17 18:42");
    s.Heading(QRect(0, 190, 1000, 70), date, Qt::AlignCenter);
    for (int i = 0; i + 1 < items.size(); i += 2) {
        const int y = 330 + (i / 2) * 100 + (i >= 10 ? 60 : 0);
        if (i == 10)
            s.Rule(80, y - 40, 920, y - 40, 2);
        s.Draw(QRect(80, y, 600, 80), items[i]);
        s.Draw(QRect(600, y, 320, 80), items[i + 1], Qt::AlignRight | Qt::AlignVCenter);
        s.Line(items[i] + QLatin1Char(' ') + items[i + 1]);
    }
    return s.Done(QStringLiteral("Receipt"));
}

// A bar chart: title, axis numbers, a value on every bar, a label under it, a legend.
Page chart(bool japanese) {
    Sheet s(2200, 1500, japanese);
    s.SetFont(16, true);
    const QString title = pick(japanese, "Monthly Sales", "月別売上");
    s.Heading(QRect(0, 50, 2200, 120), title, Qt::AlignCenter);
    s.SetFont(10);
    const int axisX = 300, axisY = 1200, scale = 4;
    for (int tick = 0; tick <= 200; tick += 50) {
        const int y = axisY - tick * scale;
        s.Draw(QRect(60, y - 40, 200, 80), QString::number(tick),
               Qt::AlignRight | Qt::AlignVCenter);
        s.Rule(axisX - 15, y, axisX, y, 2);
    }
    s.Line(QStringLiteral("0 50 100 150 200"));
    s.Rule(axisX, axisY - 210 * scale, axisX, axisY, 3);
    s.Rule(axisX, axisY, 2100, axisY, 3);
    const int values[] = {120, 145, 98, 170, 185, 132};
    QStringList labels, numbers;
    for (int i = 0; i < 6; ++i) {
        const int x = axisX + 80 + i * 290;
        s.Painter().fillRect(x, axisY - values[i] * scale, 170, values[i] * scale,
                             QColor(68, 114, 196));
        s.Draw(QRect(x - 40, axisY - values[i] * scale - 90, 250, 80), QString::number(values[i]),
               Qt::AlignCenter);
        const QString label = japanese ? QStringLiteral("%1月").arg(i + 1)
                                       : QLocale::c().monthName(i + 1, QLocale::ShortFormat);
        s.Draw(QRect(x - 40, axisY + 20, 250, 80), label, Qt::AlignCenter);
        labels << label;
        numbers << QString::number(values[i]);
    }
    s.Line(numbers.join(QLatin1Char(' ')));
    s.Line(labels.join(QLatin1Char(' ')));
    return s.Done(QStringLiteral("Chart"));
}

QImage specked(const QImage& page, unsigned seed) {
    QImage out = page.convertToFormat(QImage::Format_Grayscale8);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0, out.width()), y(0, out.height()), r(0.8, 2.5);
    std::uniform_int_distribution<int> grey(20, 120);
    const int count = out.width() * out.height() / 12000;
    for (int i = 0; i < count; ++i) {
        const int g = grey(random);
        painter.setBrush(QColor(g, g, g));
        const double radius = r(random);
        painter.drawEllipse(QPointF(x(random), y(random)), radius, radius);
    }
    return out;
}

QImage scanned(const QImage& page) {
    return RenderedPage::Rotated(specked(page, 5), 0.6);
}

QImage copied(const QImage& page) {
    const QImage dirty = specked(page, 9);
    QImage out = dirty.scaled(page.width() * 2 / 3, page.height() * 2 / 3, Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
    out.setDotsPerMeterX(dotsPerMeter(200));
    out.setDotsPerMeterY(dotsPerMeter(200));
    return out;
}

// Words of a text: runs of letters and digits, and every CJK character alone.
QStringList words(const QString& text) {
    QStringList out;
    QString run;
    for (const uint c : text.toUcs4()) {
        const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        const bool cjk = (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) ||
                         (c >= 0xF900 && c <= 0xFAFF);
        if (!cjk && QChar::isLetterOrNumber(c)) {
            run += ch;
            continue;
        }
        if (!run.isEmpty())
            out << run;
        run.clear();
        if (cjk)
            out << ch;
    }
    if (!run.isEmpty())
        out << run;
    return out;
}

} // namespace

std::vector<Page> Set(bool japanese) {
    return {codes(japanese), table(japanese),      transcript(japanese),
            form(japanese),  columns(japanese, 2), columns(japanese, 3),
            slide(japanese), receipt(japanese),    chart(japanese)};
}

std::vector<DegradedPage::Case> Spoilings() {
    return {{QStringLiteral("Scan"), scanned, 75}, {QStringLiteral("Copy"), copied, 0}};
}

double WordAccuracy(const QString& truth, const QString& text) {
    QHash<QString, int> found;
    for (const QString& w : words(text))
        ++found[w];
    const QStringList wanted = words(truth);
    if (wanted.isEmpty())
        return 1.0;
    int hits = 0;
    for (const QString& w : wanted) {
        int& left = found[w];
        if (left > 0) {
            --left;
            ++hits;
        }
    }
    return double(hits) / double(wanted.size());
}

} // namespace OfficePage
