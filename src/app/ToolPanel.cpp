#include "ToolPanel.h"

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
        m_anchored.push_back({control, m_designWidth - designGeometry.left()});
}

void ToolPanel::resizeEvent(QResizeEvent*) {
    for (const auto& a : m_anchored)
        a.control->move(width() - a.rightDistance, a.control->y());
}
