#pragma once

#include <string>
#include <vector>

namespace vornal::cli {

// recover [FILE...] with its arguments after the command name: puts back the files that
// interrupted runs left unfinished; without a file, lists the runs on record.
int recoverCommand(std::vector<std::string> args);

} // namespace vornal::cli
