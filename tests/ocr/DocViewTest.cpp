#include "MiDocView.h"
#include "MiDocument.h"
#include "PageImage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A white page with a black block in its top-left quarter, shown in a 300 x 300 view.
class DocView : public ::testing::Test {
protected:
    void SetUp() override {
        QImage page(width, height, QImage::Format_RGB32);
        page.fill(Qt::white);
        for (int y = 0; y < height / 2; ++y)
            for (int x = 0; x < width / 2; ++x)
                page.setPixel(x, y, qRgb(0, 0, 0));
        path = dir.filePath(QStringLiteral("page.png"));
        ASSERT_TRUE(page.save(path));
        view.resize(300, 300);
        view.show();
    }

    void showPage() {
        MiDocument document;
        document.Create(path);
        view.SetFitMode(3);
        view.SetDocument(document);
        document.Close(false);
    }

    int bar() const {
        return view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    }

    int width = 1000;
    int height = 2000;
    QTemporaryDir dir;
    QString path;
    TMiDocView view;
};

TEST_F(DocView, KeepsShowingThePageAfterTheDocumentIsClosed) {
    showPage();
    ASSERT_TRUE(view.HasPage());
    EXPECT_EQ(view.Page().size(), QSize(width, height));
    const QImage shot = view.viewport()->grab().toImage();
    const QPoint origin = view.PageOrigin();
    // Whole page: 2000 pixels into 300, centred horizontally.
    EXPECT_EQ(origin, QPoint((300 - 150) / 2, 0));
    EXPECT_EQ(qGray(shot.pixel(origin.x() + 30, 60)), 0);
    EXPECT_EQ(qGray(shot.pixel(origin.x() + 120, 60)), 255);
    EXPECT_EQ(qGray(shot.pixel(origin.x() + 30, 250)), 255);
}

TEST_F(DocView, FitModesScaleToWidthHeightOrWholePage) {
    showPage();
    EXPECT_DOUBLE_EQ(view.Scale(), 300.0 / height);
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());

    view.SetFitMode(1);
    EXPECT_EQ(view.FitMode(), 1);
    // The tall page overflows, so the width left beside the scroll bar is filled.
    EXPECT_DOUBLE_EQ(view.Scale(), double(300 - bar()) / width);
    EXPECT_TRUE(view.verticalScrollBar()->isVisible());
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());

    view.SetFitMode(2);
    EXPECT_DOUBLE_EQ(view.Scale(), 300.0 / height);
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
}

TEST_F(DocView, FitHeightOnAWidePageScrollsSideways) {
    width = 3000;
    height = 600;
    SetUp();
    showPage();
    view.SetFitMode(2);
    EXPECT_DOUBLE_EQ(view.Scale(), double(300 - bar()) / height);
    EXPECT_TRUE(view.horizontalScrollBar()->isVisible());
    view.horizontalScrollBar()->setValue(50);
    EXPECT_EQ(view.PageOrigin().x(), -50);
}

TEST_F(DocView, OtherFitModesAreIgnoredAndResizingRefits) {
    showPage();
    view.SetFitMode(0);
    view.SetFitMode(4);
    EXPECT_EQ(view.FitMode(), 3);
    view.resize(300, 600);
    EXPECT_DOUBLE_EQ(view.Scale(), 600.0 / height);
}

TEST_F(DocView, RightClickOpensTheAssignedMenu) {
    QMenu menu;
    menu.addAction(QStringLiteral("fit"));
    view.SetPopupMenu(&menu);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            view.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(view.viewport(), &event);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

} // namespace

namespace {

TEST(PageImageConversion, ColourPalettedAndGreyPagesKeepTheirPixels) {
    QTemporaryDir dir;
    QImage colour(4, 2, QImage::Format_RGB32);
    colour.fill(qRgb(10, 200, 30));
    colour.setPixel(3, 1, qRgb(250, 5, 128));
    QImage grey(3, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    QImage paletted = colour.convertToFormat(QImage::Format_Indexed8);
    const struct {
        const char* name;
        QImage image;
    } cases[] = {{"colour.png", colour},
                 {"grey.png", grey},
                 {"paletted.png", paletted},
                 {"colour.bmp", colour}};
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(c.image.save(path));
        MiDocument document;
        document.Create(path);
        const QImage page = PageImage(document);
        document.Close(false);
        ASSERT_EQ(page.size(), c.image.size()) << c.name;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                EXPECT_EQ(page.pixel(x, y), c.image.pixel(x, y)) << c.name << " " << x << "," << y;
    }
}

} // namespace
