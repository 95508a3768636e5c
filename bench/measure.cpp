// Runs a command and writes its wall-clock seconds and peak resident memory in MB to
// RESULT as one line: "SECONDS PEAK_MB EXIT". Usage: measure RESULT COMMAND [ARGS...]
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    std::fprintf(out, "%.3f %.1f %d\n", seconds, static_cast<double>(usage.ru_maxrss) / 1024.0,
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return std::fclose(out) == 0 ? 0 : 1;
}
