#pragma once

#include <string>

namespace vornal {

// The per-user settings store, addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or "" when there is none.
    [[nodiscard]] virtual std::string read(const std::string& application,
                                           const std::string& section, const std::string& key) = 0;
    // Stores value; throws RunError when the store cannot be written.
    virtual void write(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& value) = 0;
};

} // namespace vornal
