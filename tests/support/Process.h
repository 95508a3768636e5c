#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

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
};

// Runs program with args, feeding stdinData and collecting both output streams.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// Runs program on a pseudo-terminal, typing each of inputs followed by a line end once the
// program has printed the prompt before it. Returns everything the terminal showed.
ProcessResult
runOnTerminal(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::pair<std::string, std::string>>& promptsAndInputs,
              const ProcessOptions& options = {});

} // namespace vornal::test
