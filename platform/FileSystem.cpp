#include "platform/FileSystem.h"

#include "platform/PosixIo.h"
#include "platform/RunError.h"
#include "platform/StreamWriter.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vornal {

using namespace posix;

static_assert(sizeof(off_t) == 8, "files over 4 GiB need a 64-bit off_t");

namespace {

// Large enough that copying a big file costs few system calls.
constexpr std::size_t copyBufferSize = 1 << 20;

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

std::unique_ptr<FileWriter> writerFor(const std::string& path, int flags, mode_t mode = 0) {
    return std::make_unique<PosixFileWriter>(openOrThrow(path, flags, mode));
}

} // namespace

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
        if (ways_.directIo && startDirect(target.get())) {
            StreamWriter out(std::move(target), true, {}, StreamWriter::Size::AsWritten);
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
    const bool direct = how == Rewrite::Empty && ways_.directIo && startDirect(fd.get());
    return std::make_unique<StreamWriter>(std::move(fd), direct);
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

std::string hiddenBeside(const std::string& path, std::string_view suffix) {
    constexpr std::size_t kNameMax = 255; // the longest name a folder entry may have
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() + 1 + suffix.size() > kNameMax) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a: the same in every build
        for (const unsigned char c : name) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
        name = name.substr(0, 200) + "." + digits;
    }
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." + name +
           std::string(suffix);
}

} // namespace vornal
