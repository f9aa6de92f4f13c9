#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The window's file-save dialog: initial folder, proposed name, one filter
// ("description|pattern"), asks before overwriting. Tests answer it through a responder.
class SaveDialog final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaveDialog)

public:
    explicit SaveDialog(QObject* parent = nullptr);

    QString InitialDir;
    QString FileName;
    QString Filter;

    // True when the user confirmed; FileName then holds the chosen path.
    bool Execute();

    // The filter in the dialog's own form, "description (pattern)" -> "description".
    QString QtFilter() const;

    using Responder = std::function<std::optional<QString>(const SaveDialog& dialog)>;
    static void SetResponder(Responder responder);
};
