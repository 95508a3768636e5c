#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornal::cli {

// Exit statuses of vornal-cli.
enum Exit : int {
    kSuccess = 0,
    kFailed = 1, // an operation gave no result or failed
    kUsage = 2,  // bad invocation or unusable input
};

int run(int argc, char** argv);

// Diagnostics on standard error, as "vornal-cli: error: ..." and "vornal-cli: hint: ...".
void printError(std::string_view message);
void printHint(std::string_view message);

} // namespace vornal::cli
