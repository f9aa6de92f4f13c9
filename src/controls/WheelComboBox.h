#pragma once

#include "ShiftState.h"

#include <QComboBox>
#include <functional>

class QPainter;

enum TComboBoxStyle { csDropDownList, csOwnerDrawFixed };

// The state of an item being drawn; odComboBoxEdit marks the closed box's own field.
enum TOwnerDrawStateFlag {
    odSelected = 0x01,
    odDisabled = 0x04,
    odFocused = 0x10,
    odComboBoxEdit = 0x1000,
};
Q_DECLARE_FLAGS(TOwnerDrawState, TOwnerDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOwnerDrawState)

// A fixed drop-down list that reports its close-up, the mouse's entry and exit and the wheel,
// and can keep its selection under the wheel while the list is closed. In the owner-drawn
// style every item and the closed box's field are drawn by OnDrawItem on a painter prepared
// with the control's font and the item's text colour.
class TWheelComboBox : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TWheelComboBox)

public:
    explicit TWheelComboBox(QWidget* parent = nullptr);

    TComboBoxStyle Style() const { return m_style; }
    void SetStyle(TComboBoxStyle value);
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int value);
    bool WheelActive() const { return m_wheelActive; }
    void SetWheelActive(bool value) { m_wheelActive = value; }
    bool DroppedDown() const { return m_droppedDown; }

    using MouseEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;
    using MouseButtonEvent =
        std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

    std::function<void(QObject* Sender)> OnCloseUp;
    MouseButtonEvent OnMouseDown;
    MouseEvent OnMouseMove;
    MouseButtonEvent OnMouseUp;
    // Wheel: -1 turned away from the user (earlier items), +1 toward the user.
    std::function<void(QObject* Sender, int Wheel)> OnMouseWheel;
    MouseEvent OnMouseEnter;
    MouseEvent OnMouseLeave;
    std::function<void(QWidget* Control, int Index, const QRect& Rect, TOwnerDrawState State,
                       QPainter& Canvas)>
        OnDrawItem;

    void showPopup() override;
    void hidePopup() override;

    // Draws an item through OnDrawItem with the painter prepared for it.
    void DrawItem(QPainter& painter, int index, const QRect& rect, TOwnerDrawState state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ownerDrawn() const { return m_style == csOwnerDrawFixed && OnDrawItem; }
    void raiseWheel(const QWheelEvent* event);
    void raiseCrossing(const MouseEvent& handler);
    void raiseButton(const MouseButtonEvent& handler, const QMouseEvent* event);

    TComboBoxStyle m_style = csDropDownList;
    int m_itemHeight = 16;
    bool m_wheelActive = true;
    bool m_droppedDown = false;
    bool m_forwardingWheel = false;
};
