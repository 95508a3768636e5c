#include "app/cli/CliMain.h"

#include "app/cli/FileCommands.h"
#include "app/cli/StringCommands.h"
#include "app/cli/TerminalMessages.h"
#include "cipher/Rijndael256Engine.h"
#include "operations/ByteCodes.h"
#include "platform/Text.h"

#include <iostream>

namespace vornal::cli {

namespace {

constexpr const char* kUsageText =
    R"(Usage: vornal-cli COMMAND [KEY OPTION] [ARGUMENT]

Encrypts and decrypts text with Vornal Encryption (Rijndael, 256-bit block and key).

Commands:
  encrypt [KEY OPTION] FILE...        encrypt each FILE in place, word by word
  decrypt [KEY OPTION] FILE...        decrypt each FILE in place
  encrypt-string [KEY OPTION] [TEXT]  print the upper-case hexadecimal ciphertext of TEXT
  decrypt-string [KEY OPTION] [HEX]   print the text that HEX decrypts to (UTF-8)
  --help, -h                          show this help
  --version                           show the version

A file is copied to FILE.bak (or the next free FILE.bak.N) before it is rewritten, and
put back from it if anything goes wrong; the backup is deleted after success. Ctrl-C
stops at the next word and puts the file back. Every file attempt is logged in
$VORNAL_HOME/log/log.html (default ~/.local/share/vornal-encryption/log/log.html).

TEXT or HEX is used exactly as given ("--" before it if it begins with "-"). Without it, all of standard input is used, less
one trailing line end (LF or CR LF). Hexadecimal digits may be in either case.

Key options (the key given once serves as key and confirmation):
  --key-env VAR    the key is the value of environment variable VAR
  --key-file FILE  the key is the first line of FILE without its line end;
                   FILE "-" reads it from standard input (then TEXT must be given)
  (neither)        on a terminal, the key is asked for twice without echo
Keys are UTF-8; only their first 16 characters count.

Environment: VORNAL_HOME (program folder), VORNAL_THREADS (worker threads; default:
every core), VORNAL_CIPHER=portable (use the table-driven cipher, not the processor's
AES instructions).

Exit status: 0 success (every file); 1 no result or any file failed (wrong key, empty
text, malformed ciphertext, keys that do not match); 2 usage error or input that is not
valid UTF-8.

Example:
  $ export VORNAL_KEY='correct horse'
  $ vornal-cli encrypt-string --key-env VORNAL_KEY 'attack at dawn' > secret.txt
  $ vornal-cli decrypt-string --key-env VORNAL_KEY < secret.txt
  attack at dawn
  $ vornal-cli encrypt --key-env VORNAL_KEY notes.txt
  notes.txt: File successfully Encrypted.
)";

} // namespace

void printError(std::string_view message) {
    std::cerr << "vornal-cli: error: " << message << '\n';
}

void printHint(std::string_view message) {
    std::cerr << "vornal-cli: hint: " << message << '\n';
}

MsgAnswer TerminalMessages::messageBox(const std::u16string& prompt, const std::u16string&,
                                       MsgButtons buttons, MsgIcon) {
    ++count_;
    printError(utf16ToUtf8(prompt));
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : questionAnswer_;
}

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsageText;
        return kUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    for (const auto& a : args) {
        if (a == "--") {
            break;
        }
        if (a == "--help" || a == "-h") {
            std::cout << kUsageText;
            return kSuccess;
        }
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsageText;
        return kSuccess;
    }
    if (command == "--version") {
        // Which block engine and which byte conversions this processor gets.
        std::cout << "vornal-cli (Vornal Encryption) 2.5a\n"
                  << "cipher: " << chosenEngineName() << "\n"
                  << "conversions: " << byteCodesName(byteCodes().level) << "\n";
        return kSuccess;
    }
    if (command == "encrypt-string") {
        return encryptStringCommand(std::move(args));
    }
    if (command == "decrypt-string") {
        return decryptStringCommand(std::move(args));
    }
    if (command == "encrypt") {
        return encryptFilesCommand(std::move(args));
    }
    if (command == "decrypt") {
        return decryptFilesCommand(std::move(args));
    }
    printError("unknown command " + command);
    printHint("see: vornal-cli --help");
    return kUsage;
}

} // namespace vornal::cli
