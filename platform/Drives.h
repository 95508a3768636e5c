#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vornal {

// A place the drive list offers: the folder a volume is mounted on (or the home folder),
// and its label when it has one.
struct Drive {
    std::string root;
    std::string label;
    bool operator==(const Drive&) const = default;
};

// A mounted file system as the system reports it.
struct Mount {
    std::string root;
    std::string type;
    std::string label;
};

// The places a user works with, in the order the drive list shows them: the root, the
// home folder, then volumes mounted under /media, /run/media and /mnt (removable media and
// the user's own mounts), without pseudo file systems.
[[nodiscard]] std::vector<Drive> userDrives(const std::vector<Mount>& mounts,
                                            const std::string& home);

// The entry text of a drive: its root, and its label in brackets when it has one
// ("/media/anna/CARD [CARD]").
[[nodiscard]] std::string driveEntryText(const Drive& drive);

// The drive whose root holds folder: the one with the longest such root.
[[nodiscard]] std::optional<std::size_t> driveOfFolder(const std::vector<Drive>& drives,
                                                       const std::string& folder);

// Where the drive list gets its entries.
class DriveSource {
public:
    virtual ~DriveSource() = default;
    [[nodiscard]] virtual std::vector<Drive> drives() = 0;
};

} // namespace vornal
