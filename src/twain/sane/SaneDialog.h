#pragma once

#include <QDialog>
#include <QRectF>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QHBoxLayout;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class PreviewArea;
class SaneDevice;

// The SANE source's own window: device, mode, resolution, feeder, the scan area and a preview
// to choose it on where the device offers one, スキャン and キャンセル, and a progress bar while
// the page comes in. OnScan runs the scan, OnPreview the preview; closing or cancelling calls
// OnClose.
class SaneDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneDialog)

public:
    SaneDialog(const QString& deviceName, SaneDevice& device, QWidget* parent);

    std::function<void()> OnScan;
    std::function<void()> OnPreview;
    std::function<void()> OnClose;

    // Applies the chosen settings to the device.
    void Apply();
    void SetProgress(int percent);
    void SetStatus(const QString& text);
    void SetBusy(bool busy);
    void ShowPreview(const QImage& image);

    QComboBox* cmbMode = nullptr;
    QComboBox* cmbResolution = nullptr;
    QCheckBox* chkFeeder = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* lblStatus = nullptr;
    QGroupBox* grpArea = nullptr; // absent without a scan area
    QDoubleSpinBox* spnLeft = nullptr;
    QDoubleSpinBox* spnTop = nullptr;
    QDoubleSpinBox* spnRight = nullptr;
    QDoubleSpinBox* spnBottom = nullptr;
    PreviewArea* Preview = nullptr;
    QPushButton* btnPreview = nullptr;
    QPushButton* btnScan = nullptr;
    QPushButton* btnCancel = nullptr;

    // Escape goes where the close box goes: the session must hear of it.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addArea(QVBoxLayout* column, QHBoxLayout* top);
    QRectF area() const;

    SaneDevice& m_device;
};
