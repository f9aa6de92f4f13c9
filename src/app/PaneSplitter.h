#pragma once

#include <QWidget>

#include <functional>

// A bar between two panes: dragging it resizes the pane before it (live), keeping both the
// pane and the pane that takes the rest at least MinSize. Stored sizes below MinSize are
// kept until the bar is dragged.
class PaneSplitter final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PaneSplitter)

public:
    PaneSplitter(Qt::Orientation bar, QWidget* pane, QWidget* rest, int minSize, QWidget* parent);

    int MinSize() const { return m_minSize; }
    // Sets the pane's extent (width for a vertical bar, height for a horizontal one).
    void SetPaneExtent(int extent);
    int PaneExtent() const;

    std::function<void(QObject* sender)> OnMoved;

    // The pane extent a drag by delta pixels gives, from the extents at the press.
    static int DraggedExtent(int paneStart, int restStart, int delta, int minSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int along(const QPoint& p) const;
    int extentOf(const QWidget* w) const;

    Qt::Orientation m_bar;
    QWidget* m_pane;
    QWidget* m_rest;
    int m_minSize;
    bool m_dragging = false;
    int m_pressPos = 0;
    int m_paneStart = 0;
    int m_restStart = 0;
};
