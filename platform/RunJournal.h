#pragma once

#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vornal {

// One run on one file, recorded before the file is touched, so that a run that dies on the
// way can be found and its file put back.
struct RunRecord {
    std::string id;        // the record's name in the journal; given by RunJournal::write
    std::string target;    // the file, as canonicalTarget names it
    std::string backup;    // where the original is kept until the run ends
    std::string temporary; // the new file until it takes the target's name; empty when the
                           // new content is written over the target itself
    bool encrypt = true;
    std::uint64_t expectedSize = 0; // the new content's size (for decryption, at most this)
    FileIdentity original;          // the target as it was read

    [[nodiscard]] bool exchanges() const noexcept { return !temporary.empty(); }
};

// The records of runs under way, one small file each in a folder of the program folder.
class RunJournal {
public:
    explicit RunJournal(std::string folder) : folder_(std::move(folder)) {}

    [[nodiscard]] const std::string& folder() const noexcept { return folder_; }

    // Records a run, or records it again with changes: on disk, folder entry included,
    // before this returns. Gives the record its id when it has none.
    void write(RunRecord& record);
    // Removes a record, durably.
    void remove(const RunRecord& record);
    // Every complete record, oldest first; records that cannot be read are left out.
    [[nodiscard]] std::vector<RunRecord> records() const;

private:
    std::string folder_;
};

// The name a record gives a file: the real path of its folder (symbolic links and "..",
// resolved) and its own name, so that every spelling of one path finds the same records.
[[nodiscard]] std::string canonicalTarget(const std::string& path);

} // namespace vornal
