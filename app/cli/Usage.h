#pragma once

#include <string>

namespace vornal::cli {

// The whole usage text: the commands, the key options, the environment, the exit statuses
// and an example.
[[nodiscard]] std::string usageText();

// The help of one command: its synopsis, options and a worked example. Empty for a name
// that is not a command.
[[nodiscard]] std::string commandHelp(const std::string& command);

} // namespace vornal::cli
