// vela-cli print: loads a page in a browser host that is never shown and prints it to PDF.
#include "CliCommand.h"
#include "CliPrint.h"
#include "WebHost.h"
#include "WebTools.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <cstdio>
#include <cstring>

int PrintUrlToPdf(const char* command, const QString& url, const QString& out, int waitSeconds) {
    const auto fail = [command](const QString& message) {
        std::fprintf(stderr, "vela-cli %s: %s\n", command, message.toLocal8Bit().constData());
        return 1;
    };
    TWebHost host;
    host.resize(1024, 768);
    host.Loaded();
    host.SetWaitTimeout(waitSeconds * 1000);
    QString loadError;
    host.OnNavigateError = [&](TWebControl*, QObject*, const QVariant& failed, const QVariant&,
                               const QVariant& status, bool&) {
        loadError = QStringLiteral("cannot load %1 (error %2)")
                        .arg(failed.toString(), QString::number(status.toInt()));
    };
    // A file the user names opens, and opens inert: a page from anywhere may have been saved.
    const QUrl target = QUrl::fromUserInput(url.trimmed(), QDir::currentPath());
    if (target.isLocalFile()) {
        host.AllowLocalFile(target);
        TDownloadControlOptions options = host.DownloadOptions();
        options.Insert(DontExecuteScripts);
        host.SetDownloadOptions(options);
    }
    try {
        host.NavigateUrl(target.isLocalFile() ? target.toString() : url);
        if (url.trimmed().isEmpty())
            return fail(QStringLiteral("no address given"));
        if (!host.WaitUntilReady())
            return fail(QStringLiteral("the page did not finish loading within %1 seconds")
                            .arg(waitSeconds));
        if (!loadError.isEmpty())
            return fail(loadError);
        if (!HasHtmlDocument(&host))
            return fail(
                QStringLiteral("%1 is not an HTML page (%2)").arg(url, host.Document().MimeType));
        QPrinter* printer = host.Printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QFileInfo(out).absoluteFilePath());
        host.ExecWB(host.GetBrowserInterface(), OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER,
                    QVariant());
    } catch (const VelaError& e) {
        return fail(e.Message());
    }
    const QFileInfo written(out);
    if (!written.exists() || written.size() == 0)
        return fail(QStringLiteral("nothing was written to %1").arg(out));
    std::printf("%s: %lld bytes\n", out.toLocal8Bit().constData(),
                static_cast<long long>(written.size()));
    return 0;
}

int WithWebEngine(char* program, const std::function<int()>& body) {
    // Nothing is shown, so no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngineEnvironment();
    // As root with the sandbox on, the engine would end the program with no word of why.
    if (!BrowserCanStart())
        return 1;
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    WebToolsInitialization();
    WebHostInitialization();
    const int result = body();
    WebHostFinalization();
    WebToolsFinalization();
    return result;
}

namespace {

int printCommand(int argc, char** argv) {
    QStringList args;
    int waitSeconds = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            bool ok = false;
            waitSeconds = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || waitSeconds <= 0) {
                std::fprintf(stderr, "vela-cli print: --wait takes a positive number of seconds\n");
                return 2;
            }
        } else {
            args << QString::fromLocal8Bit(argv[i]);
        }
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vela-cli print URL OUT.pdf [--wait SECONDS]\n");
        return 2;
    }
    return WithWebEngine(argv[0],
                         [&] { return PrintUrlToPdf("print", args[0], args[1], waitSeconds); });
}

} // namespace

VELA_CLI_COMMAND("print", "print URL OUT.pdf [--wait SECONDS]", printCommand);
