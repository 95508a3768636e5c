#include "platform/ScratchFile.h"

#include "platform/RunError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vornal {

std::string temporaryFolder(const Environment& environment) {
    std::string folder = absolutePathVariable(environment, "TMPDIR", "/tmp");
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

ScratchFile::ScratchFile(const Environment& environment, const std::string& prefix,
                         const std::string& suffix, std::string_view content) {
    std::string name = temporaryFolder(environment);
    if (name != "/") {
        name += '/';
    }
    name += prefix + "XXXXXX" + suffix;
    // mkostemps creates the file with O_EXCL and mode 0600.
    const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) {
        throw RunError::fromErrno(errno);
    }
    std::size_t written = 0;
    int err = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(name.c_str());
        throw RunError::fromErrno(err);
    }
    path_ = std::move(name);
}

ScratchFile::~ScratchFile() {
    ::unlink(path_.c_str());
}

} // namespace vornal
