// Test main for what needs a real desktop: the screen grabbed, the clipboard shared with other
// programs. The tests run on the xcb platform against an Xvfb of their own (1280 x 1024, 96 dpi),
// which other programs the tests start reach through DISPLAY.
#include "TestHome.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts Xvfb on a free display; returns its pid and sets DISPLAY, or -1.
pid_t startXvfb() {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-dpi",
                 "96", "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string display;
    char c = 0;
    while (pid > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        display += c;
    ::close(fds[0]);
    if (pid <= 0 || display.empty())
        return -1;
    qputenv("DISPLAY", QByteArray(":") + display.c_str());
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing |= std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    const TestHome home;
    pid_t xvfb = -1;
    if (listing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        xvfb = startXvfb();
        if (xvfb < 0) {
            std::fprintf(stderr, "test_desktop: Xvfb cannot be started\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
        qunsetenv("WAYLAND_DISPLAY");
    }
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        ::waitpid(xvfb, nullptr, 0);
    }
    return status;
}
