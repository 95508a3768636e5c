#include "app/cli/StringCommands.h"

#include "app/cli/CliMain.h"
#include "app/cli/KeyInput.h"
#include "app/cli/TerminalMessages.h"
#include "cipher/modAES.h"
#include "platform/Text.h"

#include <algorithm>
#include <iostream>
#include <optional>

namespace vornal::cli {

namespace {

struct Input {
    SecretUtf16 key;
    std::u16string text;
};

// The key and the text for a string command, or an exit status after reporting why not.
std::optional<Input> gatherInput(std::vector<std::string> args, const char* command,
                                 int& exitCode) {
    // After "--" everything is text, even what looks like an option.
    std::vector<std::string> positional;
    if (auto sep = std::find(args.begin(), args.end(), "--"); sep != args.end()) {
        positional.assign(sep + 1, args.end());
        args.erase(sep, args.end());
    }
    std::string error;
    const auto source = takeKeyOption(args, error);
    if (!source) {
        printError(error);
        exitCode = kUsage;
        return std::nullopt;
    }
    for (const auto& a : args) {
        if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            printError("unknown option " + a);
            printHint(std::string("see: vornal-cli ") + command + " --help");
            exitCode = kUsage;
            return std::nullopt;
        }
    }
    args.insert(args.end(), positional.begin(), positional.end());
    if (args.size() > 1) {
        printError("too many arguments; quote the text to pass it as one argument");
        exitCode = kUsage;
        return std::nullopt;
    }
    if (args.empty() && source->kind == KeySource::Kind::File && source->name == "-") {
        printError("the key is read from standard input, so the text must be an argument");
        exitCode = kUsage;
        return std::nullopt;
    }
    KeyResult key = readKey(*source);
    if (!key.key) {
        printError(key.error);
        if (key.exitCode == kUsage) {
            printHint("use --key-env VAR or --key-file FILE");
        }
        exitCode = key.exitCode;
        return std::nullopt;
    }
    std::string utf8;
    if (!args.empty()) {
        utf8 = args[0];
    } else {
        auto all = readAllStdin(error);
        if (!all) {
            printError(error);
            exitCode = kUsage;
            return std::nullopt;
        }
        utf8 = std::move(*all);
    }
    auto text = utf8ToUtf16(utf8);
    if (!text) {
        printError(args.empty() ? "standard input is not valid UTF-8"
                                : "the text argument is not valid UTF-8");
        exitCode = kUsage;
        return std::nullopt;
    }
    return Input{std::move(*key.key), std::move(*text)};
}

} // namespace

int encryptStringCommand(std::vector<std::string> args) {
    int exitCode = kSuccess;
    auto input = gatherInput(std::move(args), "encrypt-string", exitCode);
    if (!input) {
        return exitCode;
    }
    if (input->key.empty()) {
        printError("Please enter a key for encryption. Note that you have to enter 2 times for "
                   "confirmation.");
        return kFailed;
    }
    const std::u16string hex = modAES::EncryptString(input->text, input->key.str());
    if (hex.empty()) {
        printError("nothing to encrypt: the text is empty");
        return kFailed;
    }
    std::cout << utf16ToUtf8(hex) << '\n';
    return kSuccess;
}

int decryptStringCommand(std::vector<std::string> args) {
    int exitCode = kSuccess;
    auto input = gatherInput(std::move(args), "decrypt-string", exitCode);
    if (!input) {
        return exitCode;
    }
    if (input->key.empty()) {
        printError("Please enter the Encryption key. Note that you have to enter 2 times for "
                   "confirmation.");
        return kFailed;
    }
    TerminalMessages messages;
    const std::u16string text = modAES::DecryptString(input->text, input->key.str(), messages);
    if (text.empty()) {
        if (messages.count() == 0) {
            printError(input->text.empty()
                           ? "nothing to decrypt: the ciphertext is empty"
                           : "not a ciphertext: expected pairs of hexadecimal digits");
        }
        return kFailed;
    }
    std::cout << utf16ToUtf8(text) << '\n';
    return kSuccess;
}

} // namespace vornal::cli
