#pragma once

#include <QWidget>
#include <vector>

// A tool bar panel of fixed height and colour; its controls sit at design positions, those
// anchored to the right keep their distance from the right edge. Where the panel is narrower
// than its design, an anchored control gives way on its left side, down to its own size hint,
// rather than cover a control placed left of it.
class ToolPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolPanel)

public:
    ToolPanel(int designWidth, int height, QColor colour, QWidget* parent);
    void Place(QWidget* control, const QRect& designGeometry, bool anchorRight = false);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Anchored {
        QWidget* control;
        int rightDistance; // design width minus design left
        int designWidth;
    };
    int m_designWidth;
    std::vector<Anchored> m_anchored;
    std::vector<QWidget*> m_fixed;
};
