#include "platform/ProgramFolder.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace vornal {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// $HOME, or the home folder of the account when HOME is missing (a service, a bare
// sudo -i): without it the folder would land in the root folder.
std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        home = found->pw_dir;
    }
    return home;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

std::string programFolder() {
    std::string folder = environment("VORNAL_HOME");
    if (folder.empty()) {
        const std::string data = environment("XDG_DATA_HOME");
        // The XDG rules say a relative XDG_DATA_HOME is invalid and is to be ignored.
        folder = !data.empty() && data.front() == '/'
                     ? join(data, "vornal-encryption")
                     : join(homeFolder(), ".local/share/vornal-encryption");
    }
    if (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string logFolder() {
    return join(programFolder(), "log");
}

std::string journalFolder(const std::string& programFolder) {
    return join(programFolder, "runs");
}

std::string logPath() {
    return logFolder() + "/log.html";
}

void makePrivateFolder(FileSystem& files, const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        files.createDirectory(folder.substr(0, slash));
    }
    files.createDirectory(folder);
    files.restrictToOwner(folder);
}

} // namespace vornal
