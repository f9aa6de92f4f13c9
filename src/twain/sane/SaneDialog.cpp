#include "SaneDialog.h"

#include "SaneDevice.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

SaneDialog::SaneDialog(const QString& deviceName, SaneDevice& device, QWidget* parent)
    : QDialog(parent), m_device(device) {
    setObjectName(QStringLiteral("SaneDialog"));
    setWindowTitle(QStringLiteral("スキャン"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("デバイス:"), new QLabel(deviceName));
    cmbMode = new QComboBox;
    cmbMode->addItems({QStringLiteral("カラー"), QStringLiteral("グレー"), QStringLiteral("白黒")});
    cmbMode->setCurrentIndex(1);
    form->addRow(QStringLiteral("モード:"), cmbMode);
    cmbResolution = new QComboBox;
    cmbResolution->addItems(device.Resolutions());
    cmbResolution->setCurrentText(QStringLiteral("300"));
    form->addRow(QStringLiteral("解像度 (dpi):"), cmbResolution);
    chkFeeder = new QCheckBox(QStringLiteral("フィーダーの全ページ"));
    chkFeeder->setVisible(device.HasFeeder());
    form->addRow(QString(), chkFeeder);
    layout->addLayout(form);
    Progress = new QProgressBar;
    Progress->setRange(0, 100);
    Progress->setValue(0);
    layout->addWidget(Progress);
    lblStatus = new QLabel;
    layout->addWidget(lblStatus);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnScan = new QPushButton(QStringLiteral("スキャン"));
    btnScan->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"));
    buttons->addWidget(btnScan);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnScan, &QPushButton::clicked, this, [this] {
        if (OnScan)
            OnScan();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

void SaneDialog::Apply() {
    const int mode = cmbMode->currentIndex();
    m_device.SetMode(mode == 0 ? ScanMode::Color : mode == 2 ? ScanMode::LineArt : ScanMode::Gray);
    if (!cmbResolution->currentText().isEmpty())
        m_device.SetResolution(cmbResolution->currentText().toInt());
    m_device.UseFeeder(!chkFeeder->isHidden() && chkFeeder->isChecked());
}

void SaneDialog::SetProgress(int percent) {
    Progress->setValue(percent);
}

void SaneDialog::SetStatus(const QString& text) {
    lblStatus->setText(text);
}

void SaneDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    if (OnClose)
        OnClose();
}
