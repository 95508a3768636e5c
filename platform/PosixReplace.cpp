// Replacing a file whole: its identity, what stands in the way of rewriting it, and the
// links, new files and exchanged names that let a new file take its place with the original
// kept until the end.
#include "platform/FileSystem.h"
#include "platform/PosixIo.h"
#include "platform/RunError.h"
#include "platform/StreamWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vornal {

using namespace posix;

namespace {

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

bool hasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Removes a scratch file of the volume test; one that stays behind holds nothing.
void removeQuietly(const std::string& path) noexcept {
    (void)::unlink(path.c_str());
}

} // namespace

FileIdentity PosixFileSystem::identify(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throwErrno();
    }
    return identityOf(st);
}

RewriteRefusal PosixFileSystem::rewriteRefusal(const std::string& path) {
    struct stat st {};
    Fd fd = openRegular(path, O_RDONLY, st);
    struct statvfs vfs {};
    if (::fstatvfs(fd.get(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0) {
        return RewriteRefusal::ReadOnlyVolume;
    }
    int flags = 0;
    // File systems without such flags answer ENOTTY or EOPNOTSUPP: nothing is marked.
    if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0) {
        if ((flags & FS_IMMUTABLE_FL) != 0) {
            return RewriteRefusal::Immutable;
        }
        if ((flags & FS_APPEND_FL) != 0) {
            return RewriteRefusal::AppendOnly;
        }
    }
    // Root may write anything, but a file without a single write bit is read-only by its
    // owner's choice, which a run must not override.
    if (!hasWriteBit(st)) {
        return RewriteRefusal::ReadOnly;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno == EROFS ? RewriteRefusal::ReadOnlyVolume : RewriteRefusal::NoPermission;
    }
    // The backup and the new file go beside it, and names there change.
    if (::faccessat(AT_FDCWD, folderOrCurrent(path).c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return RewriteRefusal::FolderNotWritable;
    }
    fd.close();
    return RewriteRefusal::None;
}

bool PosixFileSystem::canExchange(const std::string& path) {
    if (!ways_.exchange) {
        return false;
    }
    const Fd file = openOrNot(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!file.isOpen()) {
        return false;
    }
    struct stat st {};
    // A file with other links, another owner, or attributes a new file would not get keeps
    // its identity: it is copied and written over instead.
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != ::geteuid() || !isOwnGroup(st.st_gid) ||
        ::flistxattr(file.get(), nullptr, 0) != 0) {
        return false;
    }
    return volumeExchanges(static_cast<std::uint64_t>(st.st_dev), path);
}

bool PosixFileSystem::volumeExchanges(std::uint64_t device, const std::string& path) {
    std::lock_guard lock(volumesMutex_);
    if (const auto known = volumes_.find(device); known != volumes_.end()) {
        return known->second;
    }
    // Two empty files of our own, linked and exchanged: what the volume refuses here it
    // would refuse with the user's file, after all the new content was written.
    const std::vector<std::string> names = probeNamesBeside(path);
    const std::string& a = names[0];
    const std::string& b = names[1];
    const std::string& c = names[2];
    Fd created = openOrNot(a, O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (!created.isOpen()) {
        return false; // not remembered: another folder of the volume may allow it
    }
    created.closeQuietly();
    bool works = false;
    Fd other = openOrNot(b, O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (other.isOpen()) {
        other.closeQuietly();
        works = ::link(a.c_str(), c.c_str()) == 0 &&
                ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
    }
    for (const std::string& scratch : names) {
        removeQuietly(scratch);
    }
    volumes_[device] = works;
    return works;
}

void PosixFileSystem::link(const std::string& from, const std::string& to) {
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        throwErrno();
    }
    syncFolderOf(to);
}

std::unique_ptr<FileWriter> PosixFileSystem::createLike(const std::string& path,
                                                        const std::string& like) {
    struct stat st {};
    if (::stat(like.c_str(), &st) != 0) {
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
    const bool direct = ways_.directIo && startDirect(fd.get());
    return std::make_unique<StreamWriter>(std::move(fd), direct);
}

void PosixFileSystem::exchange(const std::string& a, const std::string& b) {
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0) {
        throwErrno();
    }
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        throwErrno();
    }
}

void PosixFileSystem::syncFolder(const std::string& path) {
    syncFolderOf(path);
}

} // namespace vornal
