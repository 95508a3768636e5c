#pragma once

#include "platform/FileSystem.h"
#include "platform/RunJournal.h"

#include <string>
#include <vector>

namespace vornal {

// The records of the journal that concern the file at path: by its name, or, for a file
// known by other names, by the file itself.
[[nodiscard]] std::vector<RunRecord> recordsFor(FileSystem& files, const RunJournal& journal,
                                                const std::string& path);

// True while the run of the record is still under way: its file's lock is held.
[[nodiscard]] bool runIsLive(FileSystem& files, const RunRecord& record);

// What putting a run's file back came to.
enum class Recovered {
    PutBack,     // the original is at its name again
    NothingToDo, // the run had not touched the file, or had finished
    Busy,        // the run is still under way; nothing was done
    Failed,      // the original could not be put back; detail says why and where it is
};

struct RecoveryResult {
    Recovered outcome = Recovered::Failed;
    std::string detail;
};

// Puts back the original of an interrupted run and removes what the run left (its new
// file, its backup, its record), under the file's lock so that a run under way is never
// taken for an interrupted one.
[[nodiscard]] RecoveryResult recoverRun(FileSystem& files, RunJournal& journal,
                                        const RunRecord& record);

} // namespace vornal
