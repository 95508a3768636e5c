#pragma once

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Running a program of ours as a user would, for the tests of the command line.
namespace vornal::test {

struct ProcessResult {
    int exitCode = -1; // -1 when killed by a signal
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string stdinData;
    std::map<std::string, std::string> env; // added to the test's own environment
    std::vector<std::string> unsetEnv;
    int signal = 0; // sent after signalAfter, when not 0
    std::chrono::microseconds signalAfter{0};
};

[[noreturn]] inline void execChild(const std::string& program, const std::vector<std::string>& args,
                                   const ProcessOptions& options) {
    for (const auto& [k, v] : options.env) {
        setenv(k.c_str(), v.c_str(), 1);
    }
    for (const auto& k : options.unsetEnv) {
        unsetenv(k.c_str());
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

inline int waitExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Everything written to fd, from its start.
inline std::string readBack(int fd) {
    std::string all;
    char buf[65536];
    for (ssize_t r; (r = pread(fd, buf, sizeof buf, static_cast<off_t>(all.size()))) > 0;) {
        all.append(buf, static_cast<std::size_t>(r));
    }
    close(fd);
    return all;
}

// Runs program with args to its end, feeding stdinData and collecting both output streams.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                                const ProcessOptions& options = {}) {
    // Files in memory rather than pipes: nothing to pump, and no child can block on a full one.
    const int in = memfd_create("in", MFD_CLOEXEC), out = memfd_create("out", MFD_CLOEXEC),
              err = memfd_create("err", MFD_CLOEXEC);
    if (in < 0 || out < 0 || err < 0 ||
        write(in, options.stdinData.data(), options.stdinData.size()) < 0 ||
        lseek(in, 0, SEEK_SET) != 0) {
        throw std::runtime_error("memfd_create failed");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execChild(program, args, options);
    }
    close(in);
    if (options.signal != 0) {
        std::this_thread::sleep_for(options.signalAfter);
        kill(pid, options.signal);
    }
    ProcessResult result;
    result.exitCode = waitExit(pid);
    result.out = readBack(out);
    result.err = readBack(err);
    return result;
}

// Runs program on a pseudo-terminal, typing each input followed by a line end once the
// program has printed the prompt before it. Its output is everything the terminal showed.
inline ProcessResult
runOnTerminal(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::pair<std::string, std::string>>& promptsAndInputs,
              const ProcessOptions& options = {}) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (pid == 0) {
        execChild(program, args, options);
    }
    ProcessResult result;
    std::size_t next = 0, searchFrom = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto at = next < promptsAndInputs.size()
                            ? result.out.find(promptsAndInputs[next].first, searchFrom)
                            : std::string::npos;
        if (at != std::string::npos) {
            searchFrom = at + promptsAndInputs[next].first.size();
            const std::string line = promptsAndInputs[next++].second + "\n";
            if (write(master, line.data(), line.size()) < 0) {
                break;
            }
            continue;
        }
        pollfd fd{master, POLLIN, 0};
        char buf[4096];
        const ssize_t r = poll(&fd, 1, 200) > 0 ? read(master, buf, sizeof buf) : 0;
        if (r < 0) {
            break; // EIO once the child has closed the terminal
        }
        result.out.append(buf, static_cast<std::size_t>(r));
    }
    close(master);
    kill(pid, SIGKILL); // in case it outlived the deadline; a zombie ignores it
    result.exitCode = waitExit(pid);
    return result;
}

} // namespace vornal::test
