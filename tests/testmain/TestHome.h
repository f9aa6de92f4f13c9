// Every test process runs with a home and configuration, cache and data folders of its own,
// removed at its end, and no session bus: nothing a test does reaches the real user's files.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

class TestHome {
public:
    TestHome() {
        const QByteArray root = QFile::encodeName(m_dir.path());
        qputenv("HOME", root);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
            const QByteArray path = root + '/' + name;
            QDir().mkpath(QFile::decodeName(path));
            qputenv(name, path);
        }
        // Nor the user's keyring: a test that wants one starts its own session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root + "/no-session-bus");
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vela-test-home-XXXXXX")};
};
