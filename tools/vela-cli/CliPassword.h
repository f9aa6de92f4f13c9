#pragma once

#include <QString>
#include <optional>

// Where put and get take the FTP password from, so that it need not stand on the command line,
// where every user of the machine can read it (ps, /proc).
struct PasswordChoice {
    QString CommandLine; // --password, still taken, with a warning
    bool OnCommandLine = false;
    QString File; // --password-file
};

// In this order: --password (warned about), --password-file (its first line), the variable
// VELA_FTP_PASSWORD, else a prompt on the terminal without echo when there is a terminal and
// the user is not anonymous. Empty when nothing gives one; no value and a message on standard
// error when the file cannot be read.
std::optional<QString> ResolvePassword(const PasswordChoice& choice, const QString& user,
                                       const char* command);
