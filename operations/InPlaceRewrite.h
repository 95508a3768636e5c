#pragma once

#include "platform/FileSystem.h"

#include <memory>
#include <string>
#include <string_view>

namespace vornal {

// Rewrites a file in place without ever losing it: a backup is made and flushed before the
// file is emptied, the new content is flushed before the backup is deleted, and until then
// the original can be put back byte for byte.
class InPlaceRewrite {
public:
    InPlaceRewrite(FileSystem& files, std::string target);
    ~InPlaceRewrite();
    InPlaceRewrite(const InPlaceRewrite&) = delete;
    InPlaceRewrite& operator=(const InPlaceRewrite&) = delete;

    // The backup's name: the target's path with ".bak", or ".bak.1", ".bak.2", ... when a
    // file of that name already exists, which is never touched.
    [[nodiscard]] std::string freeBackupName() const;

    // Makes a new backup of the target, flushed to disk: the target itself renamed where a
    // new file can take its place with nothing lost, a copy of it otherwise.
    void makeBackup();
    // Empties the target; from here on a failure needs restore().
    void begin();
    // For new content that never gets ahead of the old: the target is written over from
    // its start while oldContent() reads it ahead of the writing, and ends where the
    // writing ends. A write that would pass the reading is refused (EINVAL). From here on a
    // failure needs restore().
    void beginOver();
    // The target's content as it was, for the writing over; only after beginOver().
    [[nodiscard]] FileReader& oldContent() { return *reader_; }
    void write(std::string_view bytes);
    // The emptied target, for writers that bring their own large pieces.
    [[nodiscard]] FileWriter& writer() { return *writer_; }
    // Flushes the new content to disk and closes the target.
    void finish();
    // Deletes the backup after a successful run; answers false when that failed.
    bool discardBackup() noexcept;
    // Puts the original content back from the backup, which stays. Answers false when the
    // target could not be restored (the backup still holds the original).
    bool restore() noexcept;

    [[nodiscard]] bool touched() const noexcept { return touched_; }
    [[nodiscard]] const std::string& backupPath() const noexcept { return backup_; }
    [[nodiscard]] const std::string& target() const noexcept { return target_; }

private:
    FileSystem& files_;
    std::string target_;
    std::string backup_;
    std::unique_ptr<FileReader> reader_;
    std::unique_ptr<FileWriter> writer_;
    bool touched_ = false;
    bool movedAside_ = false; // the backup is the target renamed; a new file takes its name
};

} // namespace vornal
