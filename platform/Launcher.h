#pragma once

#include "platform/Environment.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vornal {

// Starts other programs of the desktop. Arguments reach the program exactly as given, one
// argv element each and never through a shell, so blanks, quotes and "$(...)" in a file
// name are only part of the name.
class Launcher {
public:
    virtual ~Launcher() = default;

    // Starts program with args as argv[1]... and returns without waiting for it; a name
    // without "/" is looked for on PATH. True once the program runs, false when it could not
    // be found or executed. It is not left as our child, so it leaves no zombie when it ends.
    [[nodiscard]] virtual bool start(const std::string& program,
                                     const std::vector<std::string>& args) = 0;

    // Runs program with args to its end and answers its standard output; absent when it
    // could not be started, ended with a status other than 0, or was still running after
    // limit (it is killed then).
    [[nodiscard]] virtual std::optional<std::string> capture(const std::string& program,
                                                             const std::vector<std::string>& args,
                                                             std::chrono::milliseconds limit) = 0;

    // The path of the program called name: name itself when it holds a "/", otherwise the
    // first of that name in PATH's folders; absent when there is no such program.
    [[nodiscard]] virtual std::optional<std::string> findProgram(const std::string& name) = 0;

    // True when path is a regular file this user may execute.
    [[nodiscard]] virtual bool isProgram(const std::string& path) = 0;
};

// The system's launcher (fork, posix_spawn, execve). PATH is read from environment.
class PosixLauncher : public Launcher {
public:
    explicit PosixLauncher(const Environment& environment) : environment_(environment) {}

    bool start(const std::string& program, const std::vector<std::string>& args) override;
    std::optional<std::string> capture(const std::string& program,
                                       const std::vector<std::string>& args,
                                       std::chrono::milliseconds limit) override;
    std::optional<std::string> findProgram(const std::string& name) override;
    bool isProgram(const std::string& path) override;

private:
    const Environment& environment_;
};

// The path of this program's own executable; "" when the system does not tell.
[[nodiscard]] std::string executablePath();

} // namespace vornal
