#pragma once

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/Registry.h"
#include "tools/DesktopHandlers.h"

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vornal::test {

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

// A registry held in memory: keys by root and path, some refusing access. Records every
// open with the access asked for.
class FakeRegistry : public Registry {
public:
    struct Open {
        RegistryRoot root;
        std::string keyPath;
        std::uint32_t access;
    };

    RegistryAnswer open(RegistryRoot root, const std::string& keyPath, std::uint32_t access,
                        std::unique_ptr<RegistryKey>& key) override {
        opens.push_back({root, keyPath, access});
        if (onOpen) {
            onOpen(keyPath);
        }
        if (refused.contains(keyPath)) {
            return RegistryAnswer::AccessDenied;
        }
        const auto found = keys.find({root, keyPath});
        if (found == keys.end()) {
            return RegistryAnswer::NotFound;
        }
        key = std::make_unique<Key>(found->second);
        return RegistryAnswer::Ok;
    }

    void setString(const std::string& keyPath, const std::string& name, const std::string& text) {
        keys[{HKEY_LOCAL_MACHINE, keyPath}][name] = {kRegString, text + '\0'};
    }
    void set(const std::string& keyPath, const std::string& name, RegistryValue value) {
        keys[{HKEY_LOCAL_MACHINE, keyPath}][name] = std::move(value);
    }

    std::map<std::pair<RegistryRoot, std::string>, std::map<std::string, RegistryValue>> keys;
    std::set<std::string> refused;
    std::vector<Open> opens;
    std::function<void(const std::string&)> onOpen;

private:
    class Key : public RegistryKey {
    public:
        explicit Key(std::map<std::string, RegistryValue> values) : values_(std::move(values)) {}
        RegistryAnswer query(const std::string& name, RegistryValue& value) override {
            const auto found = values_.find(name);
            if (found == values_.end()) {
                return RegistryAnswer::NotFound;
            }
            value = found->second;
            return RegistryAnswer::Ok;
        }

    private:
        std::map<std::string, RegistryValue> values_;
    };
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
