// The second reference: a bare window holding an empty web view, made before the window is
// shown, which closes on SIGTERM the same way Vela does.
#include "TerminationSignals.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWidget>

int main(int argc, char** argv) {
    BlockTerminationSignals();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Web view reference window"));
    window.resize(700, 480);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QWebEngineView(&window));
    InstallTerminationSignals([&window] { window.close(); });
    UnblockTerminationSignals();
    window.show();
    return app.exec();
}
