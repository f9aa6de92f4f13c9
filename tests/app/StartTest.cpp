// The program's start as the desktop sees it: on an X server of its own (Xvfb), from the first
// show of the window until the web view has joined it.
#include "Eventually.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

// Last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>

namespace {

// A web engine helper process started by pid: the web view is being made.
bool hasWebEngineChild(qint64 pid) {
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(QtWebEngineProc") && fields.size() > 1 && fields[1].toLongLong() == pid)
            return true;
    }
    return false;
}

std::string titleOf(Display* display, Window window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

class VelaStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid() && tmp.isValid());
        exe = home.filePath(QStringLiteral("vela"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELA_BINARY), exe));
        // Xvfb picks a free display and names it on the descriptor given.
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
        ASSERT_TRUE(xvfb.waitForReadyRead(10000));
        displayName = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine().trimmed());
        display = XOpenDisplay(displayName.toLatin1().constData());
        ASSERT_NE(display, nullptr);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
    }
    void TearDown() override {
        if (vela.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(vela.processId()), SIGTERM);
            if (!vela.waitForFinished(15000))
                vela.kill();
        }
        if (display)
            XCloseDisplay(display);
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }

    // sandboxVariable false: without QTWEBENGINE_DISABLE_SANDBOX, as a new user starts it.
    void start(bool sandboxVariable = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!sandboxVariable)
            env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), displayName);
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        env.insert(QStringLiteral("HOME"), home.path());
        for (const char* name : {"XDG_RUNTIME_DIR", "QT_LOGGING_RULES", "XDG_CONFIG_HOME",
                                 "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            env.remove(QLatin1String(name));
        vela.setProcessEnvironment(env);
        vela.start(exe, {});
        ASSERT_TRUE(vela.waitForStarted(5000));
    }

    // Follows the program's windows until its web view has been up for a while: the first
    // window mapped with the program's caption, and what befell it.
    struct WindowStory {
        Window first = 0;
        int mapsOfTheCaption = 0;
        bool firstGone = false; // unmapped or destroyed
        bool webViewUp = false;
    };
    WindowStory follow(int boundMs = 60000) {
        WindowStory story;
        QElapsedTimer clock;
        clock.start();
        qint64 upAt = -1;
        while (clock.elapsed() < boundMs && (upAt < 0 || clock.elapsed() - upAt < 3000)) {
            while (XPending(display)) {
                XEvent e;
                XNextEvent(display, &e);
                if (e.type == MapNotify &&
                    titleOf(display, e.xmap.window).rfind("Vela/OCR", 0) == 0) {
                    ++story.mapsOfTheCaption;
                    if (!story.first)
                        story.first = e.xmap.window;
                }
                if ((e.type == UnmapNotify && e.xunmap.window == story.first) ||
                    (e.type == DestroyNotify && e.xdestroywindow.window == story.first))
                    story.firstGone = story.first != 0;
            }
            if (upAt < 0 && story.first && hasWebEngineChild(vela.processId()))
                upAt = clock.elapsed();
            QTest::qWait(20);
        }
        story.webViewUp = upAt >= 0;
        return story;
    }

    QTemporaryDir home, tmp;
    QString exe;
    QProcess xvfb;
    QProcess vela;
    QString displayName;
    Display* display = nullptr;
};

} // namespace

// Tools that hold the window's handle keep it, and input in the moment the web view joins is
// not lost to a window that is being re-created.
TEST_F(VelaStartTest, TheMainWindowIsMadeOnceAndTheStartIsQuiet) {
    start();
    const WindowStory story = follow();
    ASSERT_TRUE(story.webViewUp);
    EXPECT_NE(story.first, 0u);
    EXPECT_FALSE(story.firstGone);
    EXPECT_EQ(story.mapsOfTheCaption, 1);

    ::kill(static_cast<pid_t>(vela.processId()), SIGTERM);
    ASSERT_TRUE(vela.waitForFinished(15000));
    EXPECT_EQ(vela.exitCode(), 0);
    QStringList errors = QString::fromLocal8Bit(vela.readAllStandardError()).split(u'\n');
    // As root the browser's sandbox cannot run: that warning is a real one.
    if (::geteuid() == 0)
        errors.removeIf([](const QString& line) { return line.contains(QLatin1String("andbox")); });
    errors.removeAll(QString());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
}

// As root the browser's sandbox cannot start: without the user's opt-out the window stays up
// without a browser (rather than the engine ending the program) and says how to have one.
TEST_F(VelaStartTest, WithoutTheSandboxVariableTheWindowStaysAndRootIsToldHowToBrowse) {
    start(false);
    const WindowStory story = follow(12000);
    EXPECT_NE(story.first, 0u);
    EXPECT_FALSE(story.firstGone);
    ASSERT_EQ(vela.state(), QProcess::Running) << vela.readAllStandardError().toStdString();
    const bool root = ::geteuid() == 0;
    EXPECT_EQ(story.webViewUp, !root);
    ::kill(static_cast<pid_t>(vela.processId()), SIGTERM);
    ASSERT_TRUE(vela.waitForFinished(15000));
    EXPECT_EQ(vela.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(vela.readAllStandardError())
                  .contains(QLatin1String("set QTWEBENGINE_DISABLE_SANDBOX=1")),
              root);
}
