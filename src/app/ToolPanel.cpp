#include "ToolPanel.h"

#include <QPushButton>
#include <QStyle>
#include <algorithm>

ToolPanel::ToolPanel(int designWidth, int height, QColor colour, QWidget* parent)
    : QWidget(parent), m_designWidth(designWidth) {
    setFixedHeight(height);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void ToolPanel::Place(QWidget* control, const QRect& designGeometry, bool anchorRight) {
    control->setParent(this);
    control->setGeometry(designGeometry);
    if (anchorRight)
        m_anchored.push_back(
            {control, m_designWidth - designGeometry.left(), designGeometry.width()});
    else
        m_fixed.push_back(control);
}

namespace {

// The least width that shows a control's caption whole: a push button's caption with the
// style's margins (its size hint adds a minimum width of the style's own), else the size hint.
int captionWidth(const QWidget* control) {
    const auto* button = qobject_cast<const QPushButton*>(control);
    if (!button)
        return control->sizeHint().width();
    const int margin = control->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control);
    return control->fontMetrics().horizontalAdvance(button->text()) + 2 * margin + 4;
}

} // namespace

void ToolPanel::resizeEvent(QResizeEvent*) {
    // The anchored controls stand in design order from left to right; each starts clear of
    // the controls before it and keeps its right edge while its caption still fits.
    int clear = 0;
    const int firstLeft = m_anchored.empty() ? width() : width() - m_anchored.front().rightDistance;
    for (const QWidget* w : m_fixed)
        if (w->x() < firstLeft)
            clear = std::max(clear, w->x() + w->width() + 1);
    for (const auto& a : m_anchored) {
        const int left = std::max(width() - a.rightDistance, clear);
        const int right =
            std::max(width() - a.rightDistance + a.designWidth, left + captionWidth(a.control));
        a.control->setGeometry(left, a.control->y(), right - left, a.control->height());
        clear = right + 1;
    }
}
