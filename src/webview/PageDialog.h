#pragma once

#include <QDialog>

class QLineEdit;

// The dialog the browser shows for a page: alert, confirm, prompt and the script-error
// question. Its window class is the browser's own dialog class, so that the host's dialog
// hook can tell it from the application's dialogs.
class PageDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageDialog)

public:
    static constexpr const char* WindowClass = "Internet Explorer_TridentDlgFrame";
    static constexpr const char* DefaultCaption = "Microsoft Internet Explorer";
    static constexpr const char* ScriptErrorCaption = "Internet Explorer Script Error";

    enum Buttons { OkOnly, OkCancel, YesNo };
    // The result of exec() when "No" was pressed.
    static constexpr int NoAnswer = 2;

    PageDialog(QWidget* parent, const QString& caption, const QString& message, Buttons buttons,
               bool withInput = false, const QString& defaultValue = QString());

    QString InputText() const;

private:
    QLineEdit* m_input = nullptr;
};

// The window class a top-level window stands for: the class a window names in its
// "windowClassName" property (the browser's page dialogs, the program's own forms such as its
// message box), else "#32770" for any dialog and the Qt class name for other windows.
QString WindowClassName(const QWidget* window);

// A dialog caption as the host re-captions it: the first "Microsoft " goes, the first
// "Internet Explorer" becomes newCaption, and newCaption is put in front when still absent.
QString ReplaceDialogCaption(const QString& caption, const QString& newCaption);
