#include "DialogKeys.h"

#include "FlatButton.h"

#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace {

constexpr int vkReturn = 13;
constexpr int vkEscape = 27;

QList<QPointer<TFlatButton>> buttonsOf(QWidget* form) {
    QList<QPointer<TFlatButton>> result;
    for (TFlatButton* button : form->findChildren<TFlatButton*>())
        result << button;
    return result;
}

// Sees the keys that travel up to the form unhandled.
class DialogKeyFilter final : public QObject {
public:
    explicit DialogKeyFilter(QWidget* form) : QObject(form) {
        setObjectName(QStringLiteral("DialogKeyFilter"));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || watched != parent())
            return false;
        auto* form = static_cast<QWidget*>(parent());
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return OfferDialogKey(form, vkReturn);
        if (key->key() == Qt::Key_Escape)
            return OfferDialogKey(form, vkEscape);
        // Alt with a character is the buttons' shortcut; control combinations are commands.
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        const QString text = key->text();
        if (text.size() != 1 || !text.at(0).isPrint())
            return false;
        for (const QPointer<TFlatButton>& button : buttonsOf(form)) {
            if (button && button->DialogChar(text.at(0)))
                return true;
        }
        return false;
    }
};

} // namespace

void HookDialogKeys(QWidget* form) {
    if (!form ||
        form->findChild<QObject*>(QStringLiteral("DialogKeyFilter"), Qt::FindDirectChildrenOnly))
        return;
    form->installEventFilter(new DialogKeyFilter(form));
}

bool OfferDialogKey(QWidget* form, int virtualKey) {
    const QPointer<QWidget> guard(form);
    for (const QPointer<TFlatButton>& button : buttonsOf(form)) {
        if (button)
            button->DialogKey(virtualKey);
        if (!guard || !guard->isVisible())
            return true;
    }
    return false;
}
