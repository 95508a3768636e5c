#include "app/cli/CliMain.h"

#include "app/cli/ExitStatus.h"
#include "app/cli/FileCommands.h"
#include "app/cli/RecoverCommand.h"
#include "app/cli/StringCommands.h"
#include "app/cli/Usage.h"
#include "cipher/Rijndael256Engine.h"
#include "operations/ByteCodes.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "tools/Help.h"

#include <iostream>
#include <string>
#include <vector>

namespace vornal::cli {

void printError(std::string_view message) {
    std::cerr << "vornal-cli: error: " << message << '\n';
}

void printHint(std::string_view message) {
    std::cerr << "vornal-cli: hint: " << message << '\n';
}

namespace {

int printVersion() {
    // Which block engine and which byte conversions this processor gets, and which page
    // the window's Help button opens from this installation.
    SystemEnvironment environment;
    PosixFileSystem files;
    const auto help = helpPagePath(environment, files, executablePath());
    std::cout << "vornal-cli (Vornal Encryption) 2.5a\n"
              << "cipher: " << chosenEngineName() << "\n"
              << "conversions: " << byteCodesName(byteCodes().level) << "\n"
              << "help: " << help.value_or("not found") << "\n";
    return kSuccess;
}

} // namespace

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << usageText();
        return kUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        const std::string help = args.empty() ? usageText() : commandHelp(args.front());
        if (help.empty()) {
            printError("unknown command " + args.front());
            printHint("see: vornal-cli --help");
            return kUsage;
        }
        std::cout << help;
        return kSuccess;
    }
    if (command == "--version" || command == "-V") {
        return printVersion();
    }
    using Command = int (*)(std::vector<std::string>);
    for (const auto& [name, handler] :
         {std::pair<const char*, Command>{"encrypt", encryptFilesCommand},
          {"decrypt", decryptFilesCommand},
          {"recover", recoverCommand},
          {"encrypt-string", encryptStringCommand},
          {"decrypt-string", decryptStringCommand}}) {
        if (command == name) {
            return handler(std::move(args));
        }
    }
    printError("unknown command " + command);
    printHint("see: vornal-cli --help");
    return kUsage;
}

} // namespace vornal::cli
