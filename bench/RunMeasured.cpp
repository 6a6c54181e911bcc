// Runs a command and reports its wall time and peak memory. With --trace it follows every
// process the command starts (ptrace, stopping only when one forks, execs or exits) and reads
// each one's own peak resident size just before it exits, so that a program and the archiver it
// runs can be told apart; the kernel's wait4 figure is only the largest of them.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <signal.h>
#include <string>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Peak {
    std::string name;
    long kb = 0;
};

long statusField(pid_t tid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(tid) + "/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    return -1;
}

std::string commOf(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "?" : name;
}

int usage(const char* program) {
    std::fprintf(stderr, "Usage: %s [--trace] [--out FILE] -- COMMAND [ARGS...]\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool trace = false;
    const char* outPath = nullptr;
    int first = 1;
    for (; first < argc; ++first) {
        if (!std::strcmp(argv[first], "--trace"))
            trace = true;
        else if (!std::strcmp(argv[first], "--out") && first + 1 < argc)
            outPath = argv[++first];
        else if (!std::strcmp(argv[first], "--")) {
            ++first;
            break;
        } else
            return usage(argv[0]);
    }
    if (first >= argc)
        return usage(argv[0]);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        if (trace && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            _exit(126);
        ::execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }

    std::map<pid_t, Peak> peaks; // by process (thread group)
    std::set<pid_t> known{child};
    bool optionsSet = false;
    int rootStatus = 0;
    struct rusage rootUsage {};
    auto end = start;
    for (;;) {
        int status = 0;
        struct rusage usage {};
        const pid_t tid = ::wait4(-1, &status, __WALL, &usage);
        if (tid < 0) {
            if (errno == EINTR)
                continue;
            break; // ECHILD: nothing left to follow
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (tid == child) {
                end = std::chrono::steady_clock::now();
                rootStatus = status;
                rootUsage = usage;
            }
            known.erase(tid);
            continue;
        }
        if (!WIFSTOPPED(status))
            continue;
        const int signal = WSTOPSIG(status);
        const int event = status >> 16;
        int deliver = 0;
        if (tid == child && !optionsSet && signal == SIGTRAP) {
            // The stop after the first exec: from now on, follow everything it starts.
            ::ptrace(PTRACE_SETOPTIONS, tid, nullptr,
                     PTRACE_O_TRACEFORK | PTRACE_O_TRACEVFORK | PTRACE_O_TRACECLONE |
                         PTRACE_O_TRACEEXEC | PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
            optionsSet = true;
        } else if (signal == SIGTRAP && event == PTRACE_EVENT_EXIT) {
            const long tgid = statusField(tid, "Tgid");
            const long hwm = statusField(tid, "VmHWM");
            if (tgid > 0 && hwm >= 0) {
                Peak& peak = peaks[pid_t(tgid)];
                peak.name = commOf(pid_t(tgid));
                peak.kb = std::max(peak.kb, hwm);
            }
        } else if (signal == SIGTRAP && event != 0) {
            // fork, clone, exec: nothing to do but go on
        } else if (signal == SIGSTOP && !known.count(tid)) {
            known.insert(tid); // a newly followed process or thread starts stopped
        } else {
            deliver = signal;
        }
        ::ptrace(PTRACE_CONT, tid, nullptr, reinterpret_cast<void*>(long(deliver)));
    }

    std::FILE* out = outPath ? std::fopen(outPath, "a") : stdout;
    if (!out) {
        std::perror(outPath);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(end - start).count();
    const int exitCode =
        WIFEXITED(rootStatus) ? WEXITSTATUS(rootStatus) : 128 + WTERMSIG(rootStatus);
    std::fprintf(out, "wall_s=%.3f\nexit=%d\nmaxrss_kb=%ld\n", seconds, exitCode,
                 rootUsage.ru_maxrss);
    std::map<std::string, long> byName;
    for (const auto& [pid, peak] : peaks)
        byName[peak.name] = std::max(byName[peak.name], peak.kb);
    for (const auto& [name, kb] : byName)
        std::fprintf(out, "peak_kb.%s=%ld\n", name.c_str(), kb);
    if (out != stdout)
        std::fclose(out);
    return exitCode;
}
