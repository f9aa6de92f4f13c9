#include "GradientFill.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

constexpr TColor kFrom = RGBColor(0, 100, 200);
constexpr TColor kTo = RGBColor(90, 10, 200);
const QColor kBackground(1, 2, 3);

// Fills a 10 x 10 rectangle at (2,3) on a 16 x 16 image.
QImage fill(quint8 direction, quint8 steps) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter canvas(&image);
    FillGradient(canvas, QRect(2, 3, 10, 10), kFrom, kTo, direction, steps);
    return image;
}

// The colour along the gradient axis at offset i (row or column) inside the rectangle.
QColor at(const QImage& image, bool vertical, int i) {
    return vertical ? image.pixelColor(7, 3 + i) : image.pixelColor(2 + i, 8);
}

TEST(GradientFill, BandsRunInEachDirectionAndTheLeftoverTakesTheEndColour) {
    // 10 rows in 4 steps: bands of 2 rows, 2 rows left over.
    // Red 0 -> 90 in thirds: 0, 30, 60, 90; green 100 -> 10: 100, 70, 40, 10.
    const QColor bands[] = {QColor(0, 100, 200), QColor(30, 70, 200), QColor(60, 40, 200),
                            QColor(90, 10, 200)};
    for (quint8 direction : {0, 1, 2, 3}) {
        SCOPED_TRACE(int(direction));
        const QImage image = fill(direction, 4);
        const bool vertical = direction < 2;
        const bool reversed = direction % 2 == 1;
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(at(image, vertical, i), bands[reversed ? 3 - i / 2 : i / 2]) << i;
        const QColor end = reversed ? QColor(0, 100, 200) : QColor(90, 10, 200);
        EXPECT_EQ(at(image, vertical, 8), end);
        EXPECT_EQ(at(image, vertical, 9), end);
        // Nothing outside the rectangle.
        EXPECT_EQ(image.pixelColor(1, 3), kBackground);
        EXPECT_EQ(image.pixelColor(12, 12), kBackground);
        EXPECT_EQ(image.pixelColor(11, 13), kBackground);
        EXPECT_EQ(image.pixelColor(2, 2), kBackground);
    }
}

TEST(GradientFill, FewStepsFillWithTheFromColourAndManyAreCappedByTheExtent) {
    for (quint8 steps : {0, 1}) {
        const QImage image = fill(1, steps);
        EXPECT_EQ(image.pixelColor(2, 3), QColor(0, 100, 200));
        EXPECT_EQ(image.pixelColor(11, 12), QColor(0, 100, 200));
    }
    // 255 steps on 10 columns: one column each, rounded to the nearest value (90 * 1 / 9 = 10).
    const QImage image = fill(2, 255);
    EXPECT_EQ(image.pixelColor(3, 5), QColor(10, 90, 200));
    EXPECT_EQ(image.pixelColor(11, 5), QColor(90, 10, 200));

    QImage untouched(4, 4, QImage::Format_RGB32);
    untouched.fill(kBackground);
    QPainter canvas(&untouched);
    FillGradient(canvas, QRect(1, 1, 0, 3), kFrom, kTo, 0, 8);
    canvas.end();
    EXPECT_EQ(untouched.pixelColor(1, 1), kBackground);
}

TEST(GradientFill, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(1, -48, 7), -7);
    EXPECT_EQ(MulDiv(3, -30, 7), -13);
    EXPECT_EQ(MulDiv(1, 5, 2), 3);
    EXPECT_EQ(MulDiv(-1, 5, 2), -3);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

} // namespace
