#pragma once

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "tests/support/TempDir.h"
#include "tools/DesktopHandlers.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vornal {

inline void PrintTo(const Command& command, std::ostream* os) {
    *os << "[" << command.program << "]";
    for (const std::string& a : command.args) {
        *os << " [" << a << "]";
    }
}

} // namespace vornal

namespace vornal::test {

// A shell script of the test's own at path, executable, for the real launcher to start.
inline std::string writeScript(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// Waits up to five seconds for a file that a started program writes.
inline bool waitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        if (fileExists(path)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let it finish writing
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Variables set by the test and nothing else.
class FakeEnvironment : public Environment {
public:
    std::optional<std::string> variable(const std::string& name) const override {
        const auto found = vars.find(name);
        return found == vars.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::map<std::string, std::string> vars;
};

// A desktop of the test's making: the programs that exist, the folders of PATH, what
// xdg-mime answers, and which programs fail to start. Records every start.
class FakeLauncher : public Launcher {
public:
    bool start(const std::string& program, const std::vector<std::string>& args) override {
        started.push_back({program, args});
        const auto found = findProgram(program);
        return found && !refusing.contains(*found);
    }

    std::optional<std::string> capture(const std::string& program,
                                       const std::vector<std::string>& args,
                                       std::chrono::milliseconds) override {
        if (onCapture) {
            onCapture(args);
        }
        std::string line = program;
        for (const std::string& a : args) {
            line += " " + a;
        }
        // Without an answer the query fails, as xdg-mime does.
        const auto found = answers.find(line);
        return !findProgram(program) || found == answers.end()
                   ? std::nullopt
                   : std::optional<std::string>(found->second);
    }

    std::optional<std::string> findProgram(const std::string& name) override {
        for (const std::string& folder : path) {
            const std::string at = name.find('/') != std::string::npos ? name : folder + "/" + name;
            if (programs.contains(at)) {
                return at;
            }
        }
        return std::nullopt;
    }

    bool isProgram(const std::string& p) override { return programs.contains(p); }

    // Installs xdg-mime in /usr/bin.
    void withXdgMime() { programs.insert("/usr/bin/xdg-mime"); }

    std::set<std::string> programs;
    std::vector<std::string> path{"/usr/local/bin", "/usr/bin", "/bin"};
    std::map<std::string, std::string> answers; // "xdg-mime query default text/html" -> answer
    std::set<std::string> refusing;             // programs that exist but fail to start
    std::function<void(const std::vector<std::string>&)> onCapture;

    std::vector<Command> started;
};

} // namespace vornal::test
