// The program's own message box, answered by keys and clicks as a user answers it.
#include "MessageBox.h"

#include "AlertSound.h"
#include "FlatButton.h"
#include "FontSubstitutions.h"
#include "MainFormFixture.h"
#include "MessageBoxDriver.h"
#include "UploadSetup.h"
#include "VelaError.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InstallFontSubstitutions(); }
    void SetUp() override {
        SetAlertSoundPlayer([this](AlertSound s) { sounds << int(s); });
        owner.setWindowTitle(QStringLiteral("Owner"));
        owner.setGeometry(200, 150, 700, 480);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    void TearDown() override { SetAlertSoundPlayer({}); }

    int show(const QString& mode, const QString& defaultButton, const Act& act,
             const QString& message = QStringLiteral("スキャナが見つかりません"),
             const QString& icon = QStringLiteral("i")) {
        whenUp(act);
        return ShowMessageBox(&owner, QStringLiteral("TWAIN"), message, icon, mode, defaultButton);
    }

    QWidget owner;
    QList<int> sounds;
};

int labelLineHeight() {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    return QFontMetrics(font).height();
}

// The box's outer size follows the label: 350 wide, the label's height plus 118 high (130 for
// a 12-pixel line; IPA P Gothic's line at 12 pixels is 13 high).
TEST_F(MessageBoxTest, OneLineMessageGivesTheSmallestBoxCentredOverItsOwner) {
    QSize size;
    QPoint at;
    QString caption;
    QRect label;
    const int result = show(QStringLiteral("y"), QStringLiteral("1"), [&](TfrmMessageBox* box) {
        size = box->frameGeometry().size();
        at = box->frameGeometry().topLeft();
        label = box->lblMsg->geometry();
        caption = box->windowTitle();
        press(box, Qt::Key_Y);
    });
    EXPECT_EQ(result, 6);
    EXPECT_EQ(label.topLeft(), QPoint(63, 18));
    EXPECT_EQ(label.height(), labelLineHeight());
    EXPECT_EQ(size, QSize(350, 18 + label.height() + 100));
    const QRect ownerFrame = owner.frameGeometry();
    EXPECT_EQ(at, ownerFrame.topLeft() + QPoint((ownerFrame.width() - 350) / 2,
                                                (ownerFrame.height() - size.height()) / 2));
    EXPECT_EQ(caption, QStringLiteral("TWAIN"));
    EXPECT_EQ(sounds, QList<int>{0x30});
}

TEST_F(MessageBoxTest, WideAndMultiLineMessagesGrowTheBox) {
    const QString wide(30, QChar(0x3042)); // thirty hiragana "a"
    QRect label;
    QSize size;
    show(
        QStringLiteral("y"), QStringLiteral("1"),
        [&](TfrmMessageBox* box) {
            label = box->lblMsg->geometry();
            size = box->frameGeometry().size();
            press(box, Qt::Key_Y);
        },
        wide);
    ASSERT_GT(label.right() + 1 + 20, 350);
    EXPECT_EQ(size, QSize(label.right() + 1 + 36, 18 + labelLineHeight() + 100));

    QString text;
    show(
        QStringLiteral("y"), QStringLiteral("1"),
        [&](TfrmMessageBox* box) {
            label = box->lblMsg->geometry();
            size = box->frameGeometry().size();
            text = box->lblMsg->text();
            press(box, Qt::Key_Y);
        },
        QStringLiteral("一行目\r二行目\r\n三行目"));
    EXPECT_EQ(text.split(QLatin1Char('\n')).size(), 3) << text.toStdString();
    EXPECT_EQ(label.topLeft(), QPoint(63, 18));
    EXPECT_GE(label.height(), 3 * labelLineHeight());
    EXPECT_EQ(size, QSize(350, 18 + label.height() + 100));
}

struct ModeCase {
    const char* mode;
    QList<int> lefts; // left edges of btnMode1..3 in the client area, -1 for hidden
    int escape;       // result of Escape
    int closeBox;     // result of the close box
};

TEST_F(MessageBoxTest, ModeTablePlacesButtonsAndAnswersEscapeAndTheCloseBox) {
    const ModeCase cases[] = {
        {"y", {350 - 95, -1, -1}, 6, 6},         {"YN", {350 - 178, 350 - 95, -1}, 7, 7},
        {"yc", {350 - 178, -1, 350 - 95}, 2, 2}, {"Ync", {350 - 261, 350 - 178, 350 - 95}, 2, 2},
        {"whatever", {350 - 95, -1, -1}, 6, 6},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        QList<int> lefts;
        int top = -1;
        int clientHeight = 0;
        const int escaped =
            show(QString::fromLatin1(c.mode), QStringLiteral("1"), [&](TfrmMessageBox* box) {
                for (TFlatButton* b : {box->btnMode1, box->btnMode2, box->btnMode3})
                    lefts << (b->isVisible() ? b->mapTo(box, QPoint()).x() : -1);
                top = box->btnMode1->mapTo(box, QPoint()).y();
                clientHeight = box->height();
                press(box, Qt::Key_Escape);
            });
        EXPECT_EQ(lefts, c.lefts);
        EXPECT_EQ(top, clientHeight - 41 + 6);
        EXPECT_EQ(escaped, c.escape);
        const int closed = show(QString::fromLatin1(c.mode), QStringLiteral("1"),
                                [](TfrmMessageBox* box) { box->close(); });
        EXPECT_EQ(closed, c.closeBox);
    }
}

TEST_F(MessageBoxTest, LettersAnswerWithAndWithoutShiftWhereTheButtonIsShown) {
    EXPECT_EQ(show(QStringLiteral("yn"), QStringLiteral("1"),
                   [](TfrmMessageBox* box) { press(box, Qt::Key_N, Qt::ShiftModifier); }),
              7);
    EXPECT_EQ(show(QStringLiteral("ync"), QStringLiteral("3"),
                   [](TfrmMessageBox* box) { press(box, Qt::Key_Y, Qt::ShiftModifier); }),
              6);
    // Without a no button N goes on to the focused button, which ignores it.
    bool stillUp = false;
    EXPECT_EQ(show(QStringLiteral("yc"), QStringLiteral("1"),
                   [&](TfrmMessageBox* box) {
                       press(box, Qt::Key_N);
                       stillUp = box->isVisible();
                       press(box, Qt::Key_C);
                       stillUp = stillUp && box->isVisible();
                       press(box, Qt::Key_Escape);
                   }),
              2);
    EXPECT_TRUE(stillUp);
    // With Ctrl or Alt a letter is a shortcut of something else, not an answer.
    stillUp = false;
    EXPECT_EQ(show(QStringLiteral("ync"), QStringLiteral("1"),
                   [&](TfrmMessageBox* box) {
                       press(box, Qt::Key_N, Qt::ControlModifier);
                       press(box, Qt::Key_Y, Qt::AltModifier);
                       press(box, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
                       stillUp = box->isVisible();
                       press(box, Qt::Key_Escape);
                   }),
              2);
    EXPECT_TRUE(stillUp);
}

// A failed upload quotes the server's reply, which may be 64 KiB on one line or on many: the
// box shows its beginning, says that it was cut, and fits the work area.
TEST_F(MessageBoxTest, LongMessagesWrapAndTheBoxStaysWithinTheWorkArea) {
    const QRect work = owner.screen()->availableGeometry();
    QString manyLines;
    while (manyLines.size() < 65536)
        manyLines += QStringLiteral("550-Permission denied ") + QString(60, u'x') + u'\n';
    const QString oneLine = QStringLiteral("550 ") + QString(65536, u'y');
    const QString messages[] = {UploadSetup::FtpFailureMessage(10, QString(), oneLine),
                                UploadSetup::FtpFailureMessage(10, QString(), manyLines),
                                manyLines};
    int n = 0;
    for (const QString& message : messages) {
        SCOPED_TRACE(n);
        QRect frame;
        QString shown;
        QImage shot;
        show(
            QStringLiteral("y"), QStringLiteral("1"),
            [&](TfrmMessageBox* box) {
                frame = box->frameGeometry();
                shown = box->lblMsg->text();
                shot = box->grab().toImage();
                press(box, Qt::Key_Y);
            },
            message, QStringLiteral("x"));
        EXPECT_TRUE(work.contains(frame)) << frame.width() << "x" << frame.height();
        EXPECT_LE(frame.width(), work.width() * 2 / 3);
        if (n < 2) {
            EXPECT_TRUE(shown.contains(QStringLiteral("初めの部分だけ"))) << shown.toStdString();
            EXPECT_LE(shown.size(), 1200);
        }
        if (n++ == 0) {
            EXPECT_TRUE(
                shot.save(QStringLiteral(VELA_SCREENSHOT_DIR "/message-box-64k-reply.png")));
        }
    }
}

TEST_F(MessageBoxTest, DefaultButtonTakesTheFocusAndEnterOrSpacePressesIt) {
    QWidget* focused = nullptr;
    QString focusedCaption;
    EXPECT_EQ(show(QStringLiteral("YN"), QStringLiteral("3"),
                   [&](TfrmMessageBox* box) {
                       focused = QApplication::focusWidget();
                       focusedCaption = box->btnMode2->Caption();
                       EXPECT_FALSE(focused->testAttribute(Qt::WA_InputMethodEnabled));
                       press(box, Qt::Key_Return);
                   }),
              7);
    EXPECT_EQ(focusedCaption, QStringLiteral("いいえ(N)"));

    // 2 with no "no" button becomes 3; 3 with no cancel button becomes 2, hidden: the focus
    // stays on the first button.
    EXPECT_EQ(show(QStringLiteral("yc"), QStringLiteral("2"),
                   [&](TfrmMessageBox* box) {
                       EXPECT_EQ(box->DefaultButton(), 3);
                       EXPECT_EQ(QApplication::focusWidget(), box->btnMode3);
                       press(box, Qt::Key_Space);
                   }),
              2);
    EXPECT_EQ(show(QStringLiteral("y"), QStringLiteral("3"),
                   [&](TfrmMessageBox* box) {
                       EXPECT_EQ(box->DefaultButton(), 2);
                       EXPECT_EQ(QApplication::focusWidget(), box->btnMode1);
                       press(box, Qt::Key_Return);
                   }),
              6);
    // A click answers too.
    EXPECT_EQ(show(QStringLiteral("ync"), QStringLiteral("1"),
                   [&](TfrmMessageBox* box) {
                       QTest::mouseClick(box->btnMode3, Qt::LeftButton, {}, QPoint(40, 12));
                   }),
              2);
}

TEST_F(MessageBoxTest, NonDecimalDefaultButtonRaisesBeforeAnythingIsShown) {
    for (const char* text : {"", "1x", "$1", " 1", "99999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ShowMessageBox(&owner, QStringLiteral("TWAIN"), QStringLiteral("m"),
                                    QStringLiteral("x"), QStringLiteral("y"),
                                    QString::fromLatin1(text)),
                     EConvertError);
    }
    EXPECT_TRUE(sounds.isEmpty());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TfrmMessageBox*>(w), nullptr);
    EXPECT_EQ(show(QStringLiteral("y"), QStringLiteral("-4"),
                   [](TfrmMessageBox* box) { press(box, Qt::Key_Y); }),
              6);
}

TEST_F(MessageBoxTest, IconsPlayTheirSounds) {
    for (const char* icon : {"!", "?", "I", "x", "", "z"})
        show(
            QStringLiteral("y"), QStringLiteral("1"),
            [](TfrmMessageBox* box) { press(box, Qt::Key_Y); }, QStringLiteral("m"),
            QString::fromLatin1(icon));
    EXPECT_EQ(sounds, (QList<int>{0x40, 0x30, 0x30, 0x10}));
}

TEST_F(MessageBoxTest, OwnerAtTheRightEdgeHasTheBoxPulledBackOntoTheScreen) {
    const QRect work = owner.screen()->availableGeometry();
    owner.move(work.right() - 100, work.top() + 100);
    QRect frame;
    show(QStringLiteral("y"), QStringLiteral("1"), [&](TfrmMessageBox* box) {
        frame = box->frameGeometry();
        press(box, Qt::Key_Y);
    });
    EXPECT_EQ(frame.right(), work.right());
    EXPECT_EQ(frame.top(),
              owner.frameGeometry().y() + (owner.frameGeometry().height() - frame.height()) / 2);

    // Larger than the work area: bottom and right edge stay on the work area's.
    const QPoint big =
        TfrmMessageBox::BoxPosition(QRect(0, 0, 100, 100), work.size() + QSize(40, 40), work);
    EXPECT_EQ(big, work.topLeft() - QPoint(40, 40));
}

TEST_F(MessageBoxTest, OwnerDestroyedWhileTheBoxIsUpEndsItAsCancel) {
    auto* doomed = new QWidget;
    doomed->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(doomed));
    whenUp([doomed](TfrmMessageBox*) { delete doomed; });
    EXPECT_EQ(ShowMessageBox(doomed, QStringLiteral("TWAIN"), QStringLiteral("m"),
                             QStringLiteral("x"), QStringLiteral("ync"), QStringLiteral("1")),
              2);
}

} // namespace

// The browser host re-captions standard dialogs over its form; the box is not one of them.
TEST_F(MainFormTest, BrowserHostLeavesTheMessageBoxCaptionAlone) {
    TfrmMain& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    ASSERT_NE(f.CreateBrowser(), nullptr);

    QDialog plain(&f);
    plain.setWindowTitle(QStringLiteral("TWAIN"));
    QTimer::singleShot(300, &plain, &QDialog::accept);
    plain.exec();
    EXPECT_NE(plain.windowTitle(), QStringLiteral("TWAIN")) << "the hook is in place";

    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QString caption;
    whenUp([&](TfrmMessageBox* box) {
        QTest::qWait(200);
        caption = box->windowTitle();
        press(box, Qt::Key_Y);
    });
    EXPECT_EQ(ShowMessageBox(&f, QStringLiteral("TWAIN"), QStringLiteral("m"), QStringLiteral("i"),
                             QStringLiteral("Y"), QStringLiteral("1")),
              6);
    EXPECT_EQ(caption, QStringLiteral("TWAIN"));
}
