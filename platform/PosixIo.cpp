#include "platform/PosixIo.h"

#include "platform/FileSystem.h"
#include "platform/RunError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace vornal::posix {

void throwError(int err) {
    throw RunError::fromErrno(err);
}

void throwErrno() {
    throwError(errno);
}

void Fd::close() {
    // Not retried on EINTR: Linux has released the descriptor whatever close returns.
    if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0) {
        throwErrno();
    }
}

void Fd::closeQuietly() noexcept {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
}

Fd openOrNot(const std::string& path, int flags, mode_t mode) noexcept {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

Fd openOrThrow(const std::string& path, int flags, mode_t mode) {
    Fd fd = openOrNot(path, flags, mode);
    if (!fd.isOpen()) {
        throwErrno();
    }
    return fd;
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

// O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again once the file is known
// to be regular.
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

void syncOrThrow(int fd) {
    if (::fsync(fd) != 0) {
        throwErrno();
    }
}

std::string folderOrCurrent(const std::string& path) {
    std::string folder = folderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Some file systems cannot sync a folder at all and say so with EINVAL; refusing there would
// make every backup on them impossible.
void syncFolderOf(const std::string& path) {
    Fd fd = openOrThrow(folderOrCurrent(path), O_RDONLY | O_DIRECTORY);
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        throwErrno();
    }
    fd.close();
}

std::vector<std::string> probeNamesBeside(const std::string& path) {
    const std::string probe = hiddenBeside(path, ".vornal-probe");
    return {probe, probe + "-b", probe + "-c"};
}

bool setDirect(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

bool startDirect(int fd) {
    struct statfs volume {};
    if (::fstatfs(fd, &volume) == 0 &&
        (volume.f_type == TMPFS_MAGIC || volume.f_type == RAMFS_MAGIC)) {
        return false;
    }
    return setDirect(fd, true);
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

} // namespace vornal::posix
