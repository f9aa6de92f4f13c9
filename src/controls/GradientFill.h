#pragma once

#include "Colors.h"

#include <QRect>
#include <QtGlobal>

class QPainter;

// Direction of FillGradient: bands top to bottom or left to right, starting with the from
// colour or with the to colour.
enum TGradientDirection : quint8 {
    gdTopToBottom = 0,
    gdBottomToTop = 1,
    gdLeftToRight = 2,
    gdRightToLeft = 3,
};

// Fills rect with stepCount bands going from one colour to the other, each band solid; the
// rows or columns left over by the integer band size get the end colour. A step count below
// 2 fills the rectangle with the from colour.
void FillGradient(QPainter& canvas, const QRect& rect, TColor fromColor, TColor toColor,
                  quint8 direction, quint8 stepCount);

// Rounds a * b / c to the nearest integer, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
