// Where the help page is and how a browser is given it: nothing of the window, so that the
// command line can name the page too.
#include "tools/Help.h"

#include <filesystem>
#include <vector>

#ifndef VORNAL_HELP_RELATIVE
#error "VORNAL_HELP_RELATIVE names the installed help folder relative to the programs' folder"
#endif

namespace vornal {

namespace {

std::string absolutePath(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return (ec ? path : full).lexically_normal().string();
}

} // namespace

std::optional<std::string> helpPagePath(const Environment& environment, FileSystem& files,
                                        const std::string& executable) {
    std::vector<std::filesystem::path> folders;
    if (!executable.empty()) {
        folders.push_back(std::filesystem::path(executable).parent_path() / VORNAL_HELP_RELATIVE);
    }
    const std::optional<std::string> configured = environment.variable("VORNAL_HELP_DIR");
    if (configured && !configured->empty()) {
        folders.emplace_back(*configured);
    }
    for (const std::filesystem::path& folder : folders) {
        const std::string page = absolutePath(folder / "index.html");
        if (files.canOpenForReading(page)) {
            return page;
        }
    }
    return std::nullopt;
}

std::string fileUrl(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            url += ch;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return url;
}

} // namespace vornal
