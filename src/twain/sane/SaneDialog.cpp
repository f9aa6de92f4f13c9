#include "SaneDialog.h"

#include "PreviewArea.h"
#include "SaneDevice.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
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
    auto* top = new QHBoxLayout;
    auto* column = new QVBoxLayout;
    top->addLayout(column);
    layout->addLayout(top);
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
    column->addLayout(form);
    addArea(column, top);
    column->addStretch();
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

void SaneDialog::addArea(QVBoxLayout* column, QHBoxLayout* top) {
    const std::optional<QRectF> limits = m_device.AreaLimits();
    if (!limits)
        return;
    grpArea = new QGroupBox(QStringLiteral("読み取り範囲 (mm)"));
    auto* grid = new QGridLayout(grpArea);
    const double step = m_device.AreaStep();
    const QRectF current = m_device.Area().isValid() ? m_device.Area() : *limits;
    const auto spin = [&](const QString& label, int row, int col, double min, double max,
                          double value) {
        auto* box = new QDoubleSpinBox;
        box->setDecimals(step >= 1 ? 0 : 1);
        box->setSingleStep(step);
        box->setRange(min, max);
        box->setValue(value);
        grid->addWidget(new QLabel(label), row, col);
        grid->addWidget(box, row, col + 1);
        return box;
    };
    spnLeft = spin(QStringLiteral("左:"), 0, 0, limits->left(), limits->right(), current.left());
    spnTop = spin(QStringLiteral("上:"), 0, 2, limits->top(), limits->bottom(), current.top());
    spnRight = spin(QStringLiteral("右:"), 1, 0, limits->left(), limits->right(), current.right());
    spnBottom =
        spin(QStringLiteral("下:"), 1, 2, limits->top(), limits->bottom(), current.bottom());
    column->addWidget(grpArea);
    btnPreview = new QPushButton(QStringLiteral("プレビュー"));
    column->addWidget(btnPreview, 0, Qt::AlignLeft);
    connect(btnPreview, &QPushButton::clicked, this, [this] {
        if (OnPreview)
            OnPreview();
    });

    Preview = new PreviewArea(*limits);
    Preview->SetArea(current);
    top->addWidget(Preview, 1);
    Preview->OnAreaChosen = [this](QRectF mm) { // a copy: the boxes move the frame
        // The boxes round to the device's step, so what they show is what is scanned.
        spnLeft->setValue(mm.left());
        spnTop->setValue(mm.top());
        spnRight->setValue(mm.right());
        spnBottom->setValue(mm.bottom());
    };
    for (QDoubleSpinBox* box : {spnLeft, spnTop, spnRight, spnBottom})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { Preview->SetArea(area()); });
}

QRectF SaneDialog::area() const {
    return QRectF(QPointF(spnLeft->value(), spnTop->value()),
                  QPointF(spnRight->value(), spnBottom->value()))
        .normalized();
}

void SaneDialog::Apply() {
    const int mode = cmbMode->currentIndex();
    m_device.SetMode(mode == 0 ? ScanMode::Color : mode == 2 ? ScanMode::LineArt : ScanMode::Gray);
    if (!cmbResolution->currentText().isEmpty())
        m_device.SetResolution(cmbResolution->currentText().toInt());
    m_device.UseFeeder(!chkFeeder->isHidden() && chkFeeder->isChecked());
    if (grpArea)
        m_device.SetArea(area());
}

void SaneDialog::SetBusy(bool busy) {
    btnScan->setEnabled(!busy);
    if (btnPreview)
        btnPreview->setEnabled(!busy);
}

void SaneDialog::ShowPreview(const QImage& image) {
    if (Preview)
        Preview->SetImage(image);
}

void SaneDialog::SetProgress(int percent) {
    Progress->setValue(percent);
}

void SaneDialog::SetStatus(const QString& text) {
    lblStatus->setText(text);
}

void SaneDialog::reject() {
    // QDialog would only hide itself, and the application would wait for ever.
    close();
}

void SaneDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    if (OnClose)
        OnClose();
}
