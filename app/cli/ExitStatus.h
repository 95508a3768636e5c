#pragma once

#include "operations/FileRun.h"

namespace vornal::cli {

// Exit statuses of vornal-cli, one for each kind of end a script may want to tell apart.
enum Exit : int {
    kSuccess = 0,
    kFailed = 1,        // any failure without a status of its own
    kUsage = 2,         // bad invocation, a key that cannot be read, input not valid UTF-8
    kWrongKey = 3,      // the key does not open the file or text
    kForeign = 4,       // not encrypted, already encrypted, damaged, or not a ciphertext
    kNotFound = 5,      // no file of that name, or it cannot be read
    kNoRoom = 6,        // not enough room on the disk
    kInterrupted = 130, // stopped by Ctrl-C (or SIGTERM), as shells tell a SIGINT
};

// The exit status for how a run on a file ended.
[[nodiscard]] int exitStatus(const FileOutcome& outcome) noexcept;

} // namespace vornal::cli
