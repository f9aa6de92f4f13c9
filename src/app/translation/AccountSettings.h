#pragma once

#include "UploadSetup.h"

#include <QString>

// The upload account as the account dialog edits it, and where its password is kept: in the
// desktop keyring under the server and the user, or, where no keyring answers (or the user
// keeps it there), as PASS in the settings file, which is then readable by its owner alone.
namespace AccountSettings {

struct Form {
    QString Host; // host[:port]
    QString User;
    QString Password;
    QString Directory;
    QString Address;
    bool Tls = false;
    QString Fingerprint;
};

// The SERVER values as written (missing ones empty, not the built-in placeholders), the
// password from the file or else from the keyring.
Form Read(const QString& settingsBase);
// Why the form cannot be saved or tested; empty when it can.
QString Problem(const Form& form);
UploadSetup::Account ToAccount(const Form& form);
UploadSetup::TlsChoice ToTlsChoice(const Form& form);

// The key of a password in the keyring: the server as host:port.
QString KeyringServer(const ServiceAddress::HostPort& host);

// True when a keyring answers on the session bus.
bool KeyringAnswers();
// True when the settings file holds a PASS that is not empty.
bool PasswordInFile(const QString& settingsBase);

// Writes the SERVER values; the password goes to the keyring unless the file already holds one
// and moveFilePassword is false, or no keyring answers. True when the keyring took it (the
// file's PASS then emptied), false when PASS in the file holds it. Raises EFileError when the
// file cannot be written.
bool Save(const QString& settingsBase, const Form& form, bool moveFilePassword);

// The password of values read from the file: a PASS of the file stays; without one, the
// keyring's for the host and user, when it holds one.
void TakeKeyringPassword(const QString& settingsBase, UploadSetup::UploadValues& values);

} // namespace AccountSettings
