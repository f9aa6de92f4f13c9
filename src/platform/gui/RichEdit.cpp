#include "RichEdit.h"

#include <QRegularExpression>

RichEdit::RichEdit(QWidget* parent) : QTextEdit(parent) {
    // The inset area shows the edit's own background, like the control's formatting rectangle.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void RichEdit::SetFormatMargins(int h, int v) {
    document()->setDocumentMargin(0);
    setViewportMargins(h, v, h, v);
}

QStringList RichEdit::Lines() const {
    QString text = toPlainText();
    // QTextEdit separates paragraphs with U+2029 internally; toPlainText gives "\n".
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}
