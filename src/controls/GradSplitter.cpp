#include "GradSplitter.h"

#include "MessageWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr std::uintptr_t FadeTimerId = 1;

// The hidden window whose timer drives the fade.
class FadeTimerWindow final : public MessageWindow {
public:
    explicit FadeTimerWindow(std::function<void()> onTick) : m_onTick(std::move(onTick)) {}

protected:
    void WindowProc(Message& message) override {
        if (message.Msg == WM_TIMER && message.WParam == FadeTimerId)
            m_onTick();
        else
            MessageWindow::WindowProc(message);
    }

private:
    std::function<void()> m_onTick;
};

bool fixedAlong(const QWidget* w, bool vertical) {
    return vertical ? w->minimumWidth() == w->maximumWidth()
                    : w->minimumHeight() == w->maximumHeight();
}

} // namespace

TGradSplitter::TGradSplitter(QWidget* parent)
    : QWidget(parent), m_colors(std::make_unique<TGradSplitterColors>(this)),
      m_timerWindow(std::make_unique<FadeTimerWindow>([this] { tick(); })) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetAlign(alLeft);
    SetThickness(5);
}

TGradSplitter::~TGradSplitter() {
    if (m_dragging)
        qApp->removeEventFilter(this);
}

void TGradSplitter::SetAlign(TAlign value) {
    m_align = value;
    SetThickness(m_thickness);
    setCursor(vertical() ? Qt::SplitHCursor : Qt::SplitVCursor);
    SetGripAlign(vertical() ? gaVertical : gaHorizontal);
}

void TGradSplitter::SetThickness(int value) {
    m_thickness = std::max(value, 1);
    if (vertical()) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setFixedWidth(m_thickness);
    } else {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setFixedHeight(m_thickness);
    }
}

void TGradSplitter::RebuildBitmaps() {
    const int w = width(), h = height();
    const QPalette p = palette();
    m_normal = MakeBarImage(w, h);
    m_hover = MakeBarImage(w, h);
    m_normal.fill(ToQColor(m_color, &p));
    m_hover.fill(ToQColor(m_color, &p));
    const bool gripVertical = m_gripAlign == gaVertical;
    const int x = gripVertical ? (w - 3) / 2 : w / 2;
    const int y = gripVertical ? h / 2 : (h - 3) / 2;
    TRect band{0, 0, w, h};
    if (!m_drawAll) {
        if (gripVertical) {
            band.Top = y - 40;
            band.Bottom = y + 40;
        } else {
            band.Left = x - 40;
            band.Right = x + 40;
        }
    }
    const auto draw = [&](QImage& image, TColor from, TColor to) {
        DrawGradient(image, band, from, to, m_gradientType, nullptr, &p);
        if (m_showGrip)
            DrawGrip(image, x, y, m_gripAlign);
    };
    draw(m_normal, m_colors->DefaultFrom(), m_colors->DefaultTo());
    draw(m_hover, m_colors->OverFrom(), m_colors->OverTo());
    update();
}

void TGradSplitter::paintEvent(QPaintEvent*) {
    if (m_normal.height() != height() || m_normal.width() != width())
        RebuildBitmaps();
    // The whole bar is blended, whatever part needs painting: a clipped blend would take the
    // images from their origin and shift them.
    QImage frame = MakeBarImage(width(), height());
    BlendBitmaps(frame, m_normal, m_hover, m_fadeLevel, {0, 0, width(), height()}, 0);
    QPainter(this).drawImage(0, 0, frame);
}

void TGradSplitter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RebuildBitmaps();
}

void TGradSplitter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // System colours in the gradients follow the palette.
    if (event->type() == QEvent::PaletteChange)
        RebuildBitmaps();
}

int TGradSplitter::FadeInterval(TFadeSpeed speed) {
    switch (speed) {
    case fsSlow:
        return 40;
    case fsMedium:
        return 20;
    case fsFast:
        return 12;
    case fsVeryFast:
        return 8;
    }
    return 20;
}

bool TGradSplitter::Fading() const {
    return m_timerWindow->HasTimer(FadeTimerId);
}

void TGradSplitter::startFade(void (TGradSplitter::*step)()) {
    m_timerStep = step;
    m_timerWindow->KillTimer(FadeTimerId);
    m_timerWindow->SetTimer(FadeTimerId, FadeInterval(m_fadeSpeed));
}

void TGradSplitter::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    startFade(&TGradSplitter::FadeIn);
}

void TGradSplitter::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    startFade(&TGradSplitter::FadeOut);
}

void TGradSplitter::tick() {
    if (!m_timerStep)
        return;
    try {
        (this->*m_timerStep)();
    } catch (...) {
        // A failing step must not end the program from inside the timer.
    }
}

void TGradSplitter::FadeIn() {
    m_fadeLevel = m_fadeLevel < 100 ? m_fadeLevel + 10 : 100;
    update();
    if (m_fadeLevel >= 100)
        m_timerWindow->KillTimer(FadeTimerId);
}

void TGradSplitter::FadeOut() {
    if (m_fadeLevel > 0) {
        m_fadeLevel -= 10;
        update();
    } else {
        m_fadeLevel = 0;
        m_timerWindow->KillTimer(FadeTimerId);
        update();
    }
}

QWidget* TGradSplitter::findControl() const {
    QWidget* parent = parentWidget();
    if (!parent || !parent->layout())
        return nullptr;
    // The nearest control on the aligned side that shares the bar's span.
    const QRect bar = geometry();
    QWidget* best = nullptr;
    int bestGap = 0;
    QLayout* layout = parent->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QWidget* w = layout->itemAt(i)->widget();
        if (!w || w == this || w->isHidden())
            continue;
        const QRect g = w->geometry();
        int gap = -1;
        switch (m_align) {
        case alLeft:
            gap = g.bottom() >= bar.top() && g.top() <= bar.bottom() ? bar.left() - g.right() - 1
                                                                     : -1;
            break;
        case alRight:
            gap = g.bottom() >= bar.top() && g.top() <= bar.bottom() ? g.left() - bar.right() - 1
                                                                     : -1;
            break;
        case alTop:
            gap = g.right() >= bar.left() && g.left() <= bar.right() ? bar.top() - g.bottom() - 1
                                                                     : -1;
            break;
        case alBottom:
            gap = g.right() >= bar.left() && g.left() <= bar.right() ? g.top() - bar.bottom() - 1
                                                                     : -1;
            break;
        }
        if (gap >= 0 && (!best || gap < bestGap)) {
            best = w;
            bestGap = gap;
        }
    }
    return best;
}

int TGradSplitter::largestSize() const {
    QLayout* layout = parentWidget()->layout();
    const QRect client = layout->contentsRect();
    int size = (vertical() ? client.width() : client.height()) - m_minSize;
    // Every control of fixed extent along the axis is aligned; the stretching one is not.
    for (int i = 0; i < layout->count(); ++i) {
        const QWidget* w = layout->itemAt(i)->widget();
        if (w && w != m_control && !w->isHidden() && fixedAlong(w, vertical()))
            size -= extentOf(w);
    }
    return size;
}

void TGradSplitter::applySize(int size) {
    if (!m_control)
        return;
    if (vertical())
        m_control->setFixedWidth(size);
    else
        m_control->setFixedHeight(size);
    // Live resizing shows the new layout at once, not at the next pass of the event loop.
    if (QLayout* layout = parentWidget() ? parentWidget()->layout() : nullptr)
        layout->activate();
}

void TGradSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_dragging)
        return;
    m_control = findControl();
    if (!m_control)
        return;
    m_maxSize = largestSize();
    m_downPos = along(event->globalPosition().toPoint());
    m_startSize = extentOf(m_control);
    m_newSize = m_startSize;
    m_dragging = true;
    // Escape ends the drag wherever the keyboard focus is.
    qApp->installEventFilter(this);
}

void TGradSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    int delta = along(event->globalPosition().toPoint()) - m_downPos;
    if (m_align == alRight || m_align == alBottom)
        delta = -delta;
    int size = m_startSize + delta;
    if (size < m_minSize)
        size = m_autoSnap ? 0 : m_minSize;
    else if (size > m_maxSize)
        size = m_maxSize;
    size = std::max(size, 0);
    bool accept = true;
    if (OnCanResize)
        OnCanResize(this, size, accept);
    if (!accept || size == m_newSize)
        return;
    m_newSize = size;
    if (m_resizeStyle == rsUpdate)
        applySize(size);
}

void TGradSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragging && event->button() == Qt::LeftButton)
        endDrag();
}

void TGradSplitter::endDrag() {
    m_dragging = false;
    qApp->removeEventFilter(this);
    applySize(m_newSize);
    m_control = nullptr;
    if (OnMoved)
        OnMoved(this);
}

bool TGradSplitter::eventFilter(QObject* watched, QEvent* event) {
    if (m_dragging && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        endDrag();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
