#include "KeyringSession.h"

#include <QElapsedTimer>
#include <QFile>

KeyringSession::KeyringSession() : m_previous(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The daemon reads the login keyring's password from its input; cat then holds the session
    // open until the test closes its input.
    m_process.start(
        QStringLiteral("dbus-run-session"),
        {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("echo \"BUS $DBUS_SESSION_BUS_ADDRESS\"; printf test | "
                        "gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1; "
                        "echo READY; exec cat >/dev/null")});
    if (!m_process.waitForStarted(10000))
        return;
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && !output.contains("READY\n") &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        output += m_process.readAllStandardOutput();
    }
    const qsizetype start = output.indexOf("BUS ");
    if (start < 0 || !output.contains("READY\n"))
        return;
    m_address = output.mid(start + 4, output.indexOf('\n', start) - start - 4);
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
}

KeyringSession::~KeyringSession() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_previous);
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
