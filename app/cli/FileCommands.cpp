#include "app/cli/FileCommands.h"

#include "app/cli/CliMain.h"
#include "app/cli/CliWindow.h"
#include "app/cli/KeyInput.h"
#include "log/OperationLog.h"
#include "operations/Recovery.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"
#include "window/FileDisplay.h"
#include "window/Operations.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace vornal::cli {

namespace {

// Files from this size up get a progress bar on a terminal.
constexpr std::uint64_t kProgressFrom = 1 << 20;

int runFiles(std::vector<std::string> args, bool encrypt) {
    const char* command = encrypt ? "encrypt" : "decrypt";
    std::vector<std::string> names;
    if (auto sep = std::find(args.begin(), args.end(), "--"); sep != args.end()) {
        names.assign(sep + 1, args.end());
        args.erase(sep, args.end());
    }
    std::string error;
    const auto source = takeKeyOption(args, error);
    if (!source) {
        printError(error);
        return kUsage;
    }
    for (const auto& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            printError("unknown option " + a);
            printHint(std::string("see: vornal-cli ") + command + " --help");
            return kUsage;
        }
    }
    names.insert(names.begin(), args.begin(), args.end());
    if (names.empty()) {
        printError(std::string("no file given; usage: vornal-cli ") + command +
                   " [KEY OPTION] FILE...");
        return kUsage;
    }
    KeyResult key = readKey(*source);
    if (!key.key) {
        printError(key.error);
        return key.exitCode;
    }

    PosixFileSystem files;
    // The log lives in the program folder; make it on first use so rows are not lost.
    try {
        makePrivateFolder(files, programFolder());
        makePrivateFolder(files, logFolder());
    } catch (const RunError&) {
        // A log that cannot be written never stops an operation.
    }
    SystemClock clock;
    HtmlLog log(files, clock, logPath());
    RunJournal journal(journalFolder(programFolder()));
    CliWindow window;
    CliWindow::installCancelHandlers();
    ProcessState state;
    // The operations run on this thread; Ctrl-C raises the flag the runs watch.
    class Foreground : public Background {
    public:
        explicit Foreground(Window& w) : w_(w) {}
        void run(const std::function<void(Window&)>& work) override { work(w_); }
        const std::atomic<bool>& cancelled() const noexcept override {
            return CliWindow::cancelFlag();
        }

    private:
        Window& w_;
    } background(window);
    OperationContext ctx{state, window, {files, log, journal}, background};
    window.setText(Ctl::txtPass1, key.key->str());
    window.setText(Ctl::txtPass2, key.key->str());

    bool anyFailed = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        // The log shows where the file was, whatever the folder the command ran in.
        std::error_code ec;
        const std::string absolute = std::filesystem::absolute(name, ec).string();
        const auto path = utf8ToUtf16(ec ? name : absolute);
        if (!path) {
            printError(name + ": the file name is not valid UTF-8");
            anyFailed = true;
            continue;
        }
        bool large = false;
        try {
            large = files.size(pathFromText(typedPath(files, *path))) >= kProgressFrom;
        } catch (const RunError&) {
            // The probe reports a file it cannot read.
        }
        window.beginFile(name, large && isatty(STDERR_FILENO));
        window.setText(Ctl::filepath, *path);
        state.ElapsedStopped = false;
        if (encrypt) {
            EncryptCurrent(ctx);
        } else {
            DecryptCurrent(ctx);
        }
        const bool succeeded = window.succeeded() && !window.failed();
        // A run that passed its last check before the cancellation came has succeeded.
        const bool cancelled = CliWindow::cancelled();
        // A record left for the file: the run could not put it back, or an earlier run
        // was interrupted and left it so.
        const bool left = !succeeded && !recordsFor(files, journal, name).empty();
        if (cancelled && !succeeded) {
            printError(name + (left ? ": cancelled; the file could not be put back as it was"
                                    : ": cancelled; the file is as it was"));
        } else if (!succeeded && !window.failed()) {
            printError(name + (encrypt ? ": nothing to encrypt: the file is empty"
                                       : ": nothing to decrypt: no encrypted words"));
        }
        if (left) {
            printHint("put the original back with: vornal-cli recover " + name);
        }
        anyFailed = anyFailed || !succeeded;
        if (cancelled) {
            if (i + 1 < names.size()) {
                printError("cancelled; the files after " + name + " were not processed");
                anyFailed = true;
            }
            break;
        }
    }
    return anyFailed ? kFailed : kSuccess;
}

} // namespace

int encryptFilesCommand(std::vector<std::string> args) {
    return runFiles(std::move(args), true);
}

int decryptFilesCommand(std::vector<std::string> args) {
    return runFiles(std::move(args), false);
}

} // namespace vornal::cli
