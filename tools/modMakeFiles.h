#pragma once

#include "platform/FileSystem.h"

#include <string>

namespace vornal::modMakeFiles {

// The text of readme.txt and of about.txt as written: lines ended by CR LF, and one more
// CR LF after the last, in Windows-1252.
[[nodiscard]] std::string readmeText();
[[nodiscard]] std::string aboutText();

// Writes <programFolder>/text/readme.txt (and about.txt), replacing any file of that name.
// Throws RunError when it cannot.
void WriteReadmeFile(FileSystem& files, const std::string& programFolder);
void WriteAboutFile(FileSystem& files, const std::string& programFolder);

} // namespace vornal::modMakeFiles
