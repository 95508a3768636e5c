#include "platform/Drives.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vornal {

namespace {

bool isPseudo(const std::string& type) {
    static constexpr std::array<std::string_view, 24> kPseudo = {
        "proc",    "sysfs",    "devtmpfs",        "devpts",      "tmpfs",
        "ramfs",   "cgroup",   "cgroup2",         "securityfs",  "debugfs",
        "tracefs", "configfs", "fusectl",         "mqueue",      "hugetlbfs",
        "pstore",  "bpf",      "autofs",          "binfmt_misc", "rpc_pipefs",
        "nsfs",    "efivarfs", "fuse.gvfsd-fuse", "fuse.portal"};
    return std::find(kPseudo.begin(), kPseudo.end(), type) != kPseudo.end();
}

// True when folder is root or lies below it.
bool holds(const std::string& root, const std::string& folder) {
    if (root.empty() || folder.compare(0, root.size(), root) != 0) {
        return false;
    }
    return folder.size() == root.size() || root.back() == '/' || folder[root.size()] == '/';
}

bool underMediaFolder(const std::string& root) {
    for (const std::string_view prefix : {"/media/", "/run/media/", "/mnt/"}) {
        if (root.size() > prefix.size() && root.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return root == "/mnt";
}

} // namespace

std::vector<Drive> userDrives(const std::vector<Mount>& mounts, const std::string& home) {
    std::vector<Drive> drives{{"/", ""}};
    std::vector<Drive> media;
    for (const Mount& m : mounts) {
        if (m.root == "/") {
            drives.front().label = m.label;
        } else if (underMediaFolder(m.root) && !isPseudo(m.type) &&
                   std::none_of(media.begin(), media.end(),
                                [&](const Drive& d) { return d.root == m.root; })) {
            media.push_back({m.root, m.label});
        }
    }
    if (!home.empty() && home != "/") {
        drives.push_back({home, "Home"});
    }
    std::sort(media.begin(), media.end(),
              [](const Drive& a, const Drive& b) { return a.root < b.root; });
    drives.insert(drives.end(), media.begin(), media.end());
    return drives;
}

std::string driveEntryText(const Drive& drive) {
    return drive.label.empty() ? drive.root : drive.root + " [" + drive.label + "]";
}

std::optional<std::size_t> driveOfFolder(const std::vector<Drive>& drives,
                                         const std::string& folder) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (holds(drives[i].root, folder) &&
            (!best || drives[i].root.size() > drives[*best].root.size())) {
            best = i;
        }
    }
    return best;
}

} // namespace vornal
