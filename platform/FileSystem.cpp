#include "platform/FileSystem.h"

#include "platform/RunError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vornal {

static_assert(sizeof(off_t) == 8, "files over 4 GiB need a 64-bit off_t");

namespace {

// Large enough that copying a big file costs few system calls.
constexpr std::size_t copyBufferSize = 1 << 20;

[[noreturn]] void throwError(int err) {
    throw RunError::fromErrno(err);
}
[[noreturn]] void throwErrno() {
    throwError(errno);
}

// Owns a descriptor. close() reports errors; closeQuietly() and the destructor are for paths
// where an error is already on its way and must not be replaced by a second one.
class Fd {
public:
    explicit Fd(int fd) noexcept : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { closeQuietly(); }

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool isOpen() const noexcept { return fd_ >= 0; }

    void close() {
        // Not retried on EINTR: Linux has released the descriptor whatever close returns.
        if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0) {
            throwErrno();
        }
    }

    void closeQuietly() noexcept {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
    }

private:
    int fd_;
};

Fd openOrThrow(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throwErrno();
    }
    return Fd(fd);
}

struct stat statOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throwErrno();
    }
    return st;
}

void requireRegular(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        throwError(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        throwError(EINVAL);
    }
}

// Opens a regular file. O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again
// once the file is known to be regular.
Fd openRegular(const std::string& path, int flags, struct stat& st) {
    Fd fd = openOrThrow(path, flags | O_NONBLOCK);
    st = statOf(fd.get());
    requireRegular(st);
    const int current = ::fcntl(fd.get(), F_GETFL);
    if (current < 0 || ::fcntl(fd.get(), F_SETFL, current & ~O_NONBLOCK) != 0) {
        throwErrno();
    }
    return fd;
}

void writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno();
        }
        if (n == 0) {
            // No progress and no error: retrying would spin, and the bytes are not on disk.
            throwError(ENOSPC);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Reads up to size bytes; 0 only at the end of the file.
std::size_t readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            throwErrno();
        }
    }
}

void copyBytes(int from, int to) {
    std::vector<char> buffer(copyBufferSize);
    for (;;) {
        const std::size_t n = readSome(from, buffer.data(), buffer.size());
        if (n == 0) {
            return;
        }
        writeAll(to, std::string_view(buffer.data(), n));
    }
}

void syncOrThrow(int fd) {
    if (::fsync(fd) != 0) {
        throwErrno();
    }
}

std::string folderOrCurrent(const std::string& path) {
    std::string folder = folderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

// Makes a new folder entry durable. Some file systems cannot sync a folder at all and say so
// with EINVAL; refusing there would make every backup on them impossible.
void syncFolderOf(const std::string& path) {
    Fd fd = openOrThrow(folderOrCurrent(path), O_RDONLY | O_DIRECTORY);
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        throwErrno();
    }
    fd.close();
}

class PosixFileWriter : public FileWriter {
public:
    explicit PosixFileWriter(Fd fd) noexcept : fd_(std::move(fd)) {}

    void write(std::string_view bytes) override {
        requireOpen();
        writeAll(fd_.get(), bytes);
    }

    void sync() override {
        requireOpen();
        syncOrThrow(fd_.get());
    }

    void close() override { fd_.close(); }

private:
    void requireOpen() const {
        if (!fd_.isOpen()) {
            throwError(EBADF);
        }
    }

    Fd fd_;
};

// ---- long streams ----

// Writes that bypass the page cache need their buffer, offset and length aligned; a page
// suits every disk.
constexpr std::size_t kDirectAlign = 4096;
// Large enough that the disk streams at full speed, few enough that memory stays small.
constexpr std::size_t kStreamPiece = 4 << 20;
constexpr std::size_t kStreamPieces = 3; // one being filled, the others on their way out

struct FreeAligned {
    void operator()(char* p) const noexcept { std::free(p); }
};
using AlignedBuffer = std::unique_ptr<char, FreeAligned>;

AlignedBuffer alignedBuffer(std::size_t size) {
    auto* p = static_cast<char*>(std::aligned_alloc(kDirectAlign, size));
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return AlignedBuffer(p);
}

bool setDirect(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

// Gathers a long stream into large pieces and writes them from a thread of its own while
// the next piece fills. Where the file system allows, the pieces bypass the page cache: a
// stream that must be flushed anyway then costs one pass to the disk instead of a copy
// into fresh cache pages and a write-back.
class StreamWriter : public FileWriter {
public:
    // direct: fd already bypasses the page cache. newEntry: the path of a file just created,
    // whose folder entry sync makes durable too.
    StreamWriter(Fd fd, bool direct, std::string newEntry = {})
        : fd_(std::move(fd)), direct_(direct), newEntry_(std::move(newEntry)) {
        for (std::size_t i = 0; i < kStreamPieces; ++i) {
            buffers_.push_back(alignedBuffer(kStreamPiece));
            free_.push_back(buffers_.back().get());
        }
        current_ = free_.back();
        free_.pop_back();
        io_ = std::thread([this] { run(); });
    }
    ~StreamWriter() override { stop(); }
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    void write(std::string_view bytes) override {
        requireOpen();
        while (!bytes.empty()) {
            const std::size_t n = std::min(bytes.size(), kStreamPiece - fill_);
            std::memcpy(current_ + fill_, bytes.data(), n);
            fill_ += n;
            bytes.remove_prefix(n);
            if (fill_ == kStreamPiece) {
                passOn();
            }
        }
    }

    // Reads from fd straight into the piece being filled; 0 at the end of its file.
    std::size_t readFrom(int fd) {
        requireOpen();
        const std::size_t n = readSome(fd, current_ + fill_, kStreamPiece - fill_);
        fill_ += n;
        if (fill_ == kStreamPiece) {
            passOn();
        }
        return n;
    }

    void sync() override {
        settle();
        syncOrThrow(fd_.get());
        if (!newEntry_.empty()) {
            syncFolderOf(newEntry_);
        }
    }

    void close() override {
        if (!fd_.isOpen()) {
            return;
        }
        settle();
        stop();
        fd_.close();
    }

private:
    struct Piece {
        char* data;
        std::uint64_t offset;
    };

    void requireOpen() const {
        if (!fd_.isOpen()) {
            throwError(EBADF);
        }
        if (const int err = error_.load()) {
            throwError(err);
        }
    }

    // Writes all that was handed over and ends the file there.
    void settle() {
        requireOpen();
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return pieces_.empty() && !busy_; });
        lock.unlock();
        requireOpen();
        // The piece being filled stays here to be continued; writing it again later from
        // its start only repeats the same bytes.
        if (const int err = put(current_, base_, fill_)) {
            error_ = err;
            throwError(err);
        }
        if (::ftruncate(fd_.get(), static_cast<off_t>(base_ + fill_)) != 0) {
            throwErrno();
        }
    }

    void passOn() {
        std::unique_lock lock(mutex_);
        pieces_.push_back({current_, base_});
        wake_.notify_one();
        base_ += kStreamPiece;
        fill_ = 0;
        done_.wait(lock, [this] { return !free_.empty(); });
        current_ = free_.back();
        free_.pop_back();
        lock.unlock();
        requireOpen();
    }

    void run() {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait(lock, [this] { return stopping_ || !pieces_.empty(); });
            if (stopping_) {
                return;
            }
            const Piece piece = pieces_.front();
            pieces_.pop_front();
            busy_ = true;
            lock.unlock();
            // After a failure nothing more is written: the caller hears of it and stops.
            int err = error_.load() != 0 ? 0 : put(piece.data, piece.offset, kStreamPiece);
            if (err == 0 && !direct_) {
                // Through the page cache: start its way to the disk now, so that the flush at
                // the end finds little left to do.
                if (::sync_file_range(fd_.get(), static_cast<off_t>(piece.offset),
                                      static_cast<off_t>(kStreamPiece),
                                      SYNC_FILE_RANGE_WRITE) != 0 &&
                    errno != ENOSYS && errno != EINVAL) {
                    err = errno;
                }
            }
            lock.lock();
            if (err != 0 && error_.load() == 0) {
                error_ = err;
            }
            free_.push_back(piece.data);
            busy_ = false;
            done_.notify_all();
        }
    }

    void stop() noexcept {
        if (!io_.joinable()) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        io_.join();
    }

    // Writes size bytes at offset; answers the error number, 0 on success. Called by one
    // thread at a time. The unaligned end goes through the page cache.
    int put(const char* data, std::uint64_t offset, std::size_t size) {
        while (size > 0) {
            std::size_t n = size;
            if (direct_) {
                n = size / kDirectAlign * kDirectAlign;
                if (n == 0) {
                    if (!setDirect(fd_.get(), false)) {
                        return errno;
                    }
                    const int err = putBuffered(data, offset, size);
                    if (!setDirect(fd_.get(), true)) {
                        direct_ = false; // a file system that said yes once and no now
                    }
                    return err;
                }
            }
            const ssize_t written = ::pwrite(fd_.get(), data, n, static_cast<off_t>(offset));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EINVAL && direct_) {
                    // Accepted at open, refused on writing: go on through the page cache.
                    direct_ = false;
                    if (!setDirect(fd_.get(), false)) {
                        return errno;
                    }
                    continue;
                }
                return errno;
            }
            if (written == 0) {
                return ENOSPC;
            }
            data += written;
            offset += static_cast<std::uint64_t>(written);
            size -= static_cast<std::size_t>(written);
            if (direct_ && static_cast<std::size_t>(written) % kDirectAlign != 0) {
                // A short write left the rest unaligned.
                direct_ = false;
                if (!setDirect(fd_.get(), false)) {
                    return errno;
                }
            }
        }
        return 0;
    }

    int putBuffered(const char* data, std::uint64_t offset, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::pwrite(fd_.get(), data, size, static_cast<off_t>(offset));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (written == 0) {
                return ENOSPC;
            }
            data += written;
            offset += static_cast<std::uint64_t>(written);
            size -= static_cast<std::size_t>(written);
        }
        return 0;
    }

    Fd fd_;
    bool direct_;
    std::string newEntry_;
    std::vector<AlignedBuffer> buffers_;
    char* current_ = nullptr;
    std::size_t fill_ = 0;   // bytes in current_
    std::uint64_t base_ = 0; // where current_ goes in the file
    std::atomic<int> error_{0};

    std::mutex mutex_;
    std::condition_variable wake_; // a piece to write, or stop
    std::condition_variable done_; // a piece written
    std::deque<Piece> pieces_;
    std::vector<char*> free_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread io_;
};

// Copies with copy_file_range. Answers false, having copied nothing, where the kernel
// cannot copy between these files (other file systems, an old kernel, a file system that
// does not offer it).
bool kernelCopy(int from, int to) {
    bool copied = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n > 0) {
            copied = true;
            continue;
        }
        if (n == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (!copied &&
            (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            return false;
        }
        throwErrno();
    }
}

bool isOwnGroup(gid_t gid) {
    if (gid == ::getegid()) {
        return true;
    }
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

std::unique_ptr<FileWriter> writerFor(const std::string& path, int flags, mode_t mode = 0) {
    return std::make_unique<PosixFileWriter>(openOrThrow(path, flags, mode));
}

} // namespace

bool FileSystem::moveAside(const std::string& /*from*/, const std::string& /*to*/) {
    return false;
}

std::unique_ptr<FileWriter> FileSystem::openReplacement(const std::string& /*path*/,
                                                        const std::string& /*original*/) {
    throwError(ENOSYS); // only ever asked for after moveAside said yes
}

bool PosixFileSystem::canOpenForReading(const std::string& path) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool closed = ::close(fd) == 0;
    return regular && closed;
}

bool PosixFileSystem::exists(const std::string& path) noexcept {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string PosixFileSystem::readAll(const std::string& path) {
    struct stat st {};
    Fd fd = openRegular(path, O_RDONLY, st);
    // The size is a hint only: the file may grow while it is read, and those of /proc
    // report 0. One byte more than the size lets the end show without a reallocation.
    std::string bytes(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const std::size_t n = readSome(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n == 0) {
            break;
        }
        used += n;
    }
    bytes.resize(used);
    fd.close();
    return bytes;
}

namespace {

class PosixReader : public FileReader {
public:
    explicit PosixReader(Fd fd) : fd_(std::move(fd)) {
        // The whole file is read once, front to back.
        ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    std::size_t read(char* buffer, std::size_t size) override {
        return readSome(fd_.get(), buffer, size);
    }

private:
    Fd fd_;
};

} // namespace

std::unique_ptr<FileReader> PosixFileSystem::openRead(const std::string& path) {
    struct stat st {};
    return std::make_unique<PosixReader>(openRegular(path, O_RDONLY, st));
}

std::uint64_t PosixFileSystem::size(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throwErrno();
    }
    requireRegular(st);
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t PosixFileSystem::sizeOpenForReadWrite(const std::string& path) {
    struct stat st {};
    Fd fd = openRegular(path, O_RDWR, st);
    fd.close();
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t PosixFileSystem::freeSpace(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(folderOrCurrent(path).c_str(), &vfs) != 0) {
        throwErrno();
    }
    return static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
}

void PosixFileSystem::copyToNew(const std::string& from, const std::string& to) {
    struct stat st {};
    Fd source = openRegular(from, O_RDONLY, st);
    const mode_t permissions = st.st_mode & 07777;

    // Created no more open than the source. The umask may have taken bits away, which fchmod
    // gives back, so that the backup of a private file is exactly as private.
    Fd target = openOrThrow(to, O_CREAT | O_EXCL | O_WRONLY, permissions & 0777);
    try {
        if ((statOf(target.get()).st_mode & 07777) != permissions &&
            ::fchmod(target.get(), permissions) != 0) {
            throwErrno();
        }
        // The backup is flushed before this returns: written past the page cache it goes to
        // the disk once, without filling memory with pages that only wait to be written.
        if (ways_.directIo && setDirect(target.get(), true)) {
            StreamWriter out(std::move(target), true);
            while (out.readFrom(source.get()) > 0) {
            }
            out.sync();
            out.close();
        } else {
            if (!ways_.kernelCopy || !kernelCopy(source.get(), target.get())) {
                copyBytes(source.get(), target.get());
            }
            syncOrThrow(target.get());
            target.close();
        }
        syncFolderOf(to);
    } catch (...) {
        // A partial copy must never pass for a backup.
        target.closeQuietly();
        ::unlink(to.c_str());
        throw;
    }
    source.close();
}

void PosixFileSystem::copyOver(const std::string& from, const std::string& to) {
    struct stat source_st {};
    Fd source = openRegular(from, O_RDONLY, source_st);
    // Emptied only once it is known not to be the source itself (the same path, a hard link
    // or a symbolic link): truncating then would destroy the only copy.
    Fd target = openOrThrow(to, O_WRONLY);
    const struct stat target_st = statOf(target.get());
    if (target_st.st_dev == source_st.st_dev && target_st.st_ino == source_st.st_ino) {
        throwError(EINVAL);
    }
    if (S_ISREG(target_st.st_mode) && ::ftruncate(target.get(), 0) != 0) {
        throwErrno();
    }
    copyBytes(source.get(), target.get());
    syncOrThrow(target.get());
    target.close();
    source.close();
}

std::unique_ptr<FileWriter> PosixFileSystem::openTruncated(const std::string& path) {
    return writerFor(path, O_WRONLY | O_TRUNC);
}

std::unique_ptr<FileWriter> PosixFileSystem::openRewrite(const std::string& path, Rewrite how) {
    Fd fd = openOrThrow(path, O_WRONLY | (how == Rewrite::Empty ? O_TRUNC : 0));
    // Written over, the file's pages are in memory already: writing through them costs no
    // fresh pages, and measured faster than bypassing them.
    const bool direct = how == Rewrite::Empty && ways_.directIo && setDirect(fd.get(), true);
    return std::make_unique<StreamWriter>(std::move(fd), direct);
}

bool PosixFileSystem::moveAside(const std::string& from, const std::string& to) {
    if (!ways_.moveAside) {
        return false;
    }
    const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    Fd file(fd);
    struct stat st {};
    // A file with other links, another owner, or attributes a new file would not get keeps
    // its identity: it is copied and written over instead.
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != ::geteuid() || !isOwnGroup(st.st_gid) ||
        ::flistxattr(file.get(), nullptr, 0) != 0) {
        return false;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            throwErrno();
        }
        return false; // a file system without the no-replace rename, or no permission
    }
    try {
        // Renamed, the content is what it was; it must be on the disk before any new
        // content takes the old name.
        syncOrThrow(file.get());
        syncFolderOf(to);
    } catch (...) {
        (void)::renameat2(AT_FDCWD, to.c_str(), AT_FDCWD, from.c_str(), RENAME_NOREPLACE);
        throw;
    }
    file.close();
    return true;
}

std::unique_ptr<FileWriter> PosixFileSystem::openReplacement(const std::string& path,
                                                             const std::string& original) {
    struct stat st {};
    if (::stat(original.c_str(), &st) != 0) {
        throwErrno();
    }
    Fd fd = openOrThrow(path, O_CREAT | O_EXCL | O_WRONLY, 0600);
    try {
        const struct stat created = statOf(fd.get());
        if (created.st_gid != st.st_gid &&
            ::fchown(fd.get(), static_cast<uid_t>(-1), st.st_gid) != 0) {
            throwErrno();
        }
        // After the group: changing it may clear the set-group-ID bit.
        if (::fchmod(fd.get(), st.st_mode & 07777) != 0) {
            throwErrno();
        }
    } catch (...) {
        fd.closeQuietly();
        ::unlink(path.c_str());
        throw;
    }
    const bool direct = ways_.directIo && setDirect(fd.get(), true);
    return std::make_unique<StreamWriter>(std::move(fd), direct, path);
}

std::unique_ptr<FileWriter> PosixFileSystem::openAppend(const std::string& path,
                                                        bool createIfMissing) {
    return writerFor(path, O_WRONLY | O_APPEND | (createIfMissing ? O_CREAT : 0), 0666);
}

std::unique_ptr<FileWriter> PosixFileSystem::createNew(const std::string& path) {
    return writerFor(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
}

void PosixFileSystem::remove(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        throwErrno();
    }
}

void PosixFileSystem::createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        return;
    }
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return;
    }
    throwError(err);
}

void PosixFileSystem::restrictToOwner(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throwErrno();
    }
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), st.st_mode & 07700) != 0) {
        throwErrno();
    }
}

BufferedWriter::BufferedWriter(FileWriter& out, std::size_t capacity)
    : out_(out), capacity_(capacity) {
    buffer_.reserve(capacity_);
}

void BufferedWriter::write(std::string_view bytes) {
    if (bytes.size() > capacity_) {
        // Copying it into the buffer first would only cost time.
        flush();
        out_.write(bytes);
        return;
    }
    if (bytes.size() > capacity_ - buffer_.size()) {
        flush();
    }
    buffer_.append(bytes);
    if (buffer_.size() == capacity_) {
        flush();
    }
}

void BufferedWriter::flush() {
    if (buffer_.empty()) {
        return;
    }
    // Cleared only once written, so that a failed write leaves the bytes where they were.
    out_.write(buffer_);
    buffer_.clear();
}

std::string folderOf(const std::string& path) {
    std::size_t end = path.rfind('/');
    if (end == std::string::npos) {
        return {};
    }
    // "a//b" is in "a", not "a/".
    while (end > 0 && path[end - 1] == '/') {
        --end;
    }
    return end == 0 ? std::string("/") : path.substr(0, end);
}

} // namespace vornal
