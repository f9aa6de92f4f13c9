#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <functional>

// The preview of the SANE source's dialog: the whole scannable page (its preview scan once there
// is one) with the chosen area framed; dragging over it chooses a new area.
class PreviewArea final : public QWidget {
public:
    // limits: the device's largest area in millimetres.
    PreviewArea(const QRectF& limits, QWidget* parent = nullptr);

    void SetImage(const QImage& image);
    void SetArea(const QRectF& mm);
    std::function<void(const QRectF&)> OnAreaChosen;

    QSize sizeHint() const override { return {260, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF pageRect() const;
    QPointF toMm(const QPointF& point) const;
    QRectF toWidget(const QRectF& mm) const;

    QRectF m_limits;
    QRectF m_area;
    QImage m_image;
    bool m_dragging = false;
    QPointF m_start;
};
