#pragma once

#include <string>
#include <vector>

namespace vornal::cli {

// encrypt / decrypt FILE... with their arguments after the command name.
int encryptFilesCommand(std::vector<std::string> args);
int decryptFilesCommand(std::vector<std::string> args);

} // namespace vornal::cli
