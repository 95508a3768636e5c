#pragma once

#include "platform/FileSystem.h"

#include <string>

namespace vornal {

// UTF-16 path text as the file system takes it.
[[nodiscard]] std::string pathFromText(const std::u16string& text);

// The file a typed path text means: the text as typed when something has that name (a file
// may end in a blank), else the text without the blanks around it.
[[nodiscard]] std::u16string typedPath(FileSystem& files, const std::u16string& text);

} // namespace vornal
