#pragma once

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QWindow>

// What a user does with the mouse: pick an item of a drop-down list, choose from a context
// menu, tick a box. Everything goes through the widgets' own event handling.
namespace UserInput {

// Waits for the popup to close. On a desktop its owner window stays active throughout; the
// offscreen platform leaves the closed popup the active window, so the owner gets it back.
inline bool Closed(QWidget* popup, QWidget* owner) {
    if (!QTest::qWaitFor([popup] { return !popup->isVisible(); }, 2000))
        return false;
    // The popup's own activation may still be on its way.
    QCoreApplication::processEvents();
    if (QApplication::activeWindow() == owner->window())
        return true;
    owner->window()->activateWindow();
    return QTest::qWaitFor([owner] { return QApplication::activeWindow() == owner->window(); },
                           2000);
}

// Clicks the closed box open, moves to the item with the arrow keys and takes it with Enter;
// false when the list did not open or did not close on Enter.
inline bool ChooseItem(QComboBox* combo, int index) {
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView* list = combo->view();
    if (!QTest::qWaitFor([list] { return list->isVisible(); }, 2000))
        return false;
    for (int row = list->currentIndex().row(); row < index; ++row)
        QTest::keyClick(list, Qt::Key_Down);
    for (int row = list->currentIndex().row(); row > index; --row)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    return Closed(list, combo);
}

// Right-clicks the widget at point through its window, as the mouse does, so the window
// system's context-menu request reaches whatever widget lies there, then clicks the item in
// the menu that opens. False when no menu with that item opened.
inline bool ChooseFromContextMenu(QWidget* widget, const QPoint& point, QAction* item) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, {}, widget->mapTo(top, point));
    QMenu* menu = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); },
            2000) ||
        !menu->actions().contains(item))
        return false;
    const QPoint at = menu->actionGeometry(item).center();
    QTest::mouseMove(menu, at);
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    return Closed(menu, widget);
}

// Clicks the box when its state differs from the wanted one; false when it still differs.
inline bool SetChecked(QCheckBox* box, bool checked) {
    if (box->isChecked() != checked)
        QTest::mouseClick(box, Qt::LeftButton);
    return box->isChecked() == checked;
}

} // namespace UserInput
