#include "ErrorDisplay.h"
#include "GradSplitter.h"
#include "MainForm.h"
#include "RichEdit.h"
#include "ToolPanel.h"

#include <QEvent>
#include <QScreen>
#include <QWindowStateChangeEvent>
#include <algorithm>

namespace {

constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_MAXIMIZE = 0xF030;
constexpr unsigned SC_RESTORE = 0xF120;

// The system command a change of window state stands for (0: none we know). A window that
// comes back from the task bar maximised is still maximised: its normal bounds still count.
unsigned commandFor(Qt::WindowStates before, Qt::WindowStates after, bool maximized) {
    const bool wasMin = before & Qt::WindowMinimized, isMin = after & Qt::WindowMinimized;
    const bool wasMax = before & Qt::WindowMaximized, isMax = after & Qt::WindowMaximized;
    if (isMin && !wasMin)
        return SC_MINIMIZE;
    if (wasMin && !isMin)
        return !isMax ? SC_RESTORE : maximized ? 0 : SC_MAXIMIZE;
    if (isMax && !wasMax)
        return SC_MAXIMIZE;
    if (wasMax && !isMax)
        return SC_RESTORE;
    return 0;
}

} // namespace

// The bounds are the window's outer ones, frame included, as the settings keep them.
FormBounds TfrmMain::CurrentBounds() const {
    const QRect outer = frameGeometry();
    return {outer.y(), outer.x(), outer.width(), outer.height()};
}

void TfrmMain::applyOuterSize() {
    // The frame is known once the window is on the screen; until then the size stands for
    // the outer size.
    const QSize frame = frameGeometry().size() - size();
    if (m_outerSizeApplied || !isVisible() || frame.isNull())
        return;
    m_outerSizeApplied = true;
    setMinimumSize(QSize(DesignWidth, DesignHeight) - frame);
    if (windowState() == Qt::WindowNoState)
        resize(size() - frame);
    FitPanes();
}

// Pane sizes stored in a larger window (a maximised one, say) would push the panes beside and
// below them, and the web area's tool bar, out of this one.
void TfrmMain::FitPanes() {
    const int ocr = width() - Splitter1->Thickness() - Splitter1->MinSize();
    pnlOCR->setFixedWidth(std::clamp(pnlOCR->width(), 0, std::max(ocr, 0)));
    const int memo = height() - pnlMemoMenu->height() - Splitter2->Thickness() -
                     pnlHpMenu->height() - Splitter2->MinSize();
    rmm00->setFixedHeight(std::clamp(rmm00->height(), 0, std::max(memo, 0)));
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
    const unsigned command = commandFor(change->oldState(), windowState(), Maximized);
    if (!command)
        return;
    Guard([&] { SystemCommand(command, normalBoundsBefore(CurrentBounds())); });
}

// A window manager may report the maximised geometry before the state, in one step or as a
// move to the corner and a resize: bounds that fill the screen's available area were never
// the window's normal ones, nor the move into the corner just before them.
FormBounds TfrmMain::normalBoundsBefore(const FormBounds& now) const {
    const QRect area = screen() ? screen()->availableGeometry() : QRect();
    bool skippedNewer = false;
    for (auto b = m_normalHistory.crbegin(); b != m_normalHistory.crend(); ++b) {
        const bool fills = b->Width >= area.width() && b->Height >= area.height();
        const bool inCorner = b->Left == area.x() && b->Top == area.y();
        if (!area.isEmpty() && (fills || (skippedNewer && inCorner))) {
            skippedNewer = true;
            continue;
        }
        return *b;
    }
    return now;
}

void TfrmMain::recordNormalBounds() {
    applyOuterSize();
    if (windowState() != Qt::WindowNoState)
        return;
    const FormBounds bounds = CurrentBounds();
    if (!m_normalHistory.isEmpty() && m_normalHistory.back() == bounds)
        return;
    if (m_normalHistory.size() == 8)
        m_normalHistory.removeFirst();
    m_normalHistory.append(bounds);
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    recordNormalBounds();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    recordNormalBounds();
}
