// Times a program's start until its main window is mapped on the X display named by DISPLAY:
// the time from fork until the map event of a top-level window whose title starts with the
// given text. The program is ended after each run, with everything it started.
#include "Stats.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const char* const kMarkName = "OSTREL_BENCH_STARTUP";

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0; // a window may be gone by the time it is looked at
}

std::string titleOf(Display* display, Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

// Ends every process that carries this run's mark in its environment, by its id.
void killMarked(const std::string& mark) {
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        if (pid <= 0 || pid == ::getpid())
            continue;
        std::ifstream environ("/proc/" + std::string(entry->d_name) + "/environ", std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(environ)),
                              std::istreambuf_iterator<char>());
        if (all.find(std::string(kMarkName) + "=" + mark + '\0') != std::string::npos)
            ::kill(pid, SIGKILL);
    }
    ::closedir(proc);
}

void endRun(pid_t child, const std::string& mark) {
    ::kill(-child, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    bool reaped = false;
    while (!reaped && Clock::now() < deadline) {
        int status = 0;
        reaped = ::waitpid(child, &status, WNOHANG) == child;
        if (!reaped)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!reaped) {
        ::kill(-child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    // Helpers that left the process group are found by the mark they inherited.
    for (int round = 0; round < 3; ++round) {
        killMarked(mark);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Milliseconds from start to the window's map, or a negative number on failure.
double runOnce(Display* display, char** command, const std::string& title, int timeoutSeconds,
               const std::string& mark) {
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True); // drop events of earlier runs

    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::setpgid(0, 0);
        ::setenv(kMarkName, mark.c_str(), 1);
        // The web engine's chatter would drown the results.
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        ::execvp(command[0], command);
        _exit(127);
    }
    ::setpgid(child, child);

    double result = -1;
    const auto deadline = start + std::chrono::seconds(timeoutSeconds);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    while (result < 0 && Clock::now() < deadline) {
        while (result < 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            Window window = None;
            if (event.type == MapNotify && event.xmap.event == root)
                window = event.xmap.window;
            else if (event.type == PropertyNotify &&
                     (event.xproperty.atom == netName || event.xproperty.atom == XA_WM_NAME))
                window = event.xproperty.window;
            if (window == None)
                continue;
            if (titleOf(display, window).rfind(title, 0) == 0) {
                result = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            } else if (event.type == MapNotify) {
                // Mapped before its title was set: watch the title, then look once more.
                XSelectInput(display, window, PropertyChangeMask);
                XSync(display, False);
                if (titleOf(display, window).rfind(title, 0) == 0)
                    result =
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            }
        }
        if (result >= 0)
            break;
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "%s ended before showing its window\n", command[0]);
            killMarked(mark);
            return -1;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        ::poll(&connection, 1, 20);
    }
    if (result < 0)
        std::fprintf(stderr, "no window titled \"%s...\" within %d s\n", title.c_str(),
                     timeoutSeconds);
    endRun(child, mark);
    XSelectInput(display, root, NoEventMask);
    XSync(display, True);
    return result;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "Usage: %s --title TEXT [--runs N] [--warmup N] [--timeout S] -- COMMAND...\n",
                 program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string title;
    int runs = 5, warmup = 1, timeout = 30;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (first + 1 >= argc)
            return usage(argv[0]);
        const char* value = argv[++first];
        if (option == "--title")
            title = value;
        else if (option == "--runs")
            runs = std::max(1, std::atoi(value));
        else if (option == "--warmup")
            warmup = std::max(0, std::atoi(value));
        else if (option == "--timeout")
            timeout = std::max(1, std::atoi(value));
        else
            return usage(argv[0]);
    }
    if (title.empty() || first >= argc)
        return usage(argv[0]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    XSetErrorHandler(ignoreXErrors);

    std::vector<double> samples;
    double firstRun = -1;
    for (int run = 0; run < warmup + runs; ++run) {
        const std::string mark = std::to_string(::getpid()) + "-" + std::to_string(run);
        const double ms = runOnce(display, argv + first, title, timeout, mark);
        if (ms < 0)
            return 1;
        if (run == 0)
            firstRun = ms;
        if (run >= warmup)
            samples.push_back(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    XCloseDisplay(display);
    std::printf("startup_first_ms=%.1f\nstartup_median_ms=%.1f\nstartup_min_ms=%.1f\n"
                "startup_max_ms=%.1f\nstartup_runs=%d\n",
                firstRun, bench::Median(samples), bench::Percentile(samples, 0),
                bench::Percentile(samples, 1), runs);
    return 0;
}
