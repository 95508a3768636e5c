#include "tests/support/Process.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vornal::test {

namespace {

std::vector<char*> argvOf(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

[[noreturn]] void execChild(const std::string& program, const std::vector<std::string>& args,
                            const ProcessOptions& options) {
    for (const auto& [k, v] : options.env) {
        setenv(k.c_str(), v.c_str(), 1);
    }
    for (const auto& k : options.unsetEnv) {
        unsetenv(k.c_str());
    }
    auto argv = argvOf(program, args);
    execv(program.c_str(), argv.data());
    _exit(127);
}

int waitExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        execChild(program, args, options);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    int inFd = in[1];
    if (options.stdinData.empty()) {
        close(inFd);
        inFd = -1;
    }
    ProcessResult result;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3];
        int n = 0;
        if (outOpen) {
            fds[n++] = {out[0], POLLIN, 0};
        }
        if (errOpen) {
            fds[n++] = {err[0], POLLIN, 0};
        }
        if (inFd >= 0) {
            fds[n++] = {inFd, POLLOUT, 0};
        }
        if (poll(fds, static_cast<nfds_t>(n), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fds[i].fd == inFd) {
                const ssize_t w = write(inFd, options.stdinData.data() + written,
                                        options.stdinData.size() - written);
                if (w > 0) {
                    written += static_cast<std::size_t>(w);
                }
                if (w < 0 || written == options.stdinData.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            char buf[65536];
            const ssize_t r = read(fds[i].fd, buf, sizeof buf);
            std::string& target = fds[i].fd == out[0] ? result.out : result.err;
            if (r > 0) {
                target.append(buf, static_cast<std::size_t>(r));
            } else {
                (fds[i].fd == out[0] ? outOpen : errOpen) = false;
            }
        }
    }
    if (inFd >= 0) {
        close(inFd);
    }
    close(out[0]);
    close(err[0]);
    result.exitCode = waitExit(pid);
    return result;
}

ProcessResult
runOnTerminal(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::pair<std::string, std::string>>& promptsAndInputs,
              const ProcessOptions& options) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (pid == 0) {
        execChild(program, args, options);
    }
    ProcessResult result;
    std::size_t next = 0;
    std::size_t searchFrom = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (next < promptsAndInputs.size()) {
            const auto at = result.out.find(promptsAndInputs[next].first, searchFrom);
            if (at != std::string::npos) {
                searchFrom = at + promptsAndInputs[next].first.size();
                const std::string line = promptsAndInputs[next].second + "\n";
                if (write(master, line.data(), line.size()) < 0) {
                    break;
                }
                ++next;
                continue;
            }
        }
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, 200) <= 0) {
            continue;
        }
        char buf[4096];
        const ssize_t r = read(master, buf, sizeof buf);
        if (r <= 0) {
            break; // EIO once the child has closed the terminal
        }
        result.out.append(buf, static_cast<std::size_t>(r));
    }
    close(master);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL); // it outlived the deadline
    } else {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
    result.exitCode = waitExit(pid);
    return result;
}

} // namespace vornal::test
