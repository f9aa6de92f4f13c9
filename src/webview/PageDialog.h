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
