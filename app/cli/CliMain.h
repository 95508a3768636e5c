#pragma once

#include <string_view>

namespace vornal::cli {

int run(int argc, char** argv);

// Diagnostics on standard error, as "vornal-cli: error: ..." and "vornal-cli: hint: ...".
void printError(std::string_view message);
void printHint(std::string_view message);

} // namespace vornal::cli
