#pragma once

#include "log/OperationLog.h"
#include "operations/Engine.h"
#include "platform/FileSystem.h"
#include "platform/RunJournal.h"
#include "window/State.h"
#include "window/model/WindowModel.h"

#include <functional>
#include <string>

namespace vornal {

// What an operation works with: the shared state, the window it reads and reports to, the
// files, the log and the journal of runs under way.
struct OperationContext {
    ProcessState& state;
    Window& window;
    FileSystem& files;
    OperationLog& log;
    RunJournal& journal;
    EngineOptions engine = {};
};

// What the probe found: ok is false when the operation must not go on (the probe has told
// the user); otherwise the scan of the file in the direction of state.EncryptMode.
struct ProbeResult {
    bool ok = false;
    PlainScan plain;         // encryption: the whole text
    EncryptedScan encrypted; // decryption: the text without the marker, trimmed
};

// The probe: checks the path, reads the file through and checks for the marker line in
// the direction of state.EncryptMode. beforeReading, when given, is asked once the file is
// found and before it is read; when it answers false (having told the user) the probe
// stops there.
[[nodiscard]] ProbeResult
FileData(OperationContext& ctx, const std::u16string& strFile,
         const std::function<bool(const std::string& path)>& beforeReading = {});

// Encrypts the file in filepath in place, or the text in stringpath into the string box,
// with the key in txtPass1 confirmed by txtPass2.
void EncryptCurrent(OperationContext& ctx);

// Decrypts the file in filepath in place, or the hexadecimal text in stringpath.
void DecryptCurrent(OperationContext& ctx);

// Messages of our own where the operations refuse to risk a file.
inline constexpr const char16_t* kNoSpaceMessage =
    u"Not enough free disk space to process this file safely.";
inline constexpr const char16_t* kDamagedMessage =
    u"The encrypted file is damaged and cannot be decrypted.";
// Follows kDamagedMessage, then the backup's path and ".", when the damaged file was put
// back and its backup is still there.
inline constexpr const char16_t* kCopyKeptMessage = u" A copy of it is kept in ";
inline constexpr const char16_t* kFieldTooLongMessage =
    u"A word in this file is too long to be encrypted.";
// Another program changed the file during the run.
inline constexpr const char16_t* kChangedNotProcessedMessage =
    u"The file was changed by another program during the operation and was left as it is.";
inline constexpr const char16_t* kChangedPutBackMessage =
    u"The file was changed by another program during the operation and was put back as it "
    u"was before.";

} // namespace vornal
