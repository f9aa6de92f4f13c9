// Vela: picture of printed text -> editable text -> machine translation.
#include "Cursors.h"
#include "ErrorDisplay.h"
#include "FontSubstitutions.h"
#include "FtpClient.h"
#include "MainForm.h"
#include "NamedMutex.h"
#include "OcrEngine.h"
#include "QtOwnParts.h"
#include "QuietStart.h"
#include "TerminationSignals.h"
#include "WebHost.h"
#include "WebTools.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <cstdio>
#include <cstdlib>

namespace {

// Ends the run as if the user had closed the window: dialogs first, so that no nested
// loop keeps the program alive, then the window itself.
void closeLikeTheUser(QPointer<TfrmMain> form) {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    if (form)
        form->close();
}

int runApplication(int& argc, char** argv) {
    QuietStart::Install(argc, argv);
    PrepareWebEngineEnvironment();
    QtOwnParts::KeepQtStateOutOfUserConfig();
    // Never deleted: the process ends with _Exit once our own state is saved (see main).
    auto* app = new QApplication(argc, argv);
    // The desktop entry's name and icon, also for a copy that is not installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("vela"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("vela"), QIcon(QStringLiteral(":/icons/vela.svg"))));
    InstallFontSubstitutions();
    QtOwnParts::UseJapanese();
    // The units' start-up, in their order: the window's cursor, the FTP cache, the web host.
    Cursors::LoadCustomHand();
    FtpClientStartup();
    WebToolsInitialization();
    WebHostInitialization();

    // Checked before the signal handler goes in: the engine's start-up resets signal handlers.
    const bool engineInstalled = OcrEngineInstalled();

    // From here a termination signal closes whatever is open, once the event loop runs.
    QPointer<TfrmMain> form;
    InstallTerminationSignals([&form] { closeLikeTheUser(form); });
    UnblockTerminationSignals();

    if (!engineInstalled) {
        QMessageBox box(QMessageBox::NoIcon, ProgramTitle(),
                        QStringLiteral("Can not find Office 2003"), QMessageBox::Ok);
        box.exec();
        WebHostFinalization();
        WebToolsFinalization();
        return 0;
    }

    form = new TfrmMain;
    form->show();
    const int result = app->exec();
    // The window's own destruction has nothing left to keep once its settings are written.
    if (form)
        Guard([&form] { form->FormDestroy(); });
    WebHostFinalization();
    WebToolsFinalization();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // Held back until the window can close itself; then they end the run like a close.
    BlockTerminationSignals();
    NamedMutex mutex(QStringLiteral("MutexObjectForVelamoor"));
    if (!mutex.TryCreate())
        return 0; // a copy is already running: end silently
    const int result = runApplication(argc, argv);
    mutex.Release();
    // Everything of ours is written and closed. The web engine's profile is off the record,
    // so its teardown in the library destructors would only delay the end of the process.
    std::fflush(nullptr);
    std::_Exit(result);
}
