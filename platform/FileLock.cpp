// The lock of one run on one file: a hidden lock file beside the file, and the file itself,
// both locked with flock so that a run that dies releases them with its last descriptor.
#include "platform/FileSystem.h"
#include "platform/PosixIo.h"
#include "platform/RunError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vornal {

using namespace posix;

namespace {

bool tryLock(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    if (errno == EWOULDBLOCK || errno == EINTR) {
        return false;
    }
    throwErrno();
}

class PosixRunLock : public RunLock {
public:
    PosixRunLock(std::string lockPath, Fd lockFile) noexcept
        : lockPath_(std::move(lockPath)), lockFile_(std::move(lockFile)) {}
    PosixRunLock(const PosixRunLock&) = delete;
    PosixRunLock& operator=(const PosixRunLock&) = delete;

    ~PosixRunLock() override {
        // Removed while still held: a run that opened it meanwhile finds, once it holds it,
        // that the name no longer leads to it, and starts again with a new lock file.
        (void)::unlink(lockPath_.c_str());
    }

    // Locks the file itself too; false when another run holds it under another name.
    bool holdFile(const std::string& path) {
        Fd file = openOrNot(path, O_RDONLY | O_NONBLOCK);
        if (!file.isOpen()) {
            return errno == ENOENT; // nothing there to lock: a run that never got that far
        }
        if (!tryLock(file.get())) {
            return false;
        }
        held_.push_back(std::move(file));
        return true;
    }

    void alsoHold(const std::string& path) override {
        // A file of our own that nobody else has opened: it cannot be held elsewhere.
        (void)holdFile(path);
    }

private:
    std::string lockPath_;
    Fd lockFile_;
    std::vector<Fd> held_;
};

// Opens the lock file, creating it readable by everyone so that other users' runs can lock
// it too.
Fd openLockFile(const std::string& lockPath) {
    Fd fd = openOrNot(lockPath, O_RDONLY | O_CREAT | O_NOFOLLOW, 0644);
    if (!fd.isOpen() && errno == EACCES) {
        // Another user's lock file in a sticky folder may be opened but not created anew.
        fd = openOrNot(lockPath, O_RDONLY | O_NOFOLLOW);
    }
    if (!fd.isOpen()) {
        throwErrno();
    }
    const struct stat st = statOf(fd.get());
    if (st.st_uid == ::geteuid() && (st.st_mode & 0644) != 0644) {
        (void)::fchmod(fd.get(), 0644); // the umask took the bits away
    }
    return fd;
}

} // namespace

std::unique_ptr<RunLock> PosixFileSystem::lockForRun(const std::string& path) {
    const std::string lockPath = hiddenBeside(path, ".vornal-lock");
    for (int attempt = 0; attempt < 100; ++attempt) {
        Fd fd = openLockFile(lockPath);
        if (!tryLock(fd.get())) {
            return nullptr;
        }
        const struct stat held = statOf(fd.get());
        struct stat named {};
        if (::lstat(lockPath.c_str(), &named) != 0 || named.st_ino != held.st_ino ||
            named.st_dev != held.st_dev) {
            continue; // its last holder removed it meanwhile
        }
        auto lock = std::make_unique<PosixRunLock>(lockPath, std::move(fd));
        if (!lock->holdFile(path)) {
            return nullptr; // another run has it by another name; ours is let go
        }
        // A run that died while it tried the volume left these; none can be in use now.
        for (const std::string& stale : probeNamesBeside(path)) {
            (void)::unlink(stale.c_str());
        }
        return lock;
    }
    throwError(EAGAIN);
}

} // namespace vornal
