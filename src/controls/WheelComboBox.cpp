#include "WheelComboBox.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <optional>

namespace {

// Hands the items of the open list to the control's owner drawing.
class OwnerDrawDelegate final : public QStyledItemDelegate {
public:
    explicit OwnerDrawDelegate(TWheelComboBox* combo)
        : QStyledItemDelegate(combo), m_combo(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (m_combo->Style() != csOwnerDrawFixed || !m_combo->OnDrawItem) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        TOwnerDrawState state;
        if (option.state & QStyle::State_Selected)
            state |= odSelected;
        if (option.state & QStyle::State_HasFocus)
            state |= odFocused;
        if (!(option.state & QStyle::State_Enabled))
            state |= odDisabled;
        m_combo->DrawItem(*painter, index.row(), option.rect, state);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize standard = QStyledItemDelegate::sizeHint(option, index);
        return m_combo->Style() == csOwnerDrawFixed ? QSize(standard.width(), m_combo->ItemHeight())
                                                    : standard;
    }

private:
    TWheelComboBox* m_combo;
};

std::optional<TMouseButton> buttonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return mbLeft;
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return std::nullopt;
    }
}

} // namespace

TWheelComboBox::TWheelComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setItemDelegate(new OwnerDrawDelegate(this));
    setMouseTracking(true);
    // The open list gets the wheel itself; it still reports it through this control.
    view()->viewport()->installEventFilter(this);
    view()->installEventFilter(this);
}

void TWheelComboBox::SetStyle(TComboBoxStyle value) {
    if (m_style == value)
        return;
    m_style = value;
    update();
}

void TWheelComboBox::SetItemHeight(int value) {
    if (m_itemHeight == value || value <= 0)
        return;
    m_itemHeight = value;
    update();
}

void TWheelComboBox::DrawItem(QPainter& painter, int index, const QRect& rect,
                              TOwnerDrawState state) {
    painter.save();
    const bool selected = state & odSelected;
    painter.setFont(font());
    painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setBrush(palette().brush(selected ? QPalette::Highlight : QPalette::Base));
    if (index >= 0 && index < count() && OnDrawItem)
        OnDrawItem(this, index, rect, state, painter);
    else
        painter.fillRect(rect, painter.brush()); // no item: the field is only cleared
    painter.restore();
}

void TWheelComboBox::paintEvent(QPaintEvent* event) {
    if (!ownerDrawn()) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    TOwnerDrawState state = odComboBoxEdit;
    if (hasFocus())
        state |= odSelected | odFocused;
    if (!isEnabled())
        state |= odDisabled;
    DrawItem(painter, currentIndex(), field, state);
}

void TWheelComboBox::showPopup() {
    QComboBox::showPopup();
    m_droppedDown = view()->isVisible();
    // A list closed from outside (a click elsewhere closes the popup) skips hidePopup.
    if (QWidget* list = view()->window(); list != window())
        list->installEventFilter(this);
}

void TWheelComboBox::hidePopup() {
    // Qt also calls this when the box itself hides; only an open list closes up.
    const bool wasDropped = m_droppedDown;
    m_droppedDown = false;
    QComboBox::hidePopup();
    if (wasDropped && OnCloseUp)
        OnCloseUp(this);
}

void TWheelComboBox::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() == 0) {
        QComboBox::wheelEvent(event);
        return;
    }
    if (m_droppedDown || m_wheelActive)
        QComboBox::wheelEvent(event);
    else
        event->accept(); // swallowed: the selection stays and nothing scrolls behind the box
    raiseWheel(event);
}

void TWheelComboBox::raiseWheel(const QWheelEvent* event) {
    if (OnMouseWheel)
        OnMouseWheel(this, event->angleDelta().y() > 0 ? -1 : 1);
}

bool TWheelComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == view()->window() && m_droppedDown) {
        m_droppedDown = false;
        if (OnCloseUp)
            OnCloseUp(this);
    }
    if (event->type() == QEvent::Wheel && !m_forwardingWheel &&
        (watched == view() || watched == view()->viewport())) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->angleDelta().y() != 0) {
            // The list scrolls first, then the handler hears of it.
            m_forwardingWheel = true;
            QCoreApplication::sendEvent(watched, event);
            m_forwardingWheel = false;
            raiseWheel(wheel);
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void TWheelComboBox::raiseCrossing(const MouseEvent& handler) {
    if (!handler)
        return;
    const QPoint p = mapFromGlobal(QCursor::pos());
    handler(this, CurrentShiftState(), p.x(), p.y());
}

void TWheelComboBox::enterEvent(QEnterEvent* event) {
    QComboBox::enterEvent(event);
    raiseCrossing(OnMouseEnter);
}

void TWheelComboBox::leaveEvent(QEvent* event) {
    QComboBox::leaveEvent(event);
    raiseCrossing(OnMouseLeave);
}

void TWheelComboBox::raiseButton(const MouseButtonEvent& handler, const QMouseEvent* event) {
    const auto button = buttonOf(event->button());
    if (handler && button) {
        const QPoint p = event->position().toPoint();
        handler(this, *button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
    }
}

void TWheelComboBox::mousePressEvent(QMouseEvent* event) {
    raiseButton(OnMouseDown, event);
    QComboBox::mousePressEvent(event);
}

void TWheelComboBox::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) {
        const QPoint p = event->position().toPoint();
        OnMouseMove(this, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
    }
    QComboBox::mouseMoveEvent(event);
}

void TWheelComboBox::mouseReleaseEvent(QMouseEvent* event) {
    QComboBox::mouseReleaseEvent(event);
    raiseButton(OnMouseUp, event);
}
