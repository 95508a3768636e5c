#pragma once

#include "platform/Secrets.h"

#include <optional>
#include <string>

namespace vornal::cli {

// Where the key comes from: --key-env VAR, --key-file FILE ("-" for standard input), or a
// prompt on the terminal (without echo).
struct KeySource {
    enum class Kind { Prompt, Env, File } kind = Kind::Prompt;
    std::string name; // variable or file name
};

struct KeyResult {
    std::optional<SecretUtf16> key; // absent: could not be read (error says why)
    std::string error;
    int exitCode = 0; // for an absent key
};

// Reads the key as UTF-16, leaving no copy of it behind but the environment variable's.
// With confirm, the prompt asks a second time and refuses a confirmation that differs: a
// typo is harmless when decrypting (the key is found wrong), not when encrypting.
KeyResult readKey(const KeySource& source, bool confirm);

// A second key text, for a second file: a plain string is never made of it.
[[nodiscard]] SecretUtf16 copyOf(const SecretUtf16& key);

// All of standard input with one trailing LF or CR LF removed.
std::optional<std::string> readAllStdin(std::string& error);

} // namespace vornal::cli
