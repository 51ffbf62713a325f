// runstat: runs one command and reports what it cost.
//
//   runstat [-o FILE] [--] COMMAND [ARG...]
//
// COMMAND is looked up in PATH and inherits standard input, output and
// error. When it ends, runstat writes one line
//
//   status=0 wall_s=1.234567 user_s=1.100000 sys_s=0.090000 maxrss_kb=10240
//
// to FILE (or to standard error without -o): the exit status (128 + the
// signal number when the command was killed by a signal), the elapsed wall
// time from just before the fork to the return of wait4, the user and
// system CPU time and the peak resident set size of the command as reported
// by wait4. runstat exits with the same status; 127 when the command could
// not be started, 125 on a usage or runstat error.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kUsageError = 125;
constexpr int kExecError = 127;

int usage(const char* message)
{
    std::fprintf(stderr, "runstat: %s\nusage: runstat [-o FILE] [--] COMMAND [ARG...]\n", message);
    return kUsageError;
}

double seconds(const timeval& tv)
{
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double seconds_between(const timespec& from, const timespec& to)
{
    return static_cast<double>(to.tv_sec - from.tv_sec) + static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* stats_path = nullptr;
    int first = 1;
    while (first < argc) {
        const std::string_view arg = argv[first];
        if (arg == "--") {
            ++first;
            break;
        }
        if (arg == "-o") {
            if (first + 1 >= argc)
                return usage("option -o needs a file name");
            stats_path = argv[first + 1];
            first += 2;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::printf("usage: runstat [-o FILE] [--] COMMAND [ARG...]\n");
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-')
            return usage("unknown option");
        break;
    }
    if (first >= argc)
        return usage("no command given");

    // Open the report file first, so that a bad path shows before the
    // command has done any work.
    std::FILE* stats = stderr;
    if (stats_path != nullptr) {
        stats = std::fopen(stats_path, "w");
        if (stats == nullptr) {
            std::fprintf(stderr, "runstat: cannot create %s: %s\n", stats_path, std::strerror(errno));
            return kUsageError;
        }
    }

    // Like a shell running a foreground job: a Ctrl-C goes to the command,
    // runstat stays to report on it.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);

    std::fflush(nullptr);
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "runstat: fork failed: %s\n", std::strerror(errno));
        return kUsageError;
    }
    if (child == 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGQUIT, SIG_DFL);
        if (stats != stderr)
            std::fclose(stats);
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "runstat: cannot run %s: %s\n", argv[first], std::strerror(errno));
        _exit(kExecError);
    }

    int wstatus = 0;
    rusage usage_info{};
    pid_t done;
    do {
        done = wait4(child, &wstatus, 0, &usage_info);
    } while (done < 0 && errno == EINTR);
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (done < 0) {
        std::fprintf(stderr, "runstat: wait4 failed: %s\n", std::strerror(errno));
        return kUsageError;
    }

    int status = kUsageError;
    if (WIFEXITED(wstatus))
        status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        status = 128 + WTERMSIG(wstatus);

    // ru_maxrss is in kilobytes on Linux.
    std::fprintf(stats, "status=%d wall_s=%.6f user_s=%.6f sys_s=%.6f maxrss_kb=%ld\n", status,
                 seconds_between(start, end), seconds(usage_info.ru_utime), seconds(usage_info.ru_stime),
                 usage_info.ru_maxrss);
    if (std::fflush(stats) != 0 || (stats != stderr && std::fclose(stats) != 0)) {
        std::fprintf(stderr, "runstat: cannot write %s: %s\n", stats_path, std::strerror(errno));
        return kUsageError;
    }
    return status;
}
