// One program run, measured as bench/startup.sh needs it: wall time from fork to exit, the child's user and
// system CPU time and its peak RSS, to the microsecond where /usr/bin/time rounds to 10 ms.
// usage: run_measured PROGRAM [ARGS...]   prints "wall_us user_us sys_us maxrss_kb" on standard output;
// the program's own output goes to /dev/null.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {
long long micros(const timeval& t) { return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec; }
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: run_measured PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("run_measured: fork");
        return 2;
    }
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("run_measured: wait4");
        return 2;
    }
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::printf("%lld %lld %lld %ld\n", static_cast<long long>(wall.count()), micros(usage.ru_utime),
                micros(usage.ru_stime), usage.ru_maxrss);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "run_measured: %s did not end cleanly (status %d)\n", argv[1], status);
        return 1;
    }
    return 0;
}
