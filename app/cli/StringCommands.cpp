#include "app/cli/StringCommands.h"

#include "app/cli/Arguments.h"
#include "app/cli/CliMain.h"
#include "app/cli/ExitStatus.h"
#include "app/cli/KeyInput.h"
#include "app/cli/Usage.h"
#include "cipher/modAES.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"

#include <iostream>
#include <optional>

namespace vornal::cli {

namespace {

// The cipher's message boxes, on standard error. It asks no questions.
class TerminalMessages : public MessageBoxHook {
public:
    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string&, MsgButtons,
                         MsgIcon) override {
        ++count_;
        printError(utf16ToUtf8(prompt));
        return MsgAnswer::Ok;
    }
    [[nodiscard]] int count() const noexcept { return count_; }

private:
    int count_ = 0;
};

struct Input {
    SecretUtf16 key;
    std::u16string text;
};

// The key and the text for a string command, or an exit status after reporting why not.
// The key is asked for twice on a terminal only when encrypting.
std::optional<Input> gatherInput(std::vector<std::string> args, const std::string& command,
                                 bool encrypt, int& exitCode) {
    exitCode = kUsage;
    const auto parsed =
        parseArguments(std::move(args), command, {.key = true, .dashOperands = true});
    if (!parsed) {
        return std::nullopt;
    }
    if (parsed->help) {
        std::cout << commandHelp(command);
        exitCode = kSuccess;
        return std::nullopt;
    }
    const std::vector<std::string>& operands = parsed->operands;
    if (operands.size() > 1) {
        printError("too many arguments; quote the text to pass it as one argument");
        return std::nullopt;
    }
    if (operands.empty() && parsed->key.kind == KeySource::Kind::File && parsed->key.name == "-") {
        printError("the key is read from standard input, so the text must be an argument");
        return std::nullopt;
    }
    KeyResult key = readKey(parsed->key, encrypt);
    if (!key.key) {
        printError(key.error);
        if (key.exitCode == kUsage) {
            printHint("use --key-env VAR or --key-file FILE");
        }
        exitCode = key.exitCode;
        return std::nullopt;
    }
    std::string utf8;
    if (!operands.empty()) {
        utf8 = operands[0];
    } else {
        std::string error;
        auto all = readAllStdin(error);
        if (!all) {
            printError(error);
            return std::nullopt;
        }
        utf8 = std::move(*all);
    }
    auto text = utf8ToUtf16(utf8);
    if (!text) {
        printError(operands.empty() ? "standard input is not valid UTF-8"
                                    : "the text argument is not valid UTF-8");
        return std::nullopt;
    }
    return Input{std::move(*key.key), std::move(*text)};
}

} // namespace

int encryptStringCommand(std::vector<std::string> args) {
    int exitCode = kSuccess;
    auto input = gatherInput(std::move(args), "encrypt-string", true, exitCode);
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
    auto input = gatherInput(std::move(args), "decrypt-string", false, exitCode);
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
        if (messages.count() > 0) {
            return kWrongKey; // "Invalid password" is told
        }
        if (input->text.empty()) {
            printError("nothing to decrypt: the ciphertext is empty");
            return kFailed;
        }
        printError("not a ciphertext: expected pairs of hexadecimal digits");
        return kForeign;
    }
    std::cout << utf16ToUtf8(text) << '\n';
    return kSuccess;
}

} // namespace vornal::cli
