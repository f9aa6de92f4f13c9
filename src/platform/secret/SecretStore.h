#pragma once

#include <QString>
#include <optional>

// Passwords in the desktop keyring through the Secret Service (GNOME Keyring, KeePassXC,
// KWallet's service), one for each user of each server. The calls wait for the keyring, which
// may ask the user to unlock it. Each call opens its own connection to the session bus, so a
// keyring started or ended meanwhile is seen, and a bus that goes away never ends the program.
namespace SecretStore {

// What the keyring said: Answered is false when no keyring could be reached (Error tells why).
struct LookupResult {
    bool Answered = false;
    std::optional<QString> Password; // none stored
    QString Error;
};

LookupResult Lookup(const QString& server, const QString& user);
// True when the keyring holds the password now; else error tells why.
bool Store(const QString& server, const QString& user, const QString& password,
           QString* error = nullptr);
// True when the keyring answered (whether or not it held a password).
bool Clear(const QString& server, const QString& user);

} // namespace SecretStore
