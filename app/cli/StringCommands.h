#pragma once

#include <string>
#include <vector>

namespace vornal::cli {

// encrypt-string / decrypt-string with their arguments after the command name.
int encryptStringCommand(std::vector<std::string> args);
int decryptStringCommand(std::vector<std::string> args);

} // namespace vornal::cli
