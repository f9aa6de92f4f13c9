// vela-cli put / get: one upload or download with the FTP component, driven the way the
// main window drives it (Login, the transfer from OnLoggedIn, Disconnect on completion).
#include "CliCommand.h"
#include "CliPassword.h"
#include "FtpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct FtpOptions {
    QString Host;
    int Port = 21;
    QString User = QStringLiteral("anonymous");
    PasswordChoice Password;
    QString Directory;
    bool Passive = false;
    bool Ascii = false;
    bool Resume = false;
    bool Tls = false;
    QString Fingerprint;
    int Timeout = 100; // seconds; the window's setting for the component
    QString From;
    QString To;
};

const char* const s_putUsage = "put --host HOST [--port N] [--user U] [--password-file F] "
                               "[--dir DIR] [--passive] [--timeout SECONDS] "
                               "[--tls [--fingerprint SHA256]] [--ascii] [--resume] LOCAL REMOTE";
const char* const s_getUsage = "get --host HOST [--port N] [--user U] [--password-file F] "
                               "[--dir DIR] [--passive] [--timeout SECONDS] "
                               "[--tls [--fingerprint SHA256]] [--resume] REMOTE LOCAL";

// A decimal number in [low, high]; false for anything else.
bool parseNumber(const char* text, long low, long high, int& value) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool parse(bool put, int argc, char** argv, FtpOptions& o) {
    QStringList positional;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--host") == 0 && hasValue) {
            o.Host = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--port") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 1, 65535, o.Port))
                return false;
        } else if (std::strcmp(arg, "--timeout") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 1, 86400, o.Timeout))
                return false;
        } else if (std::strcmp(arg, "--user") == 0 && hasValue) {
            o.User = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--password") == 0 && hasValue) {
            o.Password.CommandLine = QString::fromLocal8Bit(argv[++i]);
            o.Password.OnCommandLine = true;
        } else if (std::strcmp(arg, "--password-file") == 0 && hasValue) {
            o.Password.File = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--dir") == 0 && hasValue) {
            o.Directory = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--passive") == 0) {
            o.Passive = true;
        } else if (std::strcmp(arg, "--tls") == 0) {
            o.Tls = true;
        } else if (std::strcmp(arg, "--fingerprint") == 0 && hasValue) {
            o.Fingerprint = QString::fromLocal8Bit(argv[++i]);
        } else if (put && std::strcmp(arg, "--ascii") == 0) {
            o.Ascii = true;
        } else if (std::strcmp(arg, "--resume") == 0) {
            o.Resume = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return false;
        } else {
            positional << QString::fromLocal8Bit(arg);
        }
    }
    // A pin without TLS would protect nothing.
    if (o.Host.isEmpty() || positional.size() != 2 || (!o.Fingerprint.isEmpty() && !o.Tls))
        return false;
    o.From = positional[0];
    o.To = positional[1];
    return true;
}

// Progress on one line of standard error, at most five times a second.
class Progress {
public:
    void Start() { m_clock.start(); }
    void SetTotal(qint64 total) { m_total = total; }
    void Update(qint64 bytes, bool force = false) {
        m_bytes = bytes;
        if (!force && m_shown.isValid() && m_shown.elapsed() < 200)
            return;
        m_shown.start();
        const double seconds = std::max<qint64>(m_clock.elapsed(), 1) / 1000.0;
        const double rate = static_cast<double>(bytes) / seconds / 1e6;
        if (m_total > 0)
            std::fprintf(stderr, "\r%lld of %lld bytes  %3d%%  %.1f MB/s   ",
                         static_cast<long long>(bytes), static_cast<long long>(m_total),
                         static_cast<int>(bytes * 100 / m_total), rate);
        else
            std::fprintf(stderr, "\r%lld bytes  %.1f MB/s   ", static_cast<long long>(bytes), rate);
        m_printed = true;
    }
    void Finish() {
        if (m_printed) {
            Update(m_bytes, true);
            std::fputc('\n', stderr);
        }
    }

private:
    QElapsedTimer m_clock;
    QElapsedTimer m_shown;
    qint64 m_total = 0;
    qint64 m_bytes = 0;
    bool m_printed = false;
};

int runTransfer(bool put, int argc, char** argv) {
    FtpOptions o;
    if (!parse(put, argc, argv, o)) {
        std::fprintf(stderr, "usage: vela-cli %s\n", put ? s_putUsage : s_getUsage);
        return 2;
    }
    const std::optional<QString> password =
        ResolvePassword(o.Password, o.User, put ? "put" : "get");
    if (!password)
        return 1;
    QCoreApplication app(argc, argv);
    TFtpClient client;
    // The main window's settings for the component, with this command's account.
    client.SetRetries(0);
    client.SetNoopInterval(60);
    client.SetServer(o.Host);
    client.SetPort(static_cast<std::uint16_t>(o.Port));
    client.SetUsername(o.User);
    if (!password->isEmpty())
        client.SetPassword(*password);
    client.SetAccount(QString());
    client.SetInitialDirectory(o.Directory);
    // A folder the server refuses must not leave the transfer in the login folder.
    client.SetRequireInitialDirectory(!o.Directory.isEmpty());
    client.SetPassive(o.Passive);
    client.SetUseTls(o.Tls);
    client.SetTlsFingerprint(o.Fingerprint);
    client.SetTimeOut(o.Timeout);
    client.SetOverWrite(true);

    bool failed = false;
    bool completed = false;
    bool transferStarted = false;
    Progress progress;

    const auto finish = [&] { QTimer::singleShot(0, &app, &QCoreApplication::quit); };
    client.OnFtpError = [&](TFtpClient* sender, int error, const QString& text) {
        std::fprintf(stderr, "%svela-cli: FTP error %d: %s\n", transferStarted ? "\n" : "", error,
                     qPrintable(text));
        failed = true;
        // Without a control connection no end-of-connection event will come.
        if (!sender->ControlConnected())
            finish();
    };
    client.OnFtpInfo = [&](TFtpClient* sender, int info, const QString& text) {
        switch (info) {
        case 8:
            progress.Update(sender->BytesTransferred());
            break;
        case 13:
            progress.SetTotal(text.toLongLong());
            break;
        case 17:
        case 20:
            std::fprintf(stderr, "vela-cli: %s\n", qPrintable(text));
            if (info == 20)
                completed = true;
            break;
        default:
            break;
        }
    };
    client.OnFtpNeedInfo = [&](TFtpClient*, int need, QString& value) {
        if (need == niOverwrite)
            value = o.Resume ? QStringLiteral("Resume") : QStringLiteral("Overwrite");
    };
    client.OnLoggedIn = [&](TFtpClient* sender) {
        transferStarted = true;
        progress.Start();
        if (put)
            sender->StoreFile(o.From, o.To, o.Ascii ? QStringLiteral("A") : QStringLiteral("B"),
                              false);
        else
            sender->RetrieveFile(o.From, o.To, o.Resume);
    };
    client.OnFtpReady = [&](TFtpClient* sender) {
        // A transfer that ends without its completion event (nothing to do, dropped).
        if (transferStarted && sender->ControlConnected() && !sender->Busy())
            QTimer::singleShot(0, sender, [sender] { sender->Disconnect(); });
    };
    const auto done = [&](TFtpClient* sender) {
        completed = true;
        progress.Finish();
        sender->Disconnect();
    };
    client.OnFileStored = done;
    client.OnFileReceived = done;
    client.OnFtpQuit = [&](TFtpClient*) { finish(); };

    client.Login();
    app.exec();
    if (completed && !failed) {
        std::fprintf(stderr, "vela-cli: %s %lld bytes\n", put ? "stored" : "received",
                     static_cast<long long>(client.BytesTransferred()));
        return 0;
    }
    if (!failed)
        std::fprintf(stderr, "vela-cli: the connection ended before the transfer completed\n");
    return 1;
}

int runPut(int argc, char** argv) {
    return runTransfer(true, argc, argv);
}

int runGet(int argc, char** argv) {
    return runTransfer(false, argc, argv);
}

} // namespace

VELA_CLI_COMMAND("put", s_putUsage, runPut);
VELA_CLI_COMMAND("get", s_getUsage, runGet);
