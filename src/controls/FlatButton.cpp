#include "FlatButton.h"

#include "DialogKeys.h"
#include "GdiFigures.h"
#include "GradientFill.h"

#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int vkReturn = 13;
constexpr int vkEscape = 27;

// Colours of the look, as red, green, blue.
const QColor kBody(214, 211, 211);
const QColor kFrame(0, 60, 116);
constexpr TColor kFaceLight = RGBColor(253, 253, 253);
constexpr TColor kFaceDark = RGBColor(205, 204, 223);
const QColor kTopLine(206, 231, 255);
const QColor kBottomLine(105, 130, 238);
const QColor kInnerFrame(188, 212, 246);
const QColor kHighlight(255, 255, 255);
const QColor kHotFrame(248, 179, 48);
const QColor kDisabledBody(241, 241, 237);
const QColor kDisabledFrame(196, 195, 191);
const QColor kDisabledText(161, 161, 146);

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TFlatButton::TFlatButton(QWidget* parent, QObject* owner) : QWidget(parent), m_owner(owner) {
    m_font = QFont(QStringLiteral("MS Sans Serif"));
    m_font.setPixelSize(11);
    resize(75, 25);
    setFocusPolicy(Qt::TabFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAttribute(Qt::WA_OpaquePaintEvent);
    grabMnemonic();
    hookForm();
}

TFlatButton::~TFlatButton() = default;

void TFlatButton::SetCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    grabMnemonic();
    repaint();
}

void TFlatButton::SetFont(const QFont& font) {
    if (font == m_font)
        return;
    m_font = font;
    repaint();
}

void TFlatButton::SetFontColor(TColor color) {
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    repaint();
}

void TFlatButton::SetTabStop(bool on) {
    if (on == m_tabStop)
        return;
    m_tabStop = on;
    // A click still focuses the button; only the tab chain passes it by.
    setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
}

QObject* TFlatButton::Owner() const {
    return m_owner ? m_owner.data() : window();
}

void TFlatButton::Click() {
    const QPointer<TFlatButton> self(this);
    if (OnClick)
        OnClick(this);
    if (!self || m_modalResult == 0)
        return;
    auto* form = qobject_cast<QDialog*>(Owner());
    if (!form)
        return;
    // Only a modal form ends on its result; any other form just keeps it.
    if (form->isVisible() && form->isModal())
        form->done(m_modalResult);
    else
        form->setResult(m_modalResult);
}

void TFlatButton::DialogKey(int virtualKey) {
    if (isEnabled() &&
        ((m_cancel && virtualKey == vkEscape) || (m_default && virtualKey == vkReturn)))
        Click();
}

bool TFlatButton::DialogChar(QChar c) {
    const QChar accelerator = Accelerator(m_caption);
    // A disabled or hidden button does not answer to its accelerator.
    if (accelerator.isNull() || !isEnabled() || !isVisible() ||
        accelerator.toUpper() != c.toUpper())
        return false;
    Click();
    return true;
}

QString TFlatButton::DisplayText(const QString& caption) {
    QString text = caption;
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0)
        text.remove(amp, 1);
    return text;
}

QChar TFlatButton::Accelerator(const QString& caption) {
    // "&&" stands for a literal ampersand and names no accelerator.
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return caption.at(i + 1);
        ++i;
    }
    return QChar();
}

void TFlatButton::hookForm() {
    // A button on its own is no form; it answers its own keys.
    if (window() != this)
        HookDialogKeys(window());
}

void TFlatButton::grabMnemonic() {
    if (m_mnemonicId != 0)
        releaseShortcut(m_mnemonicId);
    m_mnemonicId = 0;
    const QKeySequence alt = QKeySequence::mnemonic(m_caption);
    if (!alt.isEmpty())
        m_mnemonicId = grabShortcut(alt);
}

bool TFlatButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Shortcut:
        if (static_cast<QShortcutEvent*>(event)->shortcutId() == m_mnemonicId) {
            Click();
            return true;
        }
        break;
    case QEvent::ParentChange:
    case QEvent::Show:
        hookForm();
        break;
    case QEvent::ToolTip:
        if (!m_showHint)
            return true;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TFlatButton::setHot(bool hot) {
    if (hot == m_hot)
        return;
    m_hot = hot;
    repaint();
}

void TFlatButton::enterEvent(QEnterEvent*) {
    setHot(true);
}

void TFlatButton::leaveEvent(QEvent*) {
    setHot(false);
}

void TFlatButton::mousePressEvent(QMouseEvent* event) {
    // Other buttons are taken and dropped here: no context menu, nothing for the parent.
    event->accept();
    if (event->button() != Qt::LeftButton || m_pressed)
        return;
    m_pressed = true;
    if (!hasFocus() && isEnabled())
        setFocus(Qt::MouseFocusReason);
    repaint();
}

void TFlatButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    // The platform hands a release outside to whatever is there, so the button stays down.
    if (event->button() != Qt::LeftButton || !m_pressed ||
        !rect().contains(event->position().toPoint()))
        return;
    m_pressed = false;
    repaint();
    Click();
}

void TFlatButton::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        Click();
}

void TFlatButton::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held Qt reports no enter or leave; the look still follows the mouse.
    if (event->buttons() != Qt::NoButton)
        setHot(rect().contains(event->position().toPoint()));
    event->accept();
}

void TFlatButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((isEnterKey(key) || key == Qt::Key_Escape) &&
        OfferDialogKey(window(), isEnterKey(key) ? vkReturn : vkEscape)) {
        event->accept();
        return;
    }
    if (!m_pressed && (isEnterKey(key) || key == Qt::Key_Space)) {
        m_pressed = true;
        update();
    }
    // Enter and Escape were the form's already; letters travel up as mnemonics.
    if (isEnterKey(key) || key == Qt::Key_Escape || key == Qt::Key_Space)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TFlatButton::keyReleaseEvent(QKeyEvent* event) {
    // Qt reports a held key as repeated release and press pairs; only the last release counts.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    if (m_pressed) {
        m_pressed = false;
        update();
        const QPointer<TFlatButton> self(this);
        Click();
        if (!self)
            return;
    }
    QWidget::keyReleaseEvent(event);
}

void TFlatButton::focusInEvent(QFocusEvent* event) {
    if (!m_focused) {
        m_focused = true;
        update();
    }
    QWidget::focusInEvent(event);
    if (!m_entered) {
        m_entered = true;
        if (OnEnter)
            OnEnter(this);
    }
}

void TFlatButton::focusOutEvent(QFocusEvent* event) {
    if (m_focused) {
        m_focused = false;
        update();
    }
    QWidget::focusOutEvent(event);
    // Losing the focus with the window is no exit: the button stays its form's active control.
    const bool windowChange =
        event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
    if (m_entered && !windowChange) {
        m_entered = false;
        if (OnExit)
            OnExit(this);
    }
}

void TFlatButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        repaint();
    else if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

void TFlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, render());
}

QImage TFlatButton::render() const {
    QImage image(size(), QImage::Format_RGB32);
    // What the platform erases the window with before it paints.
    image.fill(ToQColor(clBtnFace, &palette()));
    {
        QPainter canvas(&image);
        canvas.setRenderHint(QPainter::Antialiasing, false);
        if (isEnabled())
            paintEnabled(canvas, image);
        else
            paintDisabled(canvas);
    }
    if (isEnabled() && m_focused)
        GdiFigures::FocusRect(image, QRect(QPoint(4, 4), QPoint(width() - 5, height() - 5)));
    return image;
}

void TFlatButton::paintEnabled(QPainter& canvas, QImage&) const {
    using namespace GdiFigures;
    const int w = width();
    const int h = height();
    const bool sunk = m_pressed && m_hot;
    RoundRect(canvas, 0, 0, w, h, 3, 3, kBody, kBody);
    RoundRect(canvas, 1, 1, w - 1, h - 1, 5, 5, kFrame, std::nullopt);
    // The step count is a byte: larger values keep their low byte.
    FillGradient(canvas, QRect(QPoint(4, 4), QPoint(w - 5, h - 5)), kFaceLight, kFaceDark,
                 sunk ? gdBottomToTop : gdTopToBottom, quint8(sunk ? h / 2 : h / 3));
    Line(canvas, 3, 2, w - 3, 2, kTopLine);
    Line(canvas, 3, h - 3, w - 3, h - 3, kBottomLine);
    FrameRectangle(canvas, 2, 3, w - 2, h - 3, kInnerFrame);
    Line(canvas, 3, 4, 3, h - 4, kHighlight);
    Line(canvas, w - 4, 4, w - 4, h - 4, kHighlight);
    Line(canvas, 3, h - 1, w - 3, h - 1, kHighlight);
    Line(canvas, w - 1, h - 4, w - 1, 2, kHighlight);
    if (m_hot)
        RoundRect(canvas, 3, 3, w - 3, h - 3, 2, 2, kHotFrame, std::nullopt);
    paintCaption(canvas, ToQColor(m_fontColor, &LightControlPalette()), m_pressed ? 1 : 0);
}

void TFlatButton::paintDisabled(QPainter& canvas) const {
    using namespace GdiFigures;
    const int w = width();
    const int h = height();
    RoundRect(canvas, 0, 0, w, h, 3, 3, kBody, kDisabledBody);
    const QColor face = ToQColor(clBtnFace, &palette());
    for (const QPoint& corner :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(w - 1, h - 1), QPoint(0, h - 1)})
        canvas.fillRect(QRect(corner, QSize(1, 1)), face);
    RoundRect(canvas, 1, 1, w - 1, h - 1, 5, 5, kDisabledFrame, std::nullopt);
    paintCaption(canvas, kDisabledText, 0);
}

void TFlatButton::paintCaption(QPainter& canvas, const QColor& colour, int offset) const {
    canvas.setFont(m_font);
    const QFontMetrics metrics = canvas.fontMetrics();
    const QString text = DisplayText(m_caption);
    const int tw = metrics.horizontalAdvance(text);
    const int th = metrics.height();
    const int left = (width() - tw) / 2;
    const int top = (height() - th) / 2;
    canvas.save();
    canvas.setClipRect(QRect(QPoint(4, 4), QPoint(width() - 5, height() - 5)));
    canvas.setPen(colour);
    canvas.drawText(left + offset, top + offset + metrics.ascent(), text);
    canvas.restore();

    const qsizetype amp = m_caption.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return;
    // Under the accelerator character, one pixel below the text cell.
    const int x1 = left + metrics.horizontalAdvance(text.left(amp)) + offset;
    const int x2 = left + metrics.horizontalAdvance(text.left(amp + 1)) + offset;
    GdiFigures::Line(canvas, x1, top + th + offset, x2, top + th + offset, colour);
}
