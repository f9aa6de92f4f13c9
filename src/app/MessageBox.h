#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class TFlatButton;

// The program's own message box: one to three answer buttons chosen by a mode string, an icon
// with its alert sound, a size that follows the message up to two thirds of the screen's width,
// placed over the calling window and kept on the screen, answers by the letters Y and N and by
// Escape. Shown modally it returns mrYes, mrNo or mrCancel.
class TfrmMessageBox final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmMessageBox)

public:
    static constexpr int mrYes = 6;
    static constexpr int mrNo = 7;
    static constexpr int mrCancel = 2;

    explicit TfrmMessageBox(QWidget* parent = nullptr);

    // Caption, message, icon and sound, size and place, buttons by mode, the default button.
    void PrepareBox(QWidget* owner, const QString& caption, const QString& message,
                    const QString& icon, const QString& mode, int defaultButton);

    // The message, its lines ended by line feeds; the label shows it wrapped and, when too long,
    // cut.
    const QString& Message() const { return m_message; }
    int Mode() const { return m_mode; }
    int DefaultButton() const { return m_defaultButton; }

    // The box's size for a message label of the given size.
    static QSize BoxSize(const QRect& label);
    // Where a box of the given size stands over the owner's frame, kept inside the work area.
    static QPoint BoxPosition(const QRect& owner, const QSize& box, const QRect& workArea);
    // The mode number of a mode string: 1 "y" (and anything unknown), 2 "yn", 3 "yc", 4 "ync".
    static int ModeNumber(const QString& mode);

    QLabel* Image1 = nullptr;
    QLabel* lblMsg = nullptr;
    QWidget* pnlButton = nullptr;
    TFlatButton* btnMode1 = nullptr;
    TFlatButton* btnMode2 = nullptr;
    TFlatButton* btnMode3 = nullptr;

public Q_SLOTS:
    // The close box and the system menu: cancel, or the only answer the mode offers.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The form sees keys before its buttons; true when the key gave the answer.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void placeButtons();

    // Icon sources for "i", "?", "!" and "x".
    QPixmap img0;
    QPixmap img1;
    QPixmap img2;
    QPixmap img4;
    QString m_message;
    int m_mode = 1;
    int m_defaultButton = 1;
    int m_outerWidth = 322;
};

// Shows a new box modally over owner and returns its answer: 6 yes, 7 no, 2 cancel.
// defaultButton is a decimal number; any other text raises EConvertError before anything is
// shown.
int ShowMessageBox(QWidget* owner, const QString& caption, const QString& message,
                   const QString& icon, const QString& mode, const QString& defaultButton);
