#include "operations/Recovery.h"

#include "platform/RunError.h"

#include <optional>

namespace vornal {

namespace {

std::optional<FileIdentity> identityOf(FileSystem& files, const std::string& path) {
    try {
        return files.identify(path);
    } catch (const RunError&) {
        return std::nullopt;
    }
}

// A run whose new file was to take the target's name: the original is the file with the
// recorded identity, under whichever of its names survived.
Recovered putBackExchanged(FileSystem& files, const RunRecord& r) {
    const auto target = identityOf(files, r.target);
    const auto backup = identityOf(files, r.backup);
    const auto temporary = identityOf(files, r.temporary);
    const FileIdentity& original = r.original;
    Recovered outcome = Recovered::NothingToDo;
    if (target && target->sameFile(original)) {
        // Never replaced: what else is there is the run's own.
        if (backup && backup->sameFile(original)) {
            files.remove(r.backup);
        }
        if (temporary) {
            files.remove(r.temporary);
        }
    } else if (backup && backup->sameFile(original)) {
        files.rename(r.backup, r.target);
        if (temporary) {
            files.remove(r.temporary);
        }
        outcome = Recovered::PutBack;
    } else if (temporary && temporary->sameFile(original)) {
        files.rename(r.temporary, r.target);
        outcome = Recovered::PutBack;
    } else if (temporary && target) {
        // The run had finished with the new file in place; this is a piece of nothing.
        files.remove(r.temporary);
    }
    files.syncFolder(r.target);
    return outcome;
}

// A run that wrote over the target itself: the backup is a copy, whole when it has the
// original's size.
RecoveryResult putBackCopied(FileSystem& files, const RunRecord& r) {
    const auto backup = identityOf(files, r.backup);
    if (!backup || backup->size != r.original.size) {
        return {Recovered::NothingToDo, {}}; // no backup yet, or none left: nothing touched
    }
    const auto target = identityOf(files, r.target);
    if (!target) {
        files.rename(r.backup, r.target);
    } else if (*target == r.original) {
        files.remove(r.backup); // the run stopped before it emptied the file
        files.syncFolder(r.backup);
        return {Recovered::NothingToDo, {}};
    } else if (!target->sameFile(r.original)) {
        return {Recovered::Failed,
                "another file has taken its name since; the original is kept in " + r.backup};
    } else {
        files.copyOver(r.backup, r.target);
        files.remove(r.backup);
    }
    files.syncFolder(r.target);
    return {Recovered::PutBack, {}};
}

} // namespace

std::vector<RunRecord> recordsFor(FileSystem& files, const RunJournal& journal,
                                  const std::string& path) {
    const std::string name = canonicalTarget(path);
    const auto now = identityOf(files, path);
    std::vector<RunRecord> found;
    for (RunRecord& r : journal.records()) {
        if (r.target == name || (now && now->sameFile(r.original))) {
            found.push_back(std::move(r));
        }
    }
    return found;
}

bool runIsLive(FileSystem& files, const RunRecord& record) {
    try {
        return files.lockForRun(record.target) == nullptr;
    } catch (const RunError&) {
        return false; // nothing there to lock: no run can be under way on it
    }
}

RecoveryResult recoverRun(FileSystem& files, RunJournal& journal, const RunRecord& record) {
    try {
        const auto lock = files.lockForRun(record.target);
        if (!lock) {
            return {Recovered::Busy, {}};
        }
        RecoveryResult result = record.exchanges()
                                    ? RecoveryResult{putBackExchanged(files, record), {}}
                                    : putBackCopied(files, record);
        journal.remove(record);
        return result;
    } catch (const RunError& e) {
        return {Recovered::Failed, e.text()};
    }
}

} // namespace vornal
