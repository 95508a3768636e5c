#pragma once

#include <string>

namespace vornal {

// The program's own folder for its log, information files and state: $VORNAL_HOME when
// set, otherwise $XDG_DATA_HOME/vornal-encryption, otherwise
// $HOME/.local/share/vornal-encryption. No separator at the end.
[[nodiscard]] std::string programFolder();

// <program folder>/log/log.html, the one spelling used for the folder and the log.
[[nodiscard]] std::string logFolder();
[[nodiscard]] std::string logPath();

class FileSystem;

// Creates folder and every missing folder above it, new ones for the owner only, and takes
// every permission of the group and others away from folder itself, which may exist
// already.
void makePrivateFolder(FileSystem& files, const std::string& folder);

// <program folder>/runs: the records of runs under way.
[[nodiscard]] std::string journalFolder(const std::string& programFolder);

} // namespace vornal
