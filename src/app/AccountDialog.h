#pragma once

#include "AccountSettings.h"

#include <QDialog>
#include <optional>

class ConnectionTest;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The upload account, set up without editing the settings file: the server, user, password,
// folder (INID), public address (ADDR), TLS and the certificate's fingerprint. 接続テスト runs
// the whole road of a translation with a probe file; nothing is written until 保存.
class AccountDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountDialog)

public:
    AccountDialog(const QString& settingsBase, QWidget* parent);
    ~AccountDialog() override;

    AccountSettings::Form Values() const;
    // The last test's outcome or what keeps the values from being saved.
    QString Status() const;

    QLineEdit* edtHost = nullptr;
    QLineEdit* edtUser = nullptr;
    QLineEdit* edtPassword = nullptr;
    QLineEdit* edtDirectory = nullptr;
    QLineEdit* edtAddress = nullptr;
    QCheckBox* chkTls = nullptr;
    QLineEdit* edtFingerprint = nullptr;
    // Shown when the settings file holds a password and a keyring answers.
    QCheckBox* chkMovePassword = nullptr;
    QLabel* lblKeyring = nullptr;
    QPlainTextEdit* txtStatus = nullptr;
    QPushButton* btnTest = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void btnTestClick();
    void btnSaveClick();
    void showStatus(const QString& text, bool failure);
    // The values when they can be used, else none and the reason shown.
    std::optional<AccountSettings::Form> usableValues();

    QString m_settingsBase;
    ConnectionTest* m_test = nullptr;
};
