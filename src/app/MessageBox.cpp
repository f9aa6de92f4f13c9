#include "MessageBox.h"

#include "AlertSound.h"
#include "Colors.h"
#include "Cursors.h"
#include "FlatButton.h"
#include "VelaError.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <QWindow>
#include <algorithm>
#include <limits>

namespace {

constexpr int kButtonTop = 6;
constexpr int kButtonWidth = 83;
constexpr int kButtonHeight = 25;
constexpr int kPanelHeight = 41;

QFont pixelFont(const QString& family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

// A decimal integer with an optional sign and nothing else.
int StrToInt(const QString& text) {
    bool ok = !text.isEmpty();
    long long value = 0;
    for (qsizetype i = 0; ok && i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')) && text.size() > 1)
            continue;
        ok = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        value = value * 10 + (c.unicode() - '0');
        ok = ok && value <= std::numeric_limits<int>::max() + 1LL;
    }
    if (ok && text.at(0) == QLatin1Char('-'))
        value = -value;
    if (!ok || value > std::numeric_limits<int>::max())
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<int>(value);
}

// A carriage return starts a new line, alone or before a line feed.
QString withLineFeeds(const QString& message) {
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Lines wider than width wrap (between words, or anywhere in a word too long for a line, as an
// address is); lines beyond maxLines are left out, the last one shown ending in an ellipsis.
QString labelText(const QString& text, const QFont& font, int width, int maxLines) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid() && lines.size() <= maxLines;
             line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        if (lines.size() > maxLines)
            break;
    }
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        lines.back() =
            QFontMetrics(font).elidedText(lines.back() + QChar(0x2026), Qt::ElideRight, width);
    }
    return lines.join(QLatin1Char('\n'));
}

TFlatButton* answerButton(QWidget* panel, QDialog* form, const QString& caption, int result,
                          const QFont& font) {
    auto* button = new TFlatButton(panel, form);
    button->SetCaption(caption);
    button->SetModalResult(result);
    button->SetFont(font);
    button->resize(kButtonWidth, kButtonHeight);
    Cursors::SetControlCursor(button, Cursors::crHandPoint);
    return button;
}

} // namespace

TfrmMessageBox::TfrmMessageBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    // The program's own form, not a standard dialog: hooks that re-caption dialogs skip it.
    setProperty("windowClassName", QStringLiteral("TfrmMessageBox"));
    setWindowTitle(QStringLiteral("Confirm"));
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
    // Black text and light flat buttons on a light form, in any palette of the desktop.
    setPalette(LightControlPalette());
    setAttribute(Qt::WA_InputMethodEnabled, false);
    resize(322, 106);

    img0 = style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32);
    img1 = style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32);
    img2 = style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32);
    img4 = style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32);

    Image1 = new QLabel(this);
    Image1->setGeometry(14, 14, 32, 32);
    Image1->setPixmap(img0);

    lblMsg = new QLabel(this);
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMsg->setFont(pixelFont(QStringLiteral("ＭＳ Ｐゴシック"), 12));
    QPalette black = lblMsg->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblMsg->setPalette(black);
    lblMsg->move(63, 18);

    pnlButton = new QWidget(this);
    const QFont buttonFont = lblMsg->font();
    btnMode1 = answerButton(pnlButton, this, QStringLiteral("はい(Y)"), mrYes, buttonFont);
    btnMode2 = answerButton(pnlButton, this, QStringLiteral("いいえ(N)"), mrNo, buttonFont);
    btnMode3 = answerButton(pnlButton, this, QStringLiteral("ｷｬﾝｾﾙ(ESC)"), mrCancel, buttonFont);
    for (TFlatButton* button : {btnMode1, btnMode2, btnMode3})
        button->installEventFilter(this);
    placeButtons();
}

QSize TfrmMessageBox::BoxSize(const QRect& label) {
    const int right = label.x() + label.width();
    return QSize(right + 20 > 350 ? right + 36 : 350, label.y() + label.height() + 100);
}

QPoint TfrmMessageBox::BoxPosition(const QRect& owner, const QSize& box, const QRect& workArea) {
    int left = owner.x() + (owner.width() - box.width()) / 2;
    int top = owner.y() + (owner.height() - box.height()) / 2;
    // In this order, so that a box larger than the work area keeps its bottom and right edge
    // on the work area's.
    if (top < workArea.top())
        top = workArea.top();
    if (left < workArea.left())
        left = workArea.left();
    if (top + box.height() > workArea.bottom() + 1)
        top = workArea.bottom() + 1 - box.height();
    if (left + box.width() > workArea.right() + 1)
        left = workArea.right() + 1 - box.width();
    return QPoint(left, top);
}

int TfrmMessageBox::ModeNumber(const QString& mode) {
    const QString m = mode.toLower();
    if (m == QLatin1String("yn"))
        return 2;
    if (m == QLatin1String("yc"))
        return 3;
    if (m == QLatin1String("ync"))
        return 4;
    return 1;
}

void TfrmMessageBox::PrepareBox(QWidget* owner, const QString& caption, const QString& message,
                                const QString& icon, const QString& mode, int defaultButton) {
    setWindowTitle(caption);
    m_message = withLineFeeds(message);
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    // The box stays within two thirds of the work area's width and within its height: a
    // longer message wraps, and what does not fit is cut.
    const QRect label = lblMsg->geometry();
    const int maxWidth = std::max(workArea.width() * 2 / 3, 350) - label.x() - 36;
    const int maxLines = std::max(1, (workArea.height() - label.y() - 100) /
                                         QFontMetrics(lblMsg->font()).lineSpacing());
    lblMsg->setText(labelText(m_message, lblMsg->font(), maxWidth, maxLines));
    lblMsg->adjustSize();
    lblMsg->resize(std::min(lblMsg->width(), maxWidth), lblMsg->height());

    const char16_t first = icon.isEmpty() ? u'\0' : icon.at(0).toLower().unicode();
    switch (first) {
    case '!':
        Image1->setPixmap(img2);
        PlayAlertSound(AlertSound::Asterisk);
        break;
    case '?':
        Image1->setPixmap(img1);
        PlayAlertSound(AlertSound::Exclamation);
        break;
    case 'i':
        Image1->setPixmap(img0);
        PlayAlertSound(AlertSound::Exclamation);
        break;
    case 'x':
        Image1->setPixmap(img4);
        PlayAlertSound(AlertSound::Hand);
        break;
    default:
        break;
    }

    // Width and height are the outer size; the client area is what the frame leaves.
    const QSize size = BoxSize(lblMsg->geometry());
    create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setFixedSize(size.shrunkBy(frame));
    m_outerWidth = size.width();
    QRect ownerFrame = workArea;
    if (owner)
        ownerFrame = owner->isWindow() ? owner->frameGeometry()
                                       : QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    move(BoxPosition(ownerFrame, size, workArea));

    m_mode = ModeNumber(mode);
    placeButtons();

    m_defaultButton = defaultButton;
    if (m_defaultButton == 2 && btnMode2->isHidden())
        m_defaultButton = 3;
    else if (m_defaultButton == 3 && btnMode3->isHidden())
        m_defaultButton = 2;
}

void TfrmMessageBox::placeButtons() {
    pnlButton->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
    const bool no = m_mode == 2 || m_mode == 4;
    const bool cancel = m_mode == 3 || m_mode == 4;
    btnMode2->setVisible(no);
    btnMode3->setVisible(cancel);
    // Side by side from the right, without a gap.
    // Measured in the client area from the box's outer width.
    int left = m_outerWidth - 95;
    for (TFlatButton* button : {btnMode3, btnMode2, btnMode1}) {
        if (button->isHidden())
            continue;
        button->move(left, kButtonTop);
        left -= kButtonWidth;
    }
}

void TfrmMessageBox::showEvent(QShowEvent* event) {
    // Letter keys must arrive as plain keys, not as input for a composition.
    if (QInputMethod* im = QGuiApplication::inputMethod()) {
        im->reset();
        im->hide();
    }
    QDialog::showEvent(event);
    TFlatButton* target = m_defaultButton == 1   ? btnMode1
                          : m_defaultButton == 2 ? btnMode2
                                                 : btnMode3;
    // A hidden button cannot take the focus; it then stays where the form put it.
    if (!target->isHidden())
        target->setFocus(Qt::OtherFocusReason);
}

bool TfrmMessageBox::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // Ctrl+N or Alt+Y mean something else to the user than the answer.
    if ((key == Qt::Key_N || key == Qt::Key_Y) &&
        (modifiers & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    switch (key) {
    case Qt::Key_Escape:
        done(!btnMode3->isHidden() ? mrCancel : !btnMode2->isHidden() ? mrNo : mrYes);
        return true;
    case Qt::Key_N:
        if (btnMode2->isHidden())
            return false;
        done(mrNo);
        return true;
    case Qt::Key_Y:
        if (btnMode1->isHidden())
            return false;
        done(mrYes);
        return true;
    default:
        return false;
    }
}

bool TfrmMessageBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->parent() == pnlButton &&
        FormKeyDown(static_cast<QKeyEvent*>(event)->key(),
                    static_cast<QKeyEvent*>(event)->modifiers()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TfrmMessageBox::keyPressEvent(QKeyEvent* event) {
    if (FormKeyDown(event->key(), event->modifiers()))
        return;
    QDialog::keyPressEvent(event);
}

void TfrmMessageBox::reject() {
    done(m_mode == 1 ? mrYes : m_mode == 2 ? mrNo : mrCancel);
}

int ShowMessageBox(QWidget* owner, const QString& caption, const QString& message,
                   const QString& icon, const QString& mode, const QString& defaultButton) {
    const int button = StrToInt(defaultButton);
    // The box may go with its parent while it is up (the program being closed).
    QPointer<TfrmMessageBox> box = new TfrmMessageBox(owner ? owner->window() : nullptr);
    box->PrepareBox(owner, caption, message, icon, mode, button);
    const int result = box->exec();
    if (!box)
        return TfrmMessageBox::mrCancel;
    delete box;
    return result;
}
