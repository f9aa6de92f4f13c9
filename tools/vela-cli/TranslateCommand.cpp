// vela-cli translate: the window's road without the window. The text of an image or a text
// file is published as the translation page in the web space of the settings' SERVER section,
// the service's page for it is loaded and printed to PDF. A text service is given the text
// itself: nothing is published and no account is needed.
#include "AccountSettings.h"
#include "CliCommand.h"
#include "CliPrint.h"
#include "FtpClient.h"
#include "IniSettings.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "PageRemoval.h"
#include "PendingRemovals.h"
#include "ProgramFolders.h"
#include "Recognition.h"
#include "RtfReader.h"
#include "ServiceAddress.h"
#include "TextDecoding.h"
#include "TranslationPage.h"
#include "UploadSetup.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

const char* const s_usage = "translate [--lang en|ja] [--lines] "
                            "[--service excite|google|deepl|google-text] "
                            "[--br|--no-br] [--settings FILE] INPUT OUT.pdf";

struct TranslateOptions {
    int Language = ServiceAddress::English;
    bool Lines = false;
    int Service = ServiceAddress::Excite;
    bool InsertBr = true;
    QString Settings;
    QString Input;
    QString Out;
};

// Bounds the whole upload; the client's own time-out bounds the connect.
constexpr int UploadBoundMs = 300 * 1000;
constexpr int RemovalBoundMs = 10 * 1000;
// The exit status when the published page could not be removed and stays public.
constexpr int PageStaysPublic = 3;

void progress(const QString& text) {
    std::fprintf(stderr, "vela-cli translate: %s\n", text.toLocal8Bit().constData());
}

int fail(const QString& text) {
    // The window's messages break lines with CR; here they stay on one line.
    progress(QString(text).replace(QLatin1Char('\r'), QLatin1Char(' ')));
    return 1;
}

bool parse(int argc, char** argv, TranslateOptions& o) {
    QStringList positional;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--lang") == 0 && hasValue) {
            const QString value = QString::fromLocal8Bit(argv[++i]);
            if (value != QLatin1String("en") && value != QLatin1String("ja"))
                return false;
            o.Language =
                value == QLatin1String("en") ? ServiceAddress::English : ServiceAddress::Japanese;
        } else if (std::strcmp(arg, "--service") == 0 && hasValue) {
            const QStringList names{QStringLiteral("excite"), QStringLiteral("google"),
                                    QStringLiteral("deepl"), QStringLiteral("google-text")};
            o.Service = int(names.indexOf(QString::fromLocal8Bit(argv[++i])));
            if (o.Service < 0)
                return false;
        } else if (std::strcmp(arg, "--settings") == 0 && hasValue) {
            o.Settings = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(arg, "--lines") == 0) {
            o.Lines = true;
        } else if (std::strcmp(arg, "--br") == 0 || std::strcmp(arg, "--no-br") == 0) {
            o.InsertBr = std::strcmp(arg, "--br") == 0;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return false;
        } else {
            positional << QString::fromLocal8Bit(arg);
        }
    }
    if (positional.size() != 2)
        return false;
    o.Input = positional[0];
    o.Out = positional[1];
    return true;
}

// The settings file's path without ".ini": the one given, else the one the window beside
// this program (or, in a build tree, the built window) reads.
QString settingsBase(const QString& given) {
    if (!given.isEmpty()) {
        const QFileInfo file(given);
        return file.absoluteDir().filePath(file.completeBaseName());
    }
    QString vela = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vela"));
    if (!QFileInfo::exists(vela))
        vela = QStringLiteral(VELA_APP_EXE);
    return ProgramFolders::ForExecutable(vela).SettingsBase;
}

// The text the window would hold after a drop and, for an image, a recognition.
QString readInput(const TranslateOptions& o) {
    const QString extension = QFileInfo(o.Input).suffix().toLower();
    if (extension == QLatin1String("txt") || extension == QLatin1String("dat") ||
        extension == QLatin1String("def") || extension == QLatin1String("rtf")) {
        QFile file(o.Input);
        if (!file.open(QIODevice::ReadOnly))
            throw VelaError(QStringLiteral("cannot read %1").arg(o.Input));
        const QByteArray bytes = file.readAll();
        if (!RtfReader::IsRtf(bytes))
            return TextDecoding::Decode(bytes);
        QTextDocument document;
        RtfReader::Read(bytes, document);
        return document.toPlainText();
    }
    progress(QStringLiteral("recognising %1").arg(o.Input));
    OcrEngine::Instance().SetKeepsOrientationData(false);
    const int languageId = o.Language == ServiceAddress::English ? MiDocument::LanguageEnglish
                                                                 : MiDocument::LanguageJapanese;
    return Recognition::JoinLines(Recognition::RecognizeFile(languageId, o.Input, o.Lines),
                                  QStringLiteral("\n"));
}

QString ftpFailure(TFtpClient* client, int error, const QString& text) {
    QString message = QStringLiteral("FTP error %1").arg(error);
    if (!text.isEmpty())
        message += QStringLiteral(": ") + text;
    if (!client->LastReply().isEmpty())
        message += QStringLiteral(" (server: %1)").arg(client->LastReply());
    return message;
}

// Logs in, stores the page and disconnects, as the window does; empty on success.
// sent tells whether the page was sent at all (the login succeeded).
QString publish(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
                const QString& page, const QString& remote, bool& sent) {
    TFtpClient client;
    UploadSetup::ConfigureClient(client);
    UploadSetup::PrepareLogin(client, account);
    UploadSetup::PrepareTls(client, tls);
    QEventLoop loop;
    QString failure;
    bool stored = false;
    const auto end = [&] { QTimer::singleShot(0, &loop, &QEventLoop::quit); };
    client.OnFtpError = [&](TFtpClient* sender, int error, const QString& text) {
        if (failure.isEmpty())
            failure = ftpFailure(sender, error, text);
        // Without a control connection no end-of-connection event follows.
        if (!sender->ControlConnected())
            end();
    };
    client.OnLoggedIn = [&](TFtpClient* sender) {
        progress(QStringLiteral("uploading the page"));
        sent = true;
        sender->StoreFile(page, remote, QStringLiteral("B"), false);
    };
    client.OnFileStored = [&](TFtpClient* sender) {
        stored = failure.isEmpty();
        if (stored)
            progress(QStringLiteral("uploaded %1 bytes").arg(sender->BytesTransferred()));
        sender->Disconnect();
        end();
    };
    client.OnFtpQuit = [&](TFtpClient* sender) {
        if (!stored && failure.isEmpty())
            failure = QStringLiteral("the connection ended before the page was stored") +
                      (sender->LastReply().isEmpty()
                           ? QString()
                           : QStringLiteral(" (server: %1)").arg(sender->LastReply()));
        end();
    };
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
        failure =
            QStringLiteral("the upload did not end within %1 seconds").arg(UploadBoundMs / 1000);
        loop.quit();
    });
    bound.start(UploadBoundMs);
    progress(QStringLiteral("connecting to %1:%2")
                 .arg(account.Host.Host, QString::number(account.Host.Port)));
    client.Login();
    loop.exec();
    return stored ? QString() : failure;
}

int translateText(const TranslateOptions& o, const QString& base) {
    const QString text = readInput(o);
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("%1 holds no text to translate").arg(o.Input));
    const QString problem = ServiceAddress::TextProblem(o.Service, text);
    if (!problem.isEmpty())
        return fail(problem);
    progress(QStringLiteral("translating %1 characters with %2")
                 .arg(ServiceAddress::TextLength(text))
                 .arg(ServiceAddress::Name(o.Service)));
    progress(QStringLiteral("printing %1").arg(o.Out));
    return PrintUrlToPdf("translate",
                         ServiceAddress::ComposeText(o.Service, o.Language,
                                                     *UploadSetup::ReadServiceHost(base, o.Service),
                                                     text),
                         o.Out, 60);
}

int translate(const TranslateOptions& o) {
    const QString base = settingsBase(o.Settings);
    if (!o.Settings.isEmpty() && !QFileInfo::exists(base + QStringLiteral(".ini")))
        return fail(QStringLiteral("no settings file %1").arg(o.Settings));
    if (ServiceAddress::TakesText(o.Service)) {
        const QString problem = UploadSetup::ServiceProblem(base, o.Service, o.Language);
        return problem.isEmpty() ? translateText(o, base) : fail(problem);
    }
    NarrowSettingsWritableByOthers(base, "vela-cli translate");
    WarnIfSettingsPasswordExposed(base, "vela-cli translate");
    UploadSetup::UploadValues values = UploadSetup::ReadUploadValues(base);
    AccountSettings::TakeKeyringPassword(base, values);
    QString problem = UploadSetup::AccountProblem(base, values);
    if (problem.isEmpty())
        problem = UploadSetup::ServiceProblem(base, o.Service, o.Language);
    if (!problem.isEmpty())
        return fail(problem);

    const QString text = readInput(o);
    const QByteArray page = TranslationPage::PageBytes(text, o.InsertBr);
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("%1 holds no text to translate").arg(o.Input));
    QTemporaryDir work;
    const QString pageFile = work.filePath(TranslationPage::FileName());
    QSaveFile file(pageFile);
    if (!work.isValid() || !file.open(QIODevice::WriteOnly) || file.write(page) != page.size() ||
        !file.commit())
        return fail(QStringLiteral("cannot write %1").arg(pageFile));

    const QString remote = TranslationPage::RemoteName(TranslationPage::RunStamp());
    const UploadSetup::Account account = UploadSetup::ToAccount(values);
    const UploadSetup::TlsChoice tls = UploadSetup::ReadTlsChoice(base);
    if (const qsizetype left = PendingRemovals::Retry(account, RemovalBoundMs).size())
        progress(
            QStringLiteral("%1 page(s) of earlier translations still stay public, listed in %2")
                .arg(left)
                .arg(PendingRemovals::FileName()));
    // Listed before it is sent: a run that ends early leaves it for the next one to remove.
    if (!PendingRemovals::Add(account, tls, remote))
        return fail(QStringLiteral("cannot write %1").arg(PendingRemovals::FileName()));
    // The service has fetched the page by now (or never will): it leaves the web space.
    const auto removePage = [&](int status) {
        if (PageRemoval::Remove(account, tls, remote, RemovalBoundMs)) {
            PendingRemovals::Forget(account, remote);
            progress(QStringLiteral("removed the page from the web space"));
            return status;
        }
        progress(QStringLiteral("could not remove the page from the web space: it stays public; "
                                "it is listed in %1 and removed at the next translation")
                     .arg(PendingRemovals::FileName()));
        return PageStaysPublic;
    };
    bool sent = false;
    const QString failure = publish(account, tls, pageFile, remote, sent);
    if (!failure.isEmpty()) {
        fail(failure);
        // A failed upload may still have left part of the page.
        if (sent)
            return removePage(1);
        PendingRemovals::Forget(account, remote);
        return 1;
    }

    const std::optional<ServiceAddress::HostPort> service =
        UploadSetup::ReadServiceHost(base, o.Service);
    const QString address = ServiceAddress::Compose(
        o.Service, o.Language, *service,
        ServiceAddress::PageAddress(UploadSetup::ReadFolderAddress(base), remote));
    // Not the address itself: it names the page, which anyone who reads it could fetch.
    progress(QStringLiteral("translating at %1").arg(service->Host));
    progress(QStringLiteral("printing %1").arg(o.Out));
    return removePage(PrintUrlToPdf("translate", address, o.Out, 60));
}

int runTranslate(int argc, char** argv) {
    TranslateOptions o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: vela-cli %s\n", s_usage);
        return 2;
    }
    return WithWebEngine(argv[0], [&] {
        try {
            return translate(o);
        } catch (const VelaError& e) {
            return fail(e.Message());
        }
    });
}

} // namespace

VELA_CLI_COMMAND("translate", s_usage, runTranslate);
