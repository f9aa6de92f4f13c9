#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

// A desktop keyring of the test's own: a private session bus (dbus-run-session) with a
// gnome-keyring-daemon whose login keyring is made and unlocked at start, in the test's home.
// The test process talks to it from the start on; the bus and the daemon end with it.
class KeyringSession {
public:
    KeyringSession();
    ~KeyringSession();
    KeyringSession(const KeyringSession&) = delete;
    KeyringSession& operator=(const KeyringSession&) = delete;

    bool Started() const { return !m_address.isEmpty(); }

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
    QByteArray m_address;
    QByteArray m_previous;
};
