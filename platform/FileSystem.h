#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vornal {

// A file open for writing. Every failure throws RunError with the system's error number
// and text.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual void write(std::string_view bytes) = 0;
    // Flushes what was written to the disk (fsync).
    virtual void sync() = 0;
    // Closes the file; errors the system reports on close are thrown.
    virtual void close() = 0;
};

// A regular file open for reading, front to back.
class FileReader {
public:
    virtual ~FileReader() = default;
    // Reads up to size bytes into buffer; 0 at the end of the file.
    [[nodiscard]] virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// What a file is at one moment: which file, how large, and when it was last written.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    [[nodiscard]] bool sameFile(const FileIdentity& other) const noexcept {
        return device == other.device && inode == other.inode;
    }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Why a file cannot be rewritten where it is.
enum class RewriteRefusal {
    None,
    ReadOnlyVolume,    // the volume is mounted read-only
    Immutable,         // marked immutable
    AppendOnly,        // marked append-only
    ReadOnly,          // no write permission bit at all
    NoPermission,      // this user may not write it
    FolderNotWritable, // this user may not add or remove names in its folder
};

// Held by a run on one file; released when destroyed.
class RunLock {
public:
    virtual ~RunLock() = default;
    // Extends the lock to the file now at path, which is to take the locked file's name.
    virtual void alsoHold(const std::string& path) = 0;
};

// The file operations the program needs of the system. Paths are UTF-8 with "/" as the
// separator. Every failure throws RunError with the system's error number and text, unless
// the operation says otherwise.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True only when the file can be opened for reading and closed again; false on any
    // failure (missing, a folder, no permission). Reports nothing, changes nothing.
    [[nodiscard]] virtual bool canOpenForReading(const std::string& path) noexcept = 0;
    // True when anything at all has that name (a file, a folder, a dangling link).
    [[nodiscard]] virtual bool exists(const std::string& path) noexcept = 0;

    // All bytes of a regular file.
    [[nodiscard]] virtual std::string readAll(const std::string& path) = 0;
    // A regular file to read piece by piece.
    [[nodiscard]] virtual std::unique_ptr<FileReader> openRead(const std::string& path) = 0;
    // The size in bytes of a regular file.
    [[nodiscard]] virtual std::uint64_t size(const std::string& path) = 0;
    // The size of a file that can be opened for reading and writing; throws when it cannot
    // (read-only, locked, no permission).
    [[nodiscard]] virtual std::uint64_t sizeOpenForReadWrite(const std::string& path) = 0;
    // Bytes free for this user in the folder of path, where a file beside it would go; path
    // itself need not exist.
    [[nodiscard]] virtual std::uint64_t freeSpace(const std::string& path) = 0;

    // Copies from to a new file to, which must not exist yet (EEXIST otherwise). The copy
    // gets the permission bits of from and is flushed to disk, with its folder entry,
    // before this returns.
    virtual void copyToNew(const std::string& from, const std::string& to) = 0;
    // Replaces the content of to with the content of from, byte for byte, in place (to
    // keeps its identity and permissions), flushed to disk before this returns.
    virtual void copyOver(const std::string& from, const std::string& to) = 0;

    // Opens an existing file for writing and empties it.
    [[nodiscard]] virtual std::unique_ptr<FileWriter> openTruncated(const std::string& path) = 0;

    // What openRewrite does with the old content.
    enum class Rewrite {
        Empty,     // emptied at once
        Overwrite, // kept until written over, so that a reader opened before can stay ahead
    };
    // Opens an existing file (the same one: it keeps its identity and permissions) for one
    // long stream of new content from its start. Bytes are gathered into large pieces that
    // reach the file later, so a failure may be thrown by a later write, sync or close.
    // sync and close end the file where the writing ends.
    [[nodiscard]] virtual std::unique_ptr<FileWriter> openRewrite(const std::string& path,
                                                                  Rewrite how) = 0;
    // Opens a file for appending at its end, creating it when createIfMissing.
    [[nodiscard]] virtual std::unique_ptr<FileWriter> openAppend(const std::string& path,
                                                                 bool createIfMissing) = 0;
    // Creates a new file that must not exist yet (EEXIST otherwise), open for writing.
    [[nodiscard]] virtual std::unique_ptr<FileWriter> createNew(const std::string& path) = 0;

    virtual void remove(const std::string& path) = 0;
    // Gives the file at from the name to, replacing what had that name, in one step.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Makes the changes to the names in path's folder durable.
    virtual void syncFolder(const std::string& path) = 0;

    // ---- replacing a file whole, for runs that must never lose it ----

    // What the file at path (followed through symbolic links) is now.
    [[nodiscard]] virtual FileIdentity identify(const std::string& path) = 0;
    // Why this user may not rewrite the file at path and put a file beside it;
    // RewriteRefusal::None when nothing stands in the way.
    [[nodiscard]] virtual RewriteRefusal rewriteRefusal(const std::string& path) = 0;
    // Takes the lock that one run on the file at path holds from before it reads the file
    // until it ends; every run on the file, by any name, of any user, honours it. Absent
    // while another run holds it.
    [[nodiscard]] virtual std::unique_ptr<RunLock> lockForRun(const std::string& path) = 0;
    // True where the file can be replaced whole without losing anything about it: a
    // regular file with one link, owned by this user and one of their groups, without
    // extended attributes, on a file system that has hard links and exchanges names.
    [[nodiscard]] virtual bool canExchange(const std::string& path) = 0;
    // Gives the file at from the further name to, which must not exist yet (EEXIST
    // otherwise), flushed to disk with its folder entry.
    virtual void link(const std::string& from, const std::string& to) = 0;
    // Creates a new file at path, which must not exist yet (EEXIST otherwise), with the
    // permission bits and group of the file at like, for one long stream of new content as
    // openRewrite gives.
    [[nodiscard]] virtual std::unique_ptr<FileWriter> createLike(const std::string& path,
                                                                 const std::string& like) = 0;
    // Swaps the files named a and b, in one step.
    virtual void exchange(const std::string& a, const std::string& b) = 0;

    // Creates a folder that only its owner may use (0700); one that already exists is no
    // error and is left as it is.
    virtual void createDirectory(const std::string& path) = 0;
    // Takes every permission away from the group and others: the program's folder and log
    // say what the user has been working on.
    virtual void restrictToOwner(const std::string& path) = 0;
};

// The ways PosixFileSystem may move large amounts of data, each used only where the file
// system supports it: all of them give the same bytes.
struct TransferWays {
    bool directIo = true;   // writes that bypass the page cache (O_DIRECT)
    bool kernelCopy = true; // copies made by the kernel (copy_file_range)
    bool exchange = true;   // files replaced whole by exchanging names, the original kept by a link
};

// The system's own file system.
class PosixFileSystem : public FileSystem {
public:
    explicit PosixFileSystem(TransferWays ways = {}) noexcept : ways_(ways) {}
    bool canOpenForReading(const std::string& path) noexcept override;
    bool exists(const std::string& path) noexcept override;
    std::string readAll(const std::string& path) override;
    std::unique_ptr<FileReader> openRead(const std::string& path) override;
    std::uint64_t size(const std::string& path) override;
    std::uint64_t sizeOpenForReadWrite(const std::string& path) override;
    std::uint64_t freeSpace(const std::string& path) override;
    void copyToNew(const std::string& from, const std::string& to) override;
    void copyOver(const std::string& from, const std::string& to) override;
    std::unique_ptr<FileWriter> openTruncated(const std::string& path) override;
    std::unique_ptr<FileWriter> openRewrite(const std::string& path, Rewrite how) override;
    std::unique_ptr<FileWriter> openAppend(const std::string& path, bool createIfMissing) override;
    std::unique_ptr<FileWriter> createNew(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void syncFolder(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    void restrictToOwner(const std::string& path) override;
    FileIdentity identify(const std::string& path) override;
    RewriteRefusal rewriteRefusal(const std::string& path) override;
    std::unique_ptr<RunLock> lockForRun(const std::string& path) override;
    bool canExchange(const std::string& path) override;
    void link(const std::string& from, const std::string& to) override;
    std::unique_ptr<FileWriter> createLike(const std::string& path,
                                           const std::string& like) override;
    void exchange(const std::string& a, const std::string& b) override;

private:
    // Whether the volume with this device number, which holds path, has hard links and
    // exchanges names; each volume is tried once.
    bool volumeExchanges(std::uint64_t device, const std::string& path);

    TransferWays ways_;
    std::mutex volumesMutex_;
    std::map<std::uint64_t, bool> volumes_;
};

// The folder part of a path: "" for a bare name, "/" for a name in the root.
[[nodiscard]] std::string folderOf(const std::string& path);

// A hidden name beside path for a file of the program's own: ".NAME" followed by suffix,
// with a name too long for that shortened and told apart by a hash of the whole.
[[nodiscard]] std::string hiddenBeside(const std::string& path, std::string_view suffix);

} // namespace vornal
