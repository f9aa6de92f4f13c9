// Test main shared by the test executables: a QApplication on the offscreen platform,
// so widgets, painting, drag and drop and WebEngine run without a display.
#include "TestHome.h"

#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Chromium's sandbox cannot start as root, which is how tests run here; the programs never
    // turn it off themselves, so the tests opt out as a user would, for the programs they start
    // as well.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const TestHome home;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
