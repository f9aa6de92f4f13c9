// Times a GUI program on an X display: from fork to the map of its top-level window whose
// title starts with a given text, and from SIGTERM to the end of the process.
// usage: startup-timer RUNS TITLE_PREFIX PROGRAM [ARGS...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::string titleOf(Display* d, Window w) {
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success && data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(d, w, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

// A window may be gone before its title is read (the web engine maps short-lived windows of its
// own); Xlib's default handler would end the timer there.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s RUNS TITLE_PREFIX PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const std::string prefix = argv[2];
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    XSetErrorHandler(ignoreXError);
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    std::vector<double> shown, ended;
    for (int run = 0; run < runs; ++run) {
        XSync(d, True);
        const auto start = Clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            execv(argv[3], argv + 3);
            _exit(127);
        }
        bool mapped = false;
        while (!mapped) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify && titleOf(d, e.xmap.window).rfind(prefix, 0) == 0)
                mapped = true;
        }
        shown.push_back(msSince(start));
        usleep(300 * 1000); // let the program settle before asking it to end
        const auto term = Clock::now();
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        ended.push_back(msSince(term));
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "run %d: abnormal end (status %d)\n", run, status);
    }
    std::printf("start-to-shown median %.1f ms, sigterm-to-end median %.1f ms (%d runs)\n",
                median(shown), median(ended), runs);
    XCloseDisplay(d);
    return 0;
}
