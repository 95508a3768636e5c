#pragma once

#include "app/cli/KeyInput.h"

#include <optional>
#include <string>
#include <vector>

namespace vornal::cli {

// The options a command takes besides -h/--help.
struct Accepts {
    bool key = false;   // --key-env VAR, --key-file FILE
    bool quiet = false; // -q, --quiet
    // An operand may begin with a single "-" (a text); else that is an unknown option.
    bool dashOperands = false;
};

struct Arguments {
    KeySource key;
    bool quiet = false;
    bool help = false;
    std::vector<std::string> operands; // in order; all after "--" are operands
};

// The arguments after the command name. Reports a bad option, with a hint to the command's
// help, and answers absent; -h or --help before "--" wins over any such error.
[[nodiscard]] std::optional<Arguments> parseArguments(std::vector<std::string> args,
                                                      const std::string& command, Accepts accepts);

} // namespace vornal::cli
