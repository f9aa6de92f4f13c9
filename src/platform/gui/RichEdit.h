#pragma once

#include <QTextEdit>

// The rich edit control: a QTextEdit with the plain-text mode flag that decides whether files
// are loaded and saved as plain text or as formatted text, and a formatting rectangle inset
// from the client area.
class RichEdit : public QTextEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichEdit)

public:
    explicit RichEdit(QWidget* parent = nullptr);

    bool PlainText() const { return m_plainText; }
    // Switching does not change the content.
    void SetPlainText(bool on) { m_plainText = on; }

    // The text area becomes the client area inset by h and v on every side.
    void SetFormatMargins(int h, int v);
    QMargins FormatMargins() const { return viewportMargins(); }

    // The text as lines, split at line breaks; a final line break adds no empty line.
    QStringList Lines() const;

private:
    bool m_plainText = false;
};
