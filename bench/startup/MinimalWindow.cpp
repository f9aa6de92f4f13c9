// The reference: a minimal Qt Widgets program showing one empty window, which closes that
// window on SIGTERM the same way Vela does, so both runs end gracefully.
#include "TerminationSignals.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    BlockTerminationSignals();
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal reference window"));
    window.resize(700, 480);
    InstallTerminationSignals([&window] { window.close(); });
    UnblockTerminationSignals();
    window.show();
    return app.exec();
}
