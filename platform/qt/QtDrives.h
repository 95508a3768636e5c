#pragma once

#include "platform/Drives.h"

namespace vornal {

// The mounted volumes as QStorageInfo reports them, filtered to those a user works with.
class QtDrives : public DriveSource {
public:
    std::vector<Drive> drives() override;
};

} // namespace vornal
