#include "AccountSettings.h"

#include "IniSettings.h"
#include "SecretStore.h"
#include "TlsPeerCheck.h"

#include <QUrl>

namespace AccountSettings {

namespace {

const QString ServerSection = QStringLiteral("SERVER");

QString fileValue(const QString& settingsBase, const char* key) {
    return ReadIniString(settingsBase, ServerSection, QLatin1String(key), QString());
}

void write(const QString& settingsBase, const char* key, const QString& value) {
    WriteIniString(settingsBase, ServerSection, QLatin1String(key), value);
}

} // namespace

QString KeyringServer(const ServiceAddress::HostPort& host) {
    return host.Host + QLatin1Char(':') + QString::number(host.Port);
}

bool KeyringAnswers() {
    return SecretStore::Lookup(QStringLiteral("vela.invalid:21"), QString()).Answered;
}

bool PasswordInFile(const QString& settingsBase) {
    return !fileValue(settingsBase, "PASS").isEmpty();
}

Form Read(const QString& settingsBase) {
    Form form{fileValue(settingsBase, "HOST"),
              fileValue(settingsBase, "USER"),
              fileValue(settingsBase, "PASS"),
              fileValue(settingsBase, "INID"),
              fileValue(settingsBase, "ADDR"),
              fileValue(settingsBase, "TLS").trimmed() == QLatin1String("1"),
              fileValue(settingsBase, "TLSFINGERPRINT")};
    const auto host = ServiceAddress::ParseHostPort(form.Host, 21);
    if (form.Password.isEmpty() && host && !form.User.isEmpty())
        form.Password =
            SecretStore::Lookup(KeyringServer(*host), form.User).Password.value_or(QString());
    return form;
}

QString Problem(const Form& form) {
    if (!ServiceAddress::ParseHostPort(form.Host, 21))
        return QStringLiteral("ホスト「%1」はホスト名（:ポート番号）として使えません。")
            .arg(form.Host);
    if (form.User.isEmpty())
        return QStringLiteral("ユーザー名を入れてください。");
    if (form.Directory.isEmpty())
        return QStringLiteral("フォルダー (INID) を入れてください。");
    const QUrl address(form.Address);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        !form.Address.endsWith(QLatin1Char('/')))
        return QStringLiteral("公開アドレス (ADDR) は http:// か https:// で始まり / "
                              "で終わるアドレスにしてください。");
    if (form.Tls && !form.Fingerprint.trimmed().isEmpty() &&
        !TlsPeerCheck::ParseFingerprint(form.Fingerprint))
        return QStringLiteral("フィンガープリントは証明書の SHA-256（16 進 64 桁、コロン区切り可）"
                              "にしてください。");
    return {};
}

UploadSetup::Account ToAccount(const Form& form) {
    return UploadSetup::ToAccount({form.Host, form.User, form.Password, form.Directory});
}

UploadSetup::TlsChoice ToTlsChoice(const Form& form) {
    return {QLatin1String(form.Tls ? "1" : "0"), form.Tls ? form.Fingerprint : QString()};
}

bool Save(const QString& settingsBase, const Form& form, bool moveFilePassword) {
    write(settingsBase, "HOST", form.Host.trimmed());
    write(settingsBase, "USER", form.User);
    write(settingsBase, "INID", form.Directory);
    write(settingsBase, "ADDR", form.Address);
    write(settingsBase, "TLS", QLatin1String(form.Tls ? "1" : "0"));
    write(settingsBase, "TLSFINGERPRINT", form.Tls ? form.Fingerprint.trimmed() : QString());
    const bool keepInFile = PasswordInFile(settingsBase) && !moveFilePassword;
    const auto host = ServiceAddress::ParseHostPort(form.Host, 21);
    if (!keepInFile && host && SecretStore::Store(KeyringServer(*host), form.User, form.Password)) {
        if (PasswordInFile(settingsBase))
            write(settingsBase, "PASS", QString());
        return true;
    }
    write(settingsBase, "PASS", form.Password);
    return false;
}

void TakeKeyringPassword(const QString& settingsBase, UploadSetup::UploadValues& values) {
    // Without a server of the user's there is nothing to ask the keyring for.
    if (PasswordInFile(settingsBase) || fileValue(settingsBase, "HOST").isEmpty())
        return;
    const auto host = ServiceAddress::ParseHostPort(values.Host, 21);
    if (!host)
        return;
    if (auto password = SecretStore::Lookup(KeyringServer(*host), values.User).Password)
        values.Password = *password;
}

} // namespace AccountSettings
