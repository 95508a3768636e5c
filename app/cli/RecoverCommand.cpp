#include "app/cli/RecoverCommand.h"

#include "app/cli/CliMain.h"
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
    std::vector<std::string> names;
    bool afterSeparator = false;
    for (std::string& a : args) {
        if (!afterSeparator && a == "--") {
            afterSeparator = true;
        } else if (!afterSeparator && a.size() > 1 && a[0] == '-') {
            printError("unknown option " + a);
            printHint("see: vornal-cli --help");
            return kUsage;
        } else {
            names.push_back(std::move(a));
        }
    }
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
            std::cout << name << ": Nothing needed putting back.\n";
            continue;
        }
        for (const RunRecord& record : records) {
            const RecoveryResult r = recoverRun(files, journal, record);
            switch (r.outcome) {
            case Recovered::PutBack:
                std::cout << name << ": The original file was put back.\n";
                break;
            case Recovered::NothingToDo:
                std::cout << name << ": Nothing needed putting back.\n";
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
