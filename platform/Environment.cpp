#include "platform/Environment.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace vornal {

std::optional<std::string> SystemEnvironment::variable(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string absolutePathVariable(const Environment& environment, const std::string& name,
                                 const std::string& fallback) {
    const std::optional<std::string> value = environment.variable(name);
    if (value && !value->empty() && value->front() == '/') {
        return *value;
    }
    return fallback;
}

std::string homeFolder(const Environment& environment) {
    const std::optional<std::string> home = environment.variable("HOME");
    if (home && !home->empty()) {
        return *home;
    }
    // A service or a bare sudo may run without HOME; the account still has a home.
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

} // namespace vornal
