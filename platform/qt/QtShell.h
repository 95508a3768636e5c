#pragma once

#include "platform/Shell.h"

namespace vornal {

// Opens documents through the desktop's default handlers (QDesktopServices).
class QtShell : public Shell {
public:
    bool openDocument(const std::string& path) override;
};

} // namespace vornal
