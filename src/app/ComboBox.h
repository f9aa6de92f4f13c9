#pragma once

#include <QComboBox>

#include <functional>

class QPainter;

// The selectors of the window: a fixed list drawn by the window's own item painter, with a
// close-up event.
class ComboBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComboBox)

public:
    explicit ComboBox(QWidget* parent = nullptr);

    std::function<void(QObject* sender)> OnCloseUp;

    // Draws one item: white, or silver when selected in the open list; the text in
    // "ＭＳ ゴシック" 9 pt, 4 pixels from the left and 2 from the top.
    static void DrawItem(QPainter* painter, const QRect& rect, const QString& text,
                         bool selectedInList, const QColor& textColour);

    void hidePopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
