#include "SizeGrip.h"

#include <QPainter>

TSizeGrip::TSizeGrip(QWidget* parent) : QSizeGrip(parent) {
    setFixedSize(Size, Size);
    setCursor(Qt::SizeFDiagCursor);
}

void TSizeGrip::paintEvent(QPaintEvent* event) {
    // The whole square is painted, whatever lies under it in the dialog.
    QPainter(this).fillRect(rect(), palette().color(QPalette::Button));
    QSizeGrip::paintEvent(event);
}
