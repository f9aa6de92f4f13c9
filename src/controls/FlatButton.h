#pragma once

#include "Colors.h"

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

// A push button that paints itself: a rounded body with a blue-grey gradient face, an orange
// frame under the mouse, a sunk face while held down and a dotted focus frame. It takes the
// focus, keys, mnemonics and the dialog keys Enter (Default) and Escape (Cancel).
class TFlatButton : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFlatButton)

public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // owner is the form that receives ModalResult; without one, the button's window.
    explicit TFlatButton(QWidget* parent = nullptr, QObject* owner = nullptr);
    ~TFlatButton() override;

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    // The caption's own font and text colour; the widget's inherited font is not used.
    const QFont& Font() const { return m_font; }
    void SetFont(const QFont& font);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool on) { m_cancel = on; }
    bool Default() const { return m_default; }
    void SetDefault(bool on) { m_default = on; }
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool on);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool on) { m_showHint = on; }
    QObject* Owner() const;

    bool Hot() const { return m_hot; }
    bool Pressed() const { return m_pressed; }
    bool Focused() const { return m_focused; }

    // OnClick, then the owner's modal result when ModalResult is not 0.
    void Click();

    // The form offers Enter (13) or Escape (27); a Default or Cancel button clicks.
    void DialogKey(int virtualKey);
    // The form offers a typed character; true when it was this button's accelerator.
    bool DialogChar(QChar c);

    // The caption without its first "&", and the accelerator ('\0' when there is none).
    static QString DisplayText(const QString& caption);
    static QChar Accelerator(const QString& caption);

    TNotifyEvent OnClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setHot(bool hot);
    void grabMnemonic();
    void hookForm();
    QImage render() const;
    void paintEnabled(QPainter& canvas, QImage& image) const;
    void paintDisabled(QPainter& canvas) const;
    void paintCaption(QPainter& canvas, const QColor& colour, int offset) const;

    QString m_caption = QStringLiteral("XP Button");
    bool m_hot = false;
    bool m_pressed = false;
    QFont m_font;
    TColor m_fontColor = clWindowText;
    bool m_focused = false;
    // The button is its form's active control (between OnEnter and OnExit).
    bool m_entered = false;
    int m_modalResult = 0;
    bool m_cancel = false;
    bool m_default = false;
    bool m_tabStop = true;
    bool m_showHint = true;
    int m_mnemonicId = 0;
    QPointer<QObject> m_owner;
};
