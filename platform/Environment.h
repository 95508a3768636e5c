#pragma once

#include <optional>
#include <string>

namespace vornal {

// The process environment's variables, behind a seam so that lookups driven by them (the
// browser, the desktop's data folders, the temporary folder) can be tested.
class Environment {
public:
    virtual ~Environment() = default;
    // The variable's value; absent when it is not set.
    [[nodiscard]] virtual std::optional<std::string> variable(const std::string& name) const = 0;
};

// The variables of this process.
class SystemEnvironment : public Environment {
public:
    std::optional<std::string> variable(const std::string& name) const override;
};

// The value of name when it is set to an absolute path, otherwise fallback. The XDG rules
// and POSIX both say a relative value of such a variable is to be ignored.
[[nodiscard]] std::string absolutePathVariable(const Environment& environment,
                                               const std::string& name,
                                               const std::string& fallback);

// $HOME, or the account's home folder when HOME is not set; "" when neither is known.
[[nodiscard]] std::string homeFolder(const Environment& environment);

} // namespace vornal
