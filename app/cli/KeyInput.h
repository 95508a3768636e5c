#pragma once

#include "platform/Secrets.h"

#include <optional>
#include <string>
#include <vector>

namespace vornal::cli {

// Where the key comes from: --key-env VAR, --key-file FILE ("-" for standard input), or a
// prompt on the terminal (typed twice, without echo).
struct KeySource {
    enum class Kind { Prompt, Env, File } kind = Kind::Prompt;
    std::string name; // variable or file name
};

// Takes the key options out of args. Sets error and answers absent on a malformed option.
std::optional<KeySource> takeKeyOption(std::vector<std::string>& args, std::string& error);

struct KeyResult {
    std::optional<SecretUtf16> key; // absent: could not be read (error says why)
    std::string error;
    int exitCode = 0; // for an absent key
};

// Reads the key as UTF-16, leaving no copy of it behind but the environment variable's.
// Prompting refuses a confirmation that differs from the key.
KeyResult readKey(const KeySource& source);

// True when the source consumes standard input, so the text must be an argument.
bool keyUsesStdin(const KeySource& source);

// All of standard input with one trailing LF or CR LF removed.
std::optional<std::string> readAllStdin(std::string& error);

} // namespace vornal::cli
