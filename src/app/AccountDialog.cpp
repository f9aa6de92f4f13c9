#include "AccountDialog.h"

#include "ConnectionTest.h"
#include "VelaError.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLineEdit* field(const QString& text, const QString& placeholder) {
    auto* edit = new QLineEdit(text);
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(320);
    return edit;
}

// Messages break lines with CR, as the message box expects.
QString shown(QString text) {
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

AccountDialog::AccountDialog(const QString& settingsBase, QWidget* parent)
    : QDialog(parent), m_settingsBase(settingsBase) {
    setWindowTitle(QStringLiteral("アップロード先の設定"));
    const AccountSettings::Form form = AccountSettings::Read(settingsBase);
    edtHost = field(form.Host, QStringLiteral("ftp.example.jp または ftp.example.jp:2121"));
    edtUser = field(form.User, QString());
    edtPassword = field(form.Password, QString());
    edtPassword->setEchoMode(QLineEdit::Password);
    edtDirectory = field(form.Directory, QStringLiteral("/public_html/trans/"));
    edtAddress = field(form.Address, QStringLiteral("https://www.example.jp/trans/"));
    chkTls = new QCheckBox(QStringLiteral("TLS で暗号化する (FTPS)"));
    chkTls->setChecked(form.Tls);
    edtFingerprint = field(form.Fingerprint, QStringLiteral("証明書の SHA-256（任意）"));
    edtFingerprint->setEnabled(form.Tls);
    connect(chkTls, &QCheckBox::toggled, edtFingerprint, &QWidget::setEnabled);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("ホスト (HOST)"), edtHost);
    fields->addRow(QStringLiteral("ユーザー名 (USER)"), edtUser);
    fields->addRow(QStringLiteral("パスワード"), edtPassword);
    fields->addRow(QStringLiteral("フォルダー (INID)"), edtDirectory);
    fields->addRow(QStringLiteral("公開アドレス (ADDR)"), edtAddress);
    fields->addRow(QString(), chkTls);
    fields->addRow(QStringLiteral("フィンガープリント"), edtFingerprint);

    const bool keyring = AccountSettings::KeyringAnswers();
    const bool inFile = AccountSettings::PasswordInFile(settingsBase);
    lblKeyring = new QLabel;
    lblKeyring->setWordWrap(true);
    if (!keyring)
        lblKeyring->setText(QStringLiteral("デスクトップのキーリングが応答しないため、パスワードは"
                                           "設定ファイル %1.ini に保存されます（本人だけが読める"
                                           "モード 0600）。")
                                .arg(settingsBase));
    else if (!inFile)
        lblKeyring->setText(QStringLiteral("パスワードはデスクトップのキーリングに保存されます。"));
    else
        lblKeyring->setText(QStringLiteral("パスワードは今は設定ファイルにあります。"));
    chkMovePassword =
        new QCheckBox(QStringLiteral("パスワードをキーリングに移し、設定ファイルから消す"));
    chkMovePassword->setVisible(keyring && inFile);

    // A server's reply may hold long words (a certificate's fingerprint): wrapped anywhere and
    // scrolled, it never widens the dialog.
    txtStatus = new QPlainTextEdit;
    txtStatus->setReadOnly(true);
    txtStatus->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtStatus->setFixedHeight(6 * txtStatus->fontMetrics().lineSpacing());
    txtStatus->setFrameShape(QFrame::NoFrame);
    txtStatus->viewport()->setAutoFillBackground(false);

    btnTest = new QPushButton(QStringLiteral("接続テスト"));
    btnSave = new QPushButton(QStringLiteral("保存"));
    btnCancel = new QPushButton(QStringLiteral("キャンセル"));
    btnSave->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnTest);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto* column = new QVBoxLayout(this);
    column->addLayout(fields);
    column->addWidget(lblKeyring);
    column->addWidget(chkMovePassword);
    column->addWidget(txtStatus);
    column->addLayout(buttons);

    m_test = new ConnectionTest(this);
    m_test->OnProgress = [this](ConnectionTest::Step, const QString& text) {
        showStatus(QStringLiteral("接続テスト中: ") + text, false);
    };
    m_test->OnFinished = [this](ConnectionTest::Step failed, const QString& message) {
        showStatus(message, failed != ConnectionTest::Done);
        btnTest->setEnabled(true);
    };
    connect(btnTest, &QPushButton::clicked, this, [this] { btnTestClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

AccountDialog::~AccountDialog() {
    m_test->OnProgress = nullptr;
    m_test->OnFinished = nullptr;
}

AccountSettings::Form AccountDialog::Values() const {
    return {edtHost->text().trimmed(),
            edtUser->text(),
            edtPassword->text(),
            edtDirectory->text(),
            edtAddress->text().trimmed(),
            chkTls->isChecked(),
            edtFingerprint->text().trimmed()};
}

QString AccountDialog::Status() const {
    return txtStatus->toPlainText();
}

void AccountDialog::showStatus(const QString& text, bool failure) {
    txtStatus->setStyleSheet(failure ? QStringLiteral("color: #b00000;") : QString());
    txtStatus->setPlainText(shown(text));
}

std::optional<AccountSettings::Form> AccountDialog::usableValues() {
    const AccountSettings::Form form = Values();
    const QString problem = AccountSettings::Problem(form);
    if (problem.isEmpty())
        return form;
    showStatus(problem, true);
    return std::nullopt;
}

void AccountDialog::btnTestClick() {
    const auto form = usableValues();
    if (!form)
        return;
    btnTest->setEnabled(false);
    m_test->Start(AccountSettings::ToAccount(*form), AccountSettings::ToTlsChoice(*form),
                  form->Address);
}

void AccountDialog::btnSaveClick() {
    const auto form = usableValues();
    if (!form)
        return;
    try {
        AccountSettings::Save(m_settingsBase, *form, chkMovePassword->isChecked());
    } catch (const VelaError& e) {
        showStatus(e.Message(), true);
        return;
    }
    accept();
}
