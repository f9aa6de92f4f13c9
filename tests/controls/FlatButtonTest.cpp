// The flat button's pixels and its answers to mouse and keys.
#include "FlatButton.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << "(" << c.red() << "," << c.green() << "," << c.blue() << ")";
}
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "(" << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << ")";
}
QT_END_NAMESPACE

namespace {

const QColor kHotFrame(248, 179, 48);
const QColor kText(0, 0, 0);

// A shown, active form holding a 75 x 25 button at (10,10) and a line edit under it.
class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        form->resize(200, 120);
        button = new TFlatButton(form.get());
        button->move(10, 10);
        button->OnClick = [this](QObject* sender) {
            EXPECT_EQ(sender, button);
            ++clicks;
        };
        edit = new QLineEdit(form.get());
        edit->setGeometry(10, 60, 100, 22);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        edit->setFocus();
    }

    QImage look() const { return button->grab().toImage(); }

    // Dark pixels of the caption inside the focus frame, as a bounding box.
    QRect textBox(const QImage& image) const {
        QRect box;
        for (int y = 5; y < 20; ++y)
            for (int x = 5; x < 70; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() + c.green() + c.blue() < 300)
                    box |= QRect(x, y, 1, 1);
            }
        return box;
    }

    std::unique_ptr<QWidget> form;
    TFlatButton* button = nullptr;
    QLineEdit* edit = nullptr;
    int clicks = 0;
};

TEST_F(FlatButtonTest, FaceHasEightBandsOfTwoRowsAndOneEndRow) {
    button->SetCaption(QString());
    const QImage image = look();
    ASSERT_EQ(image.size(), QSize(75, 25));
    // (253,253,253) to (205,204,223) in 8 steps, each channel rounded to the nearest.
    const QColor bands[] = {{253, 253, 253}, {246, 246, 249}, {239, 239, 244}, {232, 232, 240},
                            {226, 225, 236}, {219, 218, 232}, {212, 211, 227}, {205, 204, 223}};
    for (int row = 4; row < 20; ++row)
        for (int x : {4, 37, 70})
            EXPECT_EQ(image.pixelColor(x, row), bands[(row - 4) / 2]) << x << "," << row;
    EXPECT_EQ(image.pixelColor(37, 20), QColor(205, 204, 223));
    // Body corners are cut; the frame's corners show the body.
    const QColor face = button->palette().color(QPalette::Button);
    EXPECT_EQ(image.pixelColor(0, 0), face);
    EXPECT_EQ(image.pixelColor(1, 0), QColor(214, 211, 211));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(214, 211, 211));
    EXPECT_EQ(image.pixelColor(2, 1), QColor(0, 60, 116));
    EXPECT_EQ(image.pixelColor(1, 2), QColor(0, 60, 116));
    EXPECT_EQ(image.pixelColor(37, 2), QColor(206, 231, 255));
    EXPECT_EQ(image.pixelColor(37, 22), QColor(105, 130, 238));
    EXPECT_EQ(image.pixelColor(37, 24), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(74, 10), QColor(255, 255, 255));
}

TEST_F(FlatButtonTest, HoverFramesTheFaceAndPressingSinksItAndMovesTheText) {
    const QImage plain = look();
    QTest::mouseMove(form->windowHandle(), QPoint(47, 22));
    ASSERT_TRUE(button->Hot());
    const QImage hot = look();
    for (const QPoint& corner : {QPoint(3, 3), QPoint(71, 3), QPoint(71, 21), QPoint(3, 21)})
        EXPECT_EQ(hot.pixelColor(corner), kHotFrame) << corner.x() << "," << corner.y();
    EXPECT_NE(plain.pixelColor(3, 3), kHotFrame);

    QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, QPoint(47, 22));
    ASSERT_TRUE(button->Pressed());
    const QImage sunk = look();
    // Dark at the top: half the height in steps, (205,204,223) first.
    EXPECT_EQ(sunk.pixelColor(5, 4), QColor(205, 204, 223));
    EXPECT_EQ(textBox(sunk), textBox(hot).translated(1, 1));

    // Out of the button with the mouse still down: raised face, text still moved.
    QTest::mouseMove(form->windowHandle(), QPoint(150, 100));
    EXPECT_FALSE(button->Hot());
    EXPECT_EQ(look().pixelColor(5, 4), QColor(253, 253, 253));
    EXPECT_EQ(textBox(look()), textBox(plain).translated(1, 1));
}

TEST_F(FlatButtonTest, DisabledLookHasButtonFaceCornersGreyFrameAndGreyText) {
    QPalette magenta = button->palette();
    magenta.setColor(QPalette::Button, QColor(255, 0, 255));
    button->setPalette(magenta);
    button->setEnabled(false);
    const QImage image = look();
    for (const QPoint& corner : {QPoint(0, 0), QPoint(74, 0), QPoint(74, 24), QPoint(0, 24)})
        EXPECT_EQ(image.pixelColor(corner), QColor(255, 0, 255));
    EXPECT_EQ(image.pixelColor(1, 0), QColor(214, 211, 211));
    EXPECT_EQ(image.pixelColor(2, 1), QColor(196, 195, 191));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(241, 241, 237));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(241, 241, 237));
    EXPECT_TRUE(textBox(image).isEmpty()) << "the caption is grey, not black";
    bool grey = false;
    for (int y = 5; y < 20; ++y)
        for (int x = 5; x < 70 && !grey; ++x)
            grey = image.pixelColor(x, y) == QColor(161, 161, 146);
    EXPECT_TRUE(grey);
}

// The pixels of the row under the text cell that carry the text colour.
std::pair<int, int> underline(const QImage& image, int row) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, row) == kText) {
            if (first < 0)
                first = x;
            last = x;
        }
    return {first, last};
}

TEST_F(FlatButtonTest, AcceleratorIsUnderlinedOnePixelBelowTheTextCell) {
    const QFontMetrics metrics(button->Font());
    const int row = (25 - metrics.height()) / 2 + metrics.height();
    const auto expected = [&](const QString& shown, int k) {
        const int left = (75 - metrics.horizontalAdvance(shown)) / 2;
        return std::pair{left + metrics.horizontalAdvance(shown.left(k)),
                         left + metrics.horizontalAdvance(shown.left(k + 1)) - 1};
    };
    button->SetCaption(QStringLiteral("&Yes"));
    EXPECT_EQ(underline(look(), row), expected(QStringLiteral("Yes"), 0));
    button->SetCaption(QStringLiteral("Yes&"));
    EXPECT_EQ(underline(look(), row), (std::pair{-1, -1}));
    button->SetCaption(QStringLiteral("a&&b"));
    EXPECT_EQ(underline(look(), row), expected(QStringLiteral("a&b"), 1));
    button->SetCaption(QStringLiteral("Yes"));
    EXPECT_EQ(underline(look(), row), (std::pair{-1, -1}));
}

TEST_F(FlatButtonTest, FocusDrawsTheDottedFrame) {
    const QImage plain = look();
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(button->Focused());
    const QImage focused = look();
    // Every other pixel of the frame at (4,4)-(70,20) is inverted.
    int inverted = 0;
    for (int x = 4; x <= 70; ++x) {
        const QColor was = plain.pixelColor(x, 4);
        if (focused.pixelColor(x, 4) ==
            QColor(255 - was.red(), 255 - was.green(), 255 - was.blue()))
            ++inverted;
        else
            EXPECT_EQ(focused.pixelColor(x, 4), was);
    }
    EXPECT_EQ(inverted, 34);
}

TEST_F(FlatButtonTest, DoubleClickClicksTwice) {
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button->Pressed());
    QTest::mouseClick(form->windowHandle(), Qt::RightButton, {}, QPoint(40, 20));
    EXPECT_EQ(clicks, 2);
}

TEST_F(FlatButtonTest, HeldEnterOrSpaceShowsPressedAndClicksOnceOnRelease) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        clicks = 0;
        button->setFocus();
        QTest::keyPress(button, key);
        EXPECT_TRUE(button->Pressed());
        EXPECT_EQ(clicks, 0);
        // Held: the platform repeats release-and-press pairs.
        for (int i = 0; i < 3; ++i) {
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(button, &up);
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(button, &down);
        }
        EXPECT_TRUE(button->Pressed());
        EXPECT_EQ(clicks, 0);
        QTest::keyRelease(button, key);
        EXPECT_FALSE(button->Pressed());
        EXPECT_EQ(clicks, 1);
    }
}

TEST_F(FlatButtonTest, EscapeClicksOnlyAnEnabledCancelButtonAndEnterTheDefault) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(clicks, 0);
    button->SetCancel(true);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    button->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(clicks, 1);
    button->setEnabled(true);
    button->SetDefault(true);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
}

TEST_F(FlatButtonTest, PressedInsideAndReleasedOutsideStaysPressedUntilReleasedOverIt) {
    QWindow* window = form->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(40, 20));
    QTest::mouseMove(window, QPoint(150, 100));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(150, 100));
    EXPECT_TRUE(button->Pressed());
    EXPECT_EQ(clicks, 0);
    // Back over it: the sunk face.
    QTest::mouseMove(window, QPoint(40, 20));
    EXPECT_EQ(look().pixelColor(5, 4), QColor(205, 204, 223));
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(40, 20));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_FALSE(button->Pressed());
    EXPECT_EQ(clicks, 1);
}

TEST_F(FlatButtonTest, MnemonicClicksWithAndWithoutAltButNotWhileTyping) {
    button->SetCaption(QStringLiteral("&Yes"));
    auto* other = new TFlatButton(form.get());
    other->SetCaption(QStringLiteral("a&&b"));
    other->move(100, 10);
    other->show();
    other->setFocus();
    QTest::keyClick(form->windowHandle(), Qt::Key_Y, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(form->windowHandle(), Qt::Key_Y);
    EXPECT_EQ(clicks, 2);
    QTest::keyClick(form->windowHandle(), Qt::Key_B);
    edit->setFocus();
    QTest::keyClick(form->windowHandle(), Qt::Key_Y);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(edit->text(), QStringLiteral("y"));
}

TEST_F(FlatButtonTest, EnterAndExitFireWhenTheFocusMovesWithinTheForm) {
    QStringList seen;
    button->OnEnter = [&](QObject*) { seen << QStringLiteral("enter"); };
    button->OnExit = [&](QObject*) { seen << QStringLiteral("exit"); };
    edit->setFocus();
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_TRUE(button->hasFocus());
    QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("enter"), QStringLiteral("exit")}));
}

TEST(FlatButtonOwner, ModalResultClosesADialogOwnerAndLeavesOtherOwnersAlone) {
    QDialog dialog;
    QWidget notAForm;
    auto* closes = new TFlatButton(&dialog);
    closes->SetModalResult(6);
    auto* stays = new TFlatButton(&dialog, &notAForm);
    stays->move(0, 30);
    stays->SetModalResult(7);
    bool stillUp = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::mouseClick(stays, Qt::LeftButton, {}, QPoint(10, 10));
        stillUp = dialog.isVisible();
        QTest::mouseClick(closes, Qt::LeftButton, {}, QPoint(10, 10));
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject);
    EXPECT_EQ(dialog.exec(), 6);
    EXPECT_TRUE(stillUp);
}

} // namespace
