#pragma once

#include "platform/Environment.h"

#include <string>
#include <string_view>

namespace vornal {

// $TMPDIR when it is an absolute path, otherwise /tmp. No separator at the end.
[[nodiscard]] std::string temporaryFolder(const Environment& environment);

// A fresh file in the temporary folder that only this user can read, removed again when
// the object goes. Its name is new each time (mkstemps), so nobody can have planted a link
// or a file of their own under it.
class ScratchFile {
public:
    // Creates <temporary folder>/<prefix>XXXXXX<suffix>, mode 0600, holding content.
    // Throws RunError when it cannot.
    ScratchFile(const Environment& environment, const std::string& prefix,
                const std::string& suffix, std::string_view content);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    [[nodiscard]] const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

} // namespace vornal
