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
        if (found == vars.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    std::map<std::string, std::string> vars;
};

// A desktop of the test's making: the programs that exist, the folders of PATH, what
// xdg-mime answers, and which programs fail to start. Records every start and query.
class FakeLauncher : public Launcher {
public:
    struct Call {
        std::string program;
        std::vector<std::string> args;
        bool operator==(const Call&) const = default;
    };

    bool start(const std::string& program, const std::vector<std::string>& args) override {
        started.push_back({program, args});
        if (onStart) {
            onStart(program, args);
        }
        const auto found = findProgram(program);
        return found && !refusing.contains(*found);
    }

    std::optional<std::string> capture(const std::string& program,
                                       const std::vector<std::string>& args,
                                       std::chrono::milliseconds) override {
        captured.push_back({program, args});
        if (onCapture) {
            onCapture(program, args);
        }
        if (!findProgram(program)) {
            return std::nullopt;
        }
        std::string line = program;
        for (const std::string& a : args) {
            line += " " + a;
        }
        const auto found = answers.find(line);
        if (found == answers.end()) {
            return std::nullopt; // the query failed, as xdg-mime does without an answer
        }
        return found->second;
    }

    std::optional<std::string> findProgram(const std::string& name) override {
        if (name.find('/') != std::string::npos) {
            return programs.contains(name) ? std::optional<std::string>(name) : std::nullopt;
        }
        for (const std::string& folder : path) {
            if (programs.contains(folder + "/" + name)) {
                return folder + "/" + name;
            }
        }
        return std::nullopt;
    }

    bool isProgram(const std::string& p) override {
        checked.push_back(p);
        return programs.contains(p);
    }

    // Installs xdg-mime in /usr/bin.
    void withXdgMime() { programs.insert("/usr/bin/xdg-mime"); }

    std::set<std::string> programs;
    std::vector<std::string> path{"/usr/local/bin", "/usr/bin", "/bin"};
    std::map<std::string, std::string> answers; // "xdg-mime query default text/html" -> answer
    std::set<std::string> refusing;             // programs that exist but fail to start
    std::function<void(const std::string&, const std::vector<std::string>&)> onStart;
    std::function<void(const std::string&, const std::vector<std::string>&)> onCapture;

    std::vector<Call> started;
    std::vector<Call> captured;
    std::vector<std::string> checked;
};

inline void PrintTo(const std::vector<std::string>& args, std::ostream* os) {
    for (const std::string& a : args) {
        *os << " [" << a << "]";
    }
}

inline void PrintTo(const FakeLauncher::Call& call, std::ostream* os) {
    *os << "[" << call.program << "]";
    PrintTo(call.args, os);
}

} // namespace vornal::test

namespace vornal {

inline void PrintTo(const Command& command, std::ostream* os) {
    test::PrintTo(test::FakeLauncher::Call{command.program, command.args}, os);
}

} // namespace vornal
