#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class SaneDevice;

// The SANE source's own window: device, mode, resolution, feeder, スキャン and キャンセル, and a
// progress bar while the page comes in. OnScan runs the scan; closing or cancelling calls
// OnClose.
class SaneDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneDialog)

public:
    SaneDialog(const QString& deviceName, SaneDevice& device, QWidget* parent);

    std::function<void()> OnScan;
    std::function<void()> OnClose;

    // Applies the chosen settings to the device.
    void Apply();
    void SetProgress(int percent);
    void SetStatus(const QString& text);

    QComboBox* cmbMode = nullptr;
    QComboBox* cmbResolution = nullptr;
    QCheckBox* chkFeeder = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* btnScan = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SaneDevice& m_device;
};
