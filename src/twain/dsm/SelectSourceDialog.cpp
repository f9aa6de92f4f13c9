#include "SelectSourceDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

SelectSourceDialog::SelectSourceDialog(const QStringList& sources, const QString& current,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SelectSourceDialog"));
    setWindowTitle(QStringLiteral("ソースの選択"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ソース:")));
    List = new QListWidget;
    List->addItems(sources);
    const int index = std::max<int>(0, int(sources.indexOf(current)));
    List->setCurrentRow(index);
    layout->addWidget(List);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnSelect = new QPushButton(QStringLiteral("選択"));
    btnSelect->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"));
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnSelect, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(List, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(320, 240);
}

QString SelectSourceDialog::Chosen() const {
    const QListWidgetItem* item = List->currentItem();
    return item ? item->text() : QString();
}
