#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// The source manager's selection dialog: the installed sources, 選択 and キャンセル.
class SelectSourceDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectSourceDialog)

public:
    SelectSourceDialog(const QStringList& sources, const QString& current, QWidget* parent);

    QString Chosen() const;

    QListWidget* List = nullptr;
    QPushButton* btnSelect = nullptr;
    QPushButton* btnCancel = nullptr;
};
