#include "CliPassword.h"

#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A password file larger than this is not a password file.
constexpr qint64 MaxPasswordFile = 64 * 1024;

QString firstLine(const QByteArray& bytes) {
    QByteArray line = bytes.left(bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

// Reads one line from the controlling terminal with its echo off; empty without a terminal.
std::optional<QString> prompt(const QString& user) {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    const QByteArray question = "Password for " + user.toLocal8Bit() + ": ";
    termios saved{};
    const bool echoOff = ::tcgetattr(tty, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    QByteArray answer;
    if (::write(tty, question.constData(), size_t(question.size())) >= 0) {
        for (char c = 0; ::read(tty, &c, 1) == 1 && c != '\n';)
            answer += c;
    }
    if (echoOff)
        ::tcsetattr(tty, TCSAFLUSH, &saved);
    // The user's Enter was not echoed.
    if (::write(tty, "\n", 1) < 0) {
    }
    ::close(tty);
    return firstLine(answer);
}

} // namespace

std::optional<QString> ResolvePassword(const PasswordChoice& choice, const QString& user,
                                       const char* command) {
    if (choice.OnCommandLine) {
        std::fprintf(stderr,
                     "vela-cli %s: warning: --password shows the password to every user of this "
                     "machine; use --password-file or VELA_FTP_PASSWORD\n",
                     command);
        return choice.CommandLine;
    }
    if (!choice.File.isEmpty()) {
        QFile file(choice.File);
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPasswordFile) {
            std::fprintf(stderr, "vela-cli %s: cannot read the password file %s\n", command,
                         QFile::encodeName(choice.File).constData());
            return std::nullopt;
        }
        return firstLine(file.read(MaxPasswordFile) + '\n');
    }
    if (qEnvironmentVariableIsSet("VELA_FTP_PASSWORD"))
        return qEnvironmentVariable("VELA_FTP_PASSWORD");
    if (user != QLatin1String("anonymous") && ::isatty(STDIN_FILENO))
        return prompt(user).value_or(QString());
    return QString();
}
