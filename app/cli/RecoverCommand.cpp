#include "app/cli/RecoverCommand.h"

#include "app/cli/Arguments.h"
#include "app/cli/CliMain.h"
#include "app/cli/ExitStatus.h"
#include "app/cli/Usage.h"
#include "operations/Recovery.h"
#include "operations/RunMessages.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "platform/Text.h"

#include <iostream>

namespace vornal::cli {

namespace {

// One line per run on record: the file and whether its run is still under way.
void listRuns(FileSystem& files, const RunJournal& journal) {
    for (const RunRecord& r : journal.records()) {
        const char* doing = r.encrypt ? "encrypting" : "decrypting";
        if (runIsLive(files, r)) {
            std::cout << r.target << ": being processed now (" << doing << ")\n";
        } else {
            std::cout << r.target << ": interrupted while " << doing << "\n";
        }
    }
}

} // namespace

int recoverCommand(std::vector<std::string> args) {
    const auto parsed = parseArguments(std::move(args), "recover", {.quiet = true});
    if (!parsed) {
        return kUsage;
    }
    if (parsed->help) {
        std::cout << commandHelp("recover");
        return kSuccess;
    }
    const std::vector<std::string>& names = parsed->operands;
    // Lines for files that are fine now, which --quiet leaves out.
    const auto done = [&](const std::string& name, const char* what) {
        if (!parsed->quiet) {
            std::cout << name << what << '\n';
        }
    };
    PosixFileSystem files;
    RunJournal journal(journalFolder(programFolder()));
    if (names.empty()) {
        listRuns(files, journal);
        return kSuccess;
    }
    int status = kSuccess;
    for (const std::string& name : names) {
        const std::vector<RunRecord> records = recordsFor(files, journal, name);
        if (records.empty()) {
            // Taking the lock once clears what a run killed before it recorded anything left.
            try {
                (void)files.lockForRun(name);
            } catch (const RunError&) {
            }
            done(name, ": Nothing needed putting back.");
            continue;
        }
        for (const RunRecord& record : records) {
            const RecoveryResult r = recoverRun(files, journal, record);
            switch (r.outcome) {
            case Recovered::PutBack:
                done(name, ": The original file was put back.");
                break;
            case Recovered::NothingToDo:
                done(name, ": Nothing needed putting back.");
                break;
            case Recovered::Busy:
                printError(name + ": " + utf16ToUtf8(kBusyMessage));
                status = kFailed;
                break;
            case Recovered::Failed:
                printError(name + ": the original file could not be put back: " + r.detail);
                status = kFailed;
                break;
            }
        }
    }
    return status;
}

} // namespace vornal::cli
