#pragma once

#include "platform/FileSystem.h"
#include "platform/RunJournal.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vornal {

// Another program changed the file while a run had it. The run has failed and the file
// is whole: as that program left it, or, where the new content was written over the file
// itself, put back from the backup.
struct FileChanged {
    bool putBackFromBackup;
    bool restored; // false: the original could not be put back and is kept in the backup
};

// Rewrites a file in place without ever losing it, in one of two ways.
//
// Exchanged: the original keeps its name for the whole run, with a second name, the backup,
// as a link; the new content goes to a hidden file beside it, which takes the original's
// name in one step only once it is complete and on the disk and the original is known not
// to have changed. Until then a failure only removes the hidden file.
//
// Copied, where a new file would lose something of the original (other links, another
// owner, extended attributes) or the volume cannot exchange names: the backup is a copy,
// flushed before the file is emptied and written over, and the original is copied back
// from it when the run fails.
//
// The run is recorded in the journal before the file is touched and the record removed
// once it ended either way, so that a run that dies is found and put back later.
class InPlaceRewrite {
public:
    // asRead: the target as the run read it; every check compares with it. lock: the run's
    // lock, extended to the new file before it takes the target's name.
    InPlaceRewrite(FileSystem& files, RunJournal& journal, std::string target,
                   const FileIdentity& asRead, bool encrypt, RunLock* lock = nullptr);
    ~InPlaceRewrite();
    InPlaceRewrite(const InPlaceRewrite&) = delete;
    InPlaceRewrite& operator=(const InPlaceRewrite&) = delete;

    [[nodiscard]] bool exchanges() const noexcept { return exchanges_; }
    // The free room the run needs for new content of newSize: the hidden file where names
    // are exchanged; otherwise the copy, and the new content where it outgrows the old.
    [[nodiscard]] std::uint64_t roomNeeded(std::uint64_t newSize) const noexcept;

    // The backup's name: the target's path with ".bak", or ".bak.1", ".bak.2", ... when a
    // file of that name already exists, which is never touched.
    [[nodiscard]] std::string freeBackupName() const;

    // Records the run, then makes the backup, flushed to disk. expectedSize: the size of
    // the new content (for decryption, at most this). Throws FileChanged, having touched
    // nothing, when the target is no longer as it was read.
    void makeBackup(std::uint64_t expectedSize);
    // Starts the new content; from here on a failure needs restore().
    void begin();
    // For new content that never gets ahead of the old. Where the new content is written
    // over the target, it is written from its start while oldContent() reads it ahead of
    // the writing, and ends where the writing ends; a write that would pass the reading is
    // refused (EINVAL). From here on a failure needs restore().
    void beginOver();
    // The target's content as it was, for beginOver().
    [[nodiscard]] FileReader& oldContent() { return *reader_; }
    void write(std::string_view bytes);
    // Where the new content goes, for writers that bring their own large pieces.
    [[nodiscard]] FileWriter& writer() { return *writer_; }
    // Flushes the new content and gives it the target's place. Throws FileChanged, having
    // put the original back, when the target changed since it was read or the new content
    // is not the size it was written at.
    void finish();
    // Checks once more that the original did not change, then deletes the backup and the
    // record; the run has succeeded. Throws FileChanged, having put the original back,
    // when it changed. Answers false when the backup could not be deleted, which is left.
    bool discardBackup();
    // Puts the original back and removes the record. Answers false when the target could
    // not be restored (the backup, then, holds the original and the record stays).
    bool restore() noexcept;

    // Where the original's content can be read during the run.
    [[nodiscard]] const std::string& backupPath() const noexcept { return backup_; }
    [[nodiscard]] const std::string& target() const noexcept { return target_; }

private:
    void chooseNames();
    // The target opened to be written over; from the moment it may be emptied, restore()
    // puts it back.
    [[nodiscard]] std::unique_ptr<FileWriter> openRewrite(FileSystem::Rewrite how);
    void backUp();
    // Throws FileChanged after restore() unless the file at path is the original as read.
    void checkUnchanged(const std::string& path, bool putBackFromBackup);
    // Throws FileChanged after restore() unless what is at path is the new content whole.
    void checkNewContent(const std::string& path);
    void removeQuietly(const std::string& path) noexcept;
    [[nodiscard]] bool putBackExchanged() noexcept;
    [[nodiscard]] bool putBackCopied() noexcept;

    FileSystem& files_;
    RunJournal& journal_;
    std::string target_;
    std::string backup_;
    std::string temporary_; // the new file, where names are exchanged
    FileIdentity asRead_;
    FileIdentity newFile_; // the new file once it is complete
    RunLock* lock_;
    bool exchanges_;
    RunRecord record_;
    std::unique_ptr<FileReader> reader_;
    std::unique_ptr<FileWriter> writer_;
    std::uint64_t written_ = 0;  // bytes of new content handed to writer_
    bool recorded_ = false;      // the journal holds the run
    bool backedUp_ = false;      // the backup exists
    bool started_ = false;       // the new content has begun: the hidden file, or the target
    bool exchanged_ = false;     // the new content has the target's name
    bool temporaryGone_ = false; // after the exchange, the original's hidden name is removed
    bool ended_ = false;         // the run succeeded and its record is gone
};

} // namespace vornal
