#pragma once

#include <QWidget>

#include <vector>

// A tool bar panel of fixed height and colour; its controls sit at design positions, those
// anchored to the right keep their distance from the right edge.
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
    };
    int m_designWidth;
    std::vector<Anchored> m_anchored;
};
