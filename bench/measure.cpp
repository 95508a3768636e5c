// Runs a command and writes its wall-clock seconds, peak resident memory in MB, exit status
// and the processor seconds it spent in user and in system mode to RESULT as one line:
// "SECONDS PEAK_MB EXIT USER SYSTEM". Usage: measure RESULT COMMAND [ARGS...]
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double secondsOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: measure RESULT COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "%.3f %.1f %d %.3f %.3f\n", seconds,
                 static_cast<double>(usage.ru_maxrss) / 1024.0,
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1, secondsOf(usage.ru_utime),
                 secondsOf(usage.ru_stime));
    return std::fclose(out) == 0 ? 0 : 1;
}
