// Vela: picture of printed text -> editable text -> machine translation.
#include "Cursors.h"
#include "ErrorDisplay.h"
#include "FontSubstitutions.h"
#include "MainForm.h"
#include "NamedMutex.h"
#include "OcrEngine.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

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

int runApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallFontSubstitutions();
    Cursors::LoadCustomHand();

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
        return 0;
    }

    form = new TfrmMain;
    form->show();
    const int result = app.exec();
    if (form) {
        Guard([&form] { form->FormDestroy(); });
        delete form;
    }
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
    return result;
}
