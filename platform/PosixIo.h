#pragma once

// The small POSIX helpers the file-system code shares: descriptors that close themselves,
// opening with retries, flushing and errors as RunError. Not for the operations: they go
// through FileSystem.

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vornal::posix {

[[noreturn]] void throwError(int err);
[[noreturn]] void throwErrno();

// Owns a descriptor. close() reports errors; closeQuietly() and the destructor are for paths
// where an error is already on its way and must not be replaced by a second one.
class Fd {
public:
    Fd() noexcept = default;
    explicit Fd(int fd) noexcept : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            closeQuietly();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { closeQuietly(); }

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool isOpen() const noexcept { return fd_ >= 0; }
    void close();
    void closeQuietly() noexcept;

private:
    int fd_ = -1;
};

// open() with O_CLOEXEC and O_NOCTTY added, retried on EINTR; throws on failure.
Fd openOrThrow(const std::string& path, int flags, mode_t mode = 0);
// The same, answering an unopened Fd and leaving errno set instead of throwing.
Fd openOrNot(const std::string& path, int flags, mode_t mode = 0) noexcept;

struct stat statOf(int fd);
void requireRegular(const struct stat& st);
// Opens a regular file; a FIFO does not block the open.
Fd openRegular(const std::string& path, int flags, struct stat& st);

void writeAll(int fd, std::string_view bytes);
// Reads up to size bytes; 0 only at the end of the file.
std::size_t readSome(int fd, char* buffer, std::size_t size);
void syncOrThrow(int fd);

// The folder of path, "." for a bare name.
std::string folderOrCurrent(const std::string& path);
// The last part of a path.
std::string baseName(const std::string& path);
// Makes a change to the folder entries of path's folder durable.
void syncFolderOf(const std::string& path);

// The names of the empty files that try whether path's volume has hard links and exchanges
// names; hidden beside path, so that the next run on path removes any a dead run left.
std::vector<std::string> probeNamesBeside(const std::string& path);

// Turns writes past the page cache on or off; false when the file system refuses.
bool setDirect(int fd, bool on);
// Turns writes past the page cache on where they save anything: on a disk whose file system
// allows them, not in a file system kept in memory, whose files are their cache pages.
bool startDirect(int fd);
// True when this user belongs to the group.
bool isOwnGroup(gid_t gid);

} // namespace vornal::posix
