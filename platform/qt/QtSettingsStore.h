#pragma once

#include "platform/SettingsStore.h"

namespace vornal {

// The settings store in QSettings' user scope, one INI file per application
// (~/.config/<application>.ini), a section per group.
class QtSettingsStore : public SettingsStore {
public:
    std::string read(const std::string& application, const std::string& section,
                     const std::string& key) override;
    void write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override;
};

} // namespace vornal
