#include "MainForm.h"

#include "ErrorDisplay.h"

#include <QEvent>
#include <QWindowStateChangeEvent>

namespace {

constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_MAXIMIZE = 0xF030;
constexpr unsigned SC_RESTORE = 0xF120;

// The system command a change of window state stands for (0: none we know).
unsigned commandFor(Qt::WindowStates before, Qt::WindowStates after) {
    const bool wasMin = before & Qt::WindowMinimized, isMin = after & Qt::WindowMinimized;
    const bool wasMax = before & Qt::WindowMaximized, isMax = after & Qt::WindowMaximized;
    if (isMin && !wasMin)
        return SC_MINIMIZE;
    if (wasMin && !isMin)
        return SC_RESTORE; // back to normal or to maximised: both are the restore command
    if (isMax && !wasMax)
        return SC_MAXIMIZE;
    if (wasMax && !isMax)
        return SC_RESTORE;
    return 0;
}

} // namespace

FormBounds TfrmMain::CurrentBounds() const {
    return {y(), x(), width(), height()};
}

void TfrmMain::SystemCommand(unsigned command, const FormBounds& before) {
    switch (command & 0xFFF0) {
    case SC_MAXIMIZE:
        NormalBounds = before;
        Maximized = true;
        break;
    case SC_RESTORE:
        Maximized = false;
        break;
    default:
        break;
    }
}

void TfrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (const unsigned command = commandFor(change->oldState(), windowState()))
        Guard([&] { SystemCommand(command, m_lastNormalBounds); });
}

// The bounds taken before a maximise are the last ones the window had in its normal state.
void TfrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (windowState() == Qt::WindowNoState)
        m_lastNormalBounds = CurrentBounds();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (windowState() == Qt::WindowNoState)
        m_lastNormalBounds = CurrentBounds();
}
