#include "platform/Launcher.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vornal {

namespace {

// More than any answer we ask for; a program that writes on is not one we understand.
constexpr std::size_t captureLimit = 1 << 20;

void closeQuietly(int fd) noexcept {
    if (fd >= 0) {
        ::close(fd);
    }
}

// The argv of a program: pointers into strings that outlive the call that uses them.
std::vector<char*> argvOf(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// An embedded zero would cut an argument short, and the program would get another name.
bool hasZero(const std::string& program, const std::vector<std::string>& args) {
    if (program.find('\0') != std::string::npos) {
        return true;
    }
    for (const std::string& a : args) {
        if (a.find('\0') != std::string::npos) {
            return true;
        }
    }
    return false;
}

pid_t waitFor(pid_t pid, int* status, int options) noexcept {
    pid_t r;
    do {
        r = ::waitpid(pid, status, options);
    } while (r < 0 && errno == EINTR);
    return r;
}

// Runs in the grandchild between fork and exec, so only async-signal-safe calls: the
// program gets default signal handling, no terminal and nothing to read.
[[noreturn]] void execDetached(const char* path, char* const* argv, int errorPipe) noexcept {
    ::setsid();
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals stay ignored across exec; a handler does not, so only these matter.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s) {
        ::sigaction(s, &dfl, nullptr);
    }
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0 && null != STDIN_FILENO) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
    ::execve(path, argv, environ);
    const int err = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorPipe, &err, sizeof err);
    ::_exit(127);
}

} // namespace

bool PosixLauncher::isProgram(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> PosixLauncher::findProgram(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string::npos) {
        return isProgram(name) ? std::optional<std::string>(name) : std::nullopt;
    }
    std::string path = environment_.variable("PATH").value_or("");
    if (path.empty()) {
        path = "/usr/local/bin:/usr/bin:/bin";
    }
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t colon = path.find(':', from);
        if (colon == std::string::npos) {
            colon = path.size();
        }
        const std::string folder = path.substr(from, colon - from);
        from = colon + 1;
        // An empty or relative entry would make what runs depend on the current folder.
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        const std::string candidate = folder.back() == '/' ? folder + name : folder + "/" + name;
        if (isProgram(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool PosixLauncher::start(const std::string& program, const std::vector<std::string>& args) {
    if (hasZero(program, args)) {
        return false;
    }
    const std::optional<std::string> path =
        program.find('/') != std::string::npos ? program : findProgram(program);
    if (!path) {
        return false;
    }
    // Built before the fork: the child of a threaded process may not allocate.
    const std::vector<char*> argv = argvOf(program, args);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    // Fork twice: the middle process ends at once and is reaped here, so the program is
    // adopted by init (or the session's subreaper) and never becomes a zombie of ours. The pipe
    // closes on a successful exec; before that the grandchild writes the exec's error into it.
    const pid_t child = ::fork();
    if (child < 0) {
        closeQuietly(pipeFds[0]);
        closeQuietly(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            const int err = errno;
            [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &err, sizeof err);
            ::_exit(1);
        }
        if (grandchild > 0) {
            ::_exit(0);
        }
        execDetached(path->c_str(), argv.data(), pipeFds[1]);
    }
    ::close(pipeFds[1]);
    int status = 0;
    waitFor(child, &status, 0);
    int err = 0;
    ssize_t n;
    do {
        n = ::read(pipeFds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<std::string> PosixLauncher::capture(const std::string& program,
                                                  const std::vector<std::string>& args,
                                                  std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    if (hasZero(program, args)) {
        return std::nullopt;
    }
    const std::optional<std::string> path =
        program.find('/') != std::string::npos ? program : findProgram(program);
    if (!path) {
        return std::nullopt;
    }
    const std::vector<char*> argv = argvOf(program, args);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return std::nullopt;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Its own process group, so that a helper script is killed with what it started.
    sigset_t none;
    sigset_t all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    // glibc reports a failed exec here, as the answer.
    const int spawned =
        ::posix_spawn(&pid, path->c_str(), &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::nullopt;
    }

    std::string output;
    bool overLimit = false;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready =
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        output.append(buffer, static_cast<std::size_t>(n));
        if (output.size() > captureLimit) {
            overLimit = true;
            break;
        }
    }
    ::close(out[0]);

    // The output has ended; the program may still be finishing.
    int status = 0;
    pid_t done = 0;
    while (!timedOut && !overLimit && (done = waitFor(pid, &status, WNOHANG)) == 0) {
        if (Clock::now() >= deadline) {
            timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (timedOut || overLimit) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        waitFor(pid, &status, 0);
        return std::nullopt;
    }
    if (done != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return output;
}

std::string executablePath() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

} // namespace vornal
