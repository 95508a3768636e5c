#pragma once

#include "operations/FileRun.h"

#include <optional>
#include <string>

namespace vornal {

// The sentences the program has always shown for files it refuses.
inline constexpr const char16_t* kNoPathMessage = u"Please select a filename or enter a filepath.";
inline constexpr const char16_t* kNotFoundMessage = u"Unable to find the file specified.";
inline constexpr const char16_t* kUnreadableMessage =
    u"Unknown error(s) encounted while performing operation.";
inline constexpr const char16_t* kAlreadyEncryptedMessage = u"File Already Encrypted by Vornal";
inline constexpr const char16_t* kNotEncryptedMessage =
    u"File Not Encrypted with Vornal, Cannot Decrypt";
inline constexpr const char16_t* kInvalidPasswordMessage = u"Invalid password";

// Messages of our own where the operations refuse to risk a file.
inline constexpr const char16_t* kNoSpaceMessage =
    u"Not enough free disk space to process this file safely.";
inline constexpr const char16_t* kDamagedMessage =
    u"The encrypted file is damaged and cannot be decrypted.";
inline constexpr const char16_t* kFieldTooLongMessage =
    u"A word in this file is too long to be encrypted.";
inline constexpr const char16_t* kChangedNotProcessedMessage =
    u"The file was changed by another program during the operation and was left as it is.";
inline constexpr const char16_t* kChangedPutBackMessage =
    u"The file was changed by another program during the operation and was put back as it "
    u"was before.";
inline constexpr const char16_t* kBusyMessage =
    u"The file is being processed by another run of Vornal Encryption.";
inline constexpr const char16_t* kInterruptedMessage =
    u"An earlier run on this file was interrupted. Put the original file back before "
    u"processing it again.";

// The message for a file that may not be rewritten, naming why.
[[nodiscard]] const char16_t* refusalMessage(RewriteRefusal why) noexcept;

// The sentence that tells a user how a run ended, in the program's own words; empty for a
// success, a file with nothing to process and a cancellation, which the front ends tell in
// their own way. A damaged file whose backup is kept names it.
[[nodiscard]] std::u16string outcomeMessage(const FileOutcome& outcome);

// "WARNING: " + number + "-" + text + " while performing operation."
[[nodiscard]] std::u16string warningMessage(const RunError& e);

// After a failed run whose original could not be put back: where it is kept.
[[nodiscard]] std::optional<std::u16string> keptMessage(const FileOutcome& outcome);

} // namespace vornal
