#pragma once

#include "window/Operations.h"

#include <memory>
#include <string>

namespace vornal {

// Messages of our own for files a run will not touch.
inline constexpr const char16_t* kReadOnlyVolumeMessage =
    u"The file is on a read-only disk and cannot be changed.";
inline constexpr const char16_t* kImmutableMessage =
    u"The file is marked as unchangeable and cannot be rewritten.";
inline constexpr const char16_t* kAppendOnlyMessage =
    u"The file is marked as append-only and cannot be rewritten.";
inline constexpr const char16_t* kReadOnlyMessage = u"The file is read-only.";
inline constexpr const char16_t* kNoPermissionMessage =
    u"You do not have permission to change this file.";
inline constexpr const char16_t* kFolderNotWritableMessage =
    u"You do not have permission to create files in the folder of this file.";
inline constexpr const char16_t* kBusyMessage =
    u"The file is being processed by another run of Vornal Encryption.";
inline constexpr const char16_t* kInterruptedMessage =
    u"An earlier run on this file was interrupted. Put the original file back before "
    u"processing it again.";

// What a run holds from before it reads its file until it ends.
struct RunClaim {
    std::unique_ptr<RunLock> lock;
    FileIdentity asRead;  // the file just before it was read
    bool refused = false; // the run was refused and the file left alone
};

// Before a run reads the file at path: refuses a file that cannot be rewritten, takes the
// file's lock, and refuses a file that an interrupted run left to be put back. Answers
// false, having told the user and touched nothing, when the run must not go on.
[[nodiscard]] bool claimFile(OperationContext& ctx, const std::string& path, RunClaim& claim);

// The message that names why a file cannot be rewritten.
[[nodiscard]] const char16_t* refusalMessage(RewriteRefusal why) noexcept;

} // namespace vornal
