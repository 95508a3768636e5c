#include "app/cli/FileCommands.h"

#include "app/cli/Arguments.h"
#include "app/cli/CliMain.h"
#include "app/cli/ExitStatus.h"
#include "app/cli/KeyInput.h"
#include "app/cli/ProgressBar.h"
#include "app/cli/Usage.h"
#include "log/OperationLog.h"
#include "operations/FileRun.h"
#include "operations/RunMessages.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace vornal::cli {

namespace {

// Set by Ctrl-C or SIGTERM: the run stops at its next piece and puts its file back.
std::atomic<bool> gCancel = false;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onCancelSignal(int) {
    gCancel.store(true);
}

void installCancelHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onCancelSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// The services that every file run of one command shares.
struct Services {
    PosixFileSystem files;
    SystemClock clock;
    HtmlLog log{files, clock, logPath()};
    RunJournal journal{journalFolder(programFolder())};
    RunServices run{files, log, journal};
};

// Tells the user how the run on name ended; answers its exit status.
int tell(const std::string& name, const FileOutcome& o, Direction direction, bool quiet) {
    const bool encrypt = direction == Direction::Encrypt;
    if (o.succeeded()) {
        if (!quiet) {
            std::cout << name
                      << (encrypt ? ": File successfully Encrypted."
                                  : ": File successfully Decrypted.")
                      << std::endl;
        }
        return kSuccess;
    }
    const bool cancelled = o.status == RunStatus::Cancelled ||
                           (o.status == RunStatus::Failed && o.failure == Failure::Cancelled);
    const std::u16string message = outcomeMessage(o);
    if (!message.empty()) {
        printError(name + ": " + utf16ToUtf8(message));
    } else if (o.status == RunStatus::Nothing) {
        printError(name + (encrypt ? ": nothing to encrypt: the file is empty"
                                   : ": nothing to decrypt: no encrypted words"));
    }
    if (const auto kept = keptMessage(o)) {
        printError(name + ": " + utf16ToUtf8(*kept));
    }
    if (cancelled) {
        printError(name + (o.restored ? ": cancelled; the file is as it was"
                                      : ": cancelled; the file could not be put back as it was"));
    }
    if (o.status == RunStatus::Interrupted || !o.restored) {
        printHint("put the original back with: vornal-cli recover " + name);
    }
    return exitStatus(o);
}

// Encrypts or decrypts one file; answers its exit status.
int runOne(Services& services, const std::string& name, SecretUtf16 key, Direction direction,
           bool quiet) {
    // The log shows where the file was, whatever the folder the command ran in.
    std::error_code ec;
    const std::string absolute = name.empty() ? name : std::filesystem::absolute(name, ec).string();
    const auto path = utf8ToUtf16(ec ? name : absolute);
    if (!path) {
        printError(name + ": the file name is not valid UTF-8");
        return kUsage;
    }
    if (key.empty()) {
        printError(name + ": " +
                   (direction == Direction::Encrypt
                        ? "Please enter a key for encryption. Note that you have to enter 2 "
                          "times for confirmation."
                        : "Please enter the Encryption key. Note that you have to enter 2 times "
                          "for confirmation."));
        logKeyProblem(services.log, direction, *path, KeyProblem::Missing);
        return kFailed;
    }
    FileRequest request;
    request.typedPath = *path;
    request.direction = direction;
    request.key = std::move(key);
    request.cancel = &gCancel;
    FileRun run(services.run, std::move(request));
    ProgressBar bar(name, ::isatty(STDERR_FILENO) == 1);
    const FileOutcome outcome = run.run(bar);
    bar.clear();
    return tell(name, outcome, direction, quiet);
}

int runFiles(std::vector<std::string> args, Direction direction) {
    const std::string command = direction == Direction::Encrypt ? "encrypt" : "decrypt";
    const auto parsed = parseArguments(std::move(args), command, {.key = true, .quiet = true});
    if (!parsed) {
        return kUsage;
    }
    if (parsed->help) {
        std::cout << commandHelp(command);
        return kSuccess;
    }
    const std::vector<std::string>& names = parsed->operands;
    if (names.empty()) {
        printError("no file given; usage: vornal-cli " + command + " [OPTION...] FILE...");
        return kUsage;
    }
    KeyResult key = readKey(parsed->key, direction == Direction::Encrypt);
    if (!key.key) {
        printError(key.error);
        return key.exitCode;
    }

    Services services;
    try {
        // The log lives in the program folder; make it on first use so rows are not lost.
        makePrivateFolder(services.files, programFolder());
        makePrivateFolder(services.files, logFolder());
    } catch (const RunError&) {
        // A log that cannot be written never stops an operation.
    }
    installCancelHandlers();
    int status = kSuccess;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        // Every file but the last gets a copy; the last, the key itself.
        const int fileStatus =
            runOne(services, names[i], last ? std::move(*key.key) : copyOf(*key.key), direction,
                   parsed->quiet);
        if (status == kSuccess) {
            status = fileStatus;
        }
        // A run that passed its last check before Ctrl-C came has succeeded; the files
        // after it are not begun.
        if (gCancel.load()) {
            if (!last) {
                printError("cancelled; the files after " + names[i] + " were not processed");
            }
            if (!last || fileStatus != kSuccess) {
                status = kInterrupted;
            }
            break;
        }
    }
    return status;
}

} // namespace

int encryptFilesCommand(std::vector<std::string> args) {
    return runFiles(std::move(args), Direction::Encrypt);
}

int decryptFilesCommand(std::vector<std::string> args) {
    return runFiles(std::move(args), Direction::Decrypt);
}

} // namespace vornal::cli
