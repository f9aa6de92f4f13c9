#pragma once

#include <QSizeGrip>

// The grip in a resizable dialog's bottom-right corner: 16 x 16, button face, diagonal cursor.
class TSizeGrip final : public QSizeGrip {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSizeGrip)

public:
    static constexpr int Size = 16;
    explicit TSizeGrip(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
