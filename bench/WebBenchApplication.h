#pragma once

#include "WebTools.h"

#include <QApplication>

// The application of a benchmark that runs the web engine: offscreen unless a platform is
// named, with the engine's environment prepared as the program's own start prepares it.
class WebBenchApplication : public QApplication {
public:
    WebBenchApplication(int& argc, char** argv) : QApplication(prepared(argc), argv) {}

private:
    // Runs before the application exists, which is when the environment counts.
    static int& prepared(int& argc) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        PrepareWebEngineEnvironment();
        return argc;
    }
};
