#include "PageDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PageDialog::PageDialog(QWidget* parent, const QString& caption, const QString& message,
                       Buttons buttons, bool withInput, const QString& defaultValue)
    : QDialog(parent) {
    setProperty("windowClassName", QString::fromLatin1(WindowClass));
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(message, this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    if (withInput) {
        m_input = new QLineEdit(defaultValue, this);
        layout->addWidget(m_input);
    }
    QDialogButtonBox::StandardButtons set = QDialogButtonBox::Ok;
    if (buttons == OkCancel)
        set = QDialogButtonBox::Ok | QDialogButtonBox::Cancel;
    else if (buttons == YesNo)
        set = QDialogButtonBox::Yes | QDialogButtonBox::No;
    auto* box = new QDialogButtonBox(set, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (buttons == YesNo) {
        // "No" is an answer of its own; closing the dialog is not.
        disconnect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(box->button(QDialogButtonBox::No), &QPushButton::clicked, this,
                [this] { done(NoAnswer); });
    }
    layout->addWidget(box);
}

QString PageDialog::InputText() const {
    return m_input ? m_input->text() : QString();
}

QString WindowClassName(const QWidget* window) {
    if (!window)
        return QString();
    const QVariant own = window->property("windowClassName");
    if (own.isValid())
        return own.toString();
    if (qobject_cast<const QDialog*>(window))
        return QStringLiteral("#32770");
    return QString::fromLatin1(window->metaObject()->className());
}

QString ReplaceDialogCaption(const QString& caption, const QString& newCaption) {
    QString result = caption;
    const qsizetype ms = result.indexOf(QLatin1String("Microsoft "));
    if (ms >= 0)
        result.remove(ms, 10);
    const qsizetype ie = result.indexOf(QLatin1String("Internet Explorer"));
    if (ie >= 0)
        result.replace(ie, 17, newCaption);
    if (!result.contains(newCaption))
        result = newCaption + QStringLiteral(":  ") + result;
    return result;
}
