#include "window/Operations.h"

#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "operations/InPlaceRewrite.h"
#include "platform/Text.h"
#include "window/FileDisplay.h"
#include "window/RunClaim.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>

namespace vornal {

namespace {

std::u16string quotedPath(const Window& w) {
    return u"\"" + w.text(Ctl::filepath) + u"\"";
}

std::u16string warningText(const RunError& e) {
    return u"WARNING: " + numberAndText(e) + u" while performing operation.";
}

// Steps 2 and 3 of both operations: a key that is missing or not confirmed.
void refuseKey(OperationContext& ctx, const std::u16string& message,
               const std::u16string& description, const std::u16string& status) {
    Window& w = ctx.window;
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.FlashFailure(message);
    w.setValue(Ctl::ProgressBar2, 0);
    (void)ctx.log.AppendLogRow(description, status);
    w.setPointer(Pointer::Default);
}

struct KeyTexts {
    const char16_t* missing;       // the message for a missing key or confirmation
    const char16_t* missingStatus; // its log status
    const char16_t* mismatchStatus;
};

// The key, when it is there and confirmed; otherwise the refusal is shown and logged.
std::optional<std::u16string> confirmedKey(OperationContext& ctx, const std::u16string& description,
                                           const KeyTexts& texts) {
    const std::u16string key = ctx.window.text(Ctl::txtPass1);
    const std::u16string confirmation = ctx.window.text(Ctl::txtPass2);
    if (key.empty() || confirmation.empty()) {
        refuseKey(ctx, texts.missing, description, texts.missingStatus);
        return std::nullopt;
    }
    if (key != confirmation) {
        refuseKey(ctx, u"Encryption keys mismatch. Please re-enter both keys.", description,
                  texts.mismatchStatus);
        return std::nullopt;
    }
    return key;
}

// Where the original is when it could not be put back.
void tellKept(Window& w, const InPlaceRewrite& rewrite) {
    w.FlashFailure(u"The original file is kept in " +
                   utf8ToUtf16(rewrite.backupPath()).value_or(u"its backup") + u".");
}

// The error path: the file is put back, the user warned and the attempt logged.
void errorPath(OperationContext& ctx, const RunError& e, InPlaceRewrite* rewrite) {
    Window& w = ctx.window;
    const bool restored = !rewrite || rewrite->restore();
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.setEnabled(Ctl::ElapsedTimer, false);
    w.setValue(Ctl::ProgressBar2, 0);
    w.FlashFailure(warningText(e));
    if (!restored) {
        tellKept(w, *rewrite);
    }
    w.setValue(Ctl::ProgressBar2, 0);
    (void)ctx.log.AppendLogRow(u"Open File " + quotedPath(w), u"Failure: " + numberAndText(e));
    w.setPointer(Pointer::Default);
}

// The file changed under the run, which has put it back: the error path in our own words.
void changedPath(OperationContext& ctx, const FileChanged& c, const InPlaceRewrite& rewrite,
                 const std::u16string& description) {
    Window& w = ctx.window;
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.setEnabled(Ctl::ElapsedTimer, false);
    w.setValue(Ctl::ProgressBar2, 0);
    w.FlashFailure(c.putBackFromBackup ? kChangedPutBackMessage : kChangedNotProcessedMessage);
    if (!c.restored) {
        tellKept(w, rewrite);
    }
    (void)ctx.log.AppendLogRow(description, u"Failure - File Changed");
    w.setPointer(Pointer::Default);
}

// A cancelled run puts its file back; the user hears only when that failed.
void cancelledPath(Window& w, InPlaceRewrite* rewrite) {
    if (rewrite && !rewrite->restore()) {
        tellKept(w, *rewrite);
    }
    w.setPointer(Pointer::Default);
}

// Refuses a run the disk has no room for: the room the chosen way needs, in the folder
// where the backup and the new file go.
bool refuseWithoutSpace(OperationContext& ctx, const InPlaceRewrite& rewrite, std::uint64_t newSize,
                        const std::u16string& description) {
    if (ctx.files.freeSpace(rewrite.target()) >= rewrite.roomNeeded(newSize)) {
        return false;
    }
    ctx.window.FlashFailure(kNoSpaceMessage);
    (void)ctx.log.AppendLogRow(description, u"Failure - Not enough disk space");
    return true;
}

// Step 10 of both operations. A file the run was refused leaves the size shown as it is.
void finalSteps(OperationContext& ctx, bool fileMode, const std::u16string& result,
                const std::u16string& runningStatus, bool refused = false) {
    Window& w = ctx.window;
    for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnAbout, Ctl::btnHelp, Ctl::filepath}) {
        w.setEnabled(c, true);
    }
    ctx.state.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.setEnabled(Ctl::ElapsedTimer, false);
    // A run that ended without a word (an empty file) must not leave the panel saying it
    // is still at work.
    if (w.text(Ctl::Status) == runningStatus) {
        w.SetStatus(u"Ready.");
    }
    if (fileMode) {
        // Only a file that is there has a size; a refused path was reported already.
        if (!refused && FileExists(ctx.files, pathFromText(ctx.state.CurrentPath))) {
            ShowFileSize(w, ctx.files);
        }
    } else {
        w.setText(Ctl::stringpath, result);
    }
}

// Decryption has no error path of its own after its run: a size that cannot be read
// again is shown as unknown.
void finalStepsAfterDecrypt(OperationContext& ctx, bool fileMode, const std::u16string& result,
                            const std::u16string& runningStatus, bool refused = false) {
    try {
        finalSteps(ctx, fileMode, result, runningStatus, refused);
    } catch (const RunError&) {
        ctx.window.setText(Ctl::labelFileSize, u"File size: N/A");
    }
    ctx.window.setPointer(Pointer::Default);
}

// The engine's progress, as the window's progress bar shows it.
class WindowProgress : public EngineProgress {
public:
    explicit WindowProgress(Window& w) : w_(w) {}
    void written(std::uint64_t index) override {
        w_.setValue(Ctl::ProgressBar2, static_cast<double>(index));
    }
    bool cancelRequested() override { return w_.cancelRequested(); }

private:
    Window& w_;
};

// A cancellation asked for while the file was being checked stops the run before a backup
// is made, so nothing needs putting back.
void stopIfCancelled(const Window& w) {
    if (w.cancelRequested()) {
        throw OperationCancelled{};
    }
}

// The longest field the framing's 32-bit length can carry, in characters.
constexpr std::uint64_t kMaxFieldChars = (INT32_MAX - 35) / 2;

} // namespace

ProbeResult FileData(OperationContext& ctx, const std::u16string& strFile,
                     const std::function<bool(const std::string& path)>& beforeReading) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    ProbeResult result;
    st.CurrentPath = typedPath(ctx.files, strFile);
    if (st.CurrentPath.empty()) {
        w.FlashFailure(u"Please select a filename or enter a filepath.");
        return result;
    }
    const std::string path = pathFromText(st.CurrentPath);
    if (!FileExists(ctx.files, path)) {
        w.FlashFailure(u"Unable to find the file specified.");
        w.setFocus(Ctl::filepath);
        return result;
    }
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setText(Ctl::btnSTART, u"Cancel");
    if (beforeReading && !beforeReading(path)) {
        return result;
    }
    try {
        auto in = ctx.files.openRead(path);
        if (st.EncryptMode) {
            result.plain = scanPlain(*in, ctx.engine);
            st.CurrentLength = static_cast<std::int64_t>(result.plain.size);
            if (result.plain.marked) {
                w.FlashFailure(u"File Already Encrypted by Vornal");
                return result;
            }
        } else {
            result.encrypted = scanEncrypted(*in, ctx.engine);
            st.CurrentLength = static_cast<std::int64_t>(ctx.files.size(path));
            if (!result.encrypted.marked) {
                w.FlashFailure(u"File Not Encrypted with Vornal, Cannot Decrypt");
                return result;
            }
        }
        result.ok = true;
        return result;
    } catch (const RunError& e) {
        w.setInterval(Ctl::ElapsedTimer, 0);
        w.FlashFailure(u"Unknown error(s) encounted while performing operation.");
        w.setValue(Ctl::ProgressBar2, 0);
        (void)ctx.log.AppendLogRow(u"Open File \"" + strFile + u"\"",
                                   u"Failure: " + numberAndText(e));
        return result;
    }
}

void EncryptCurrent(OperationContext& ctx) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    w.setPointer(Pointer::Busy);
    st.EncryptMode = true;
    const std::u16string description = u"Encrypting " + quotedPath(w);
    const auto confirmed =
        confirmedKey(ctx, description,
                     {u"Please enter a key for encryption. Note that you have to enter 2 times "
                      u"for confirmation.",
                      u"Failure - No Key", u"Failure - Key Mis-match"});
    if (!confirmed) {
        return;
    }
    const std::u16string& key = *confirmed;
    const std::u16string running = u"Encrypting file...";
    w.SetStatus(running);
    const bool fileMode = !w.text(Ctl::filepath).empty();
    std::u16string result;
    RunClaim claim;
    std::optional<InPlaceRewrite> rewrite;
    bool succeeded = false;
    try {
        if (fileMode) {
            st.ElapsedSeconds = 0;
            w.setEnabled(Ctl::ElapsedTimer, true);
            w.setInterval(Ctl::ElapsedTimer, 100);
            const ProbeResult probe =
                FileData(ctx, w.text(Ctl::filepath),
                         [&](const std::string& path) { return claimFile(ctx, path, claim); });
            const PlainScan& scan = probe.plain;
            const std::string target = pathFromText(st.CurrentPath);
            if (!probe.ok || scan.size == 0) {
                // Refused by the probe, or an empty file: nothing to do.
            } else if (scan.longest > kMaxFieldChars) {
                w.FlashFailure(kFieldTooLongMessage);
            } else if (!refuseWithoutSpace(ctx,
                                           rewrite.emplace(ctx.files, ctx.journal, target,
                                                           claim.asRead, true, claim.lock.get()),
                                           scan.encryptedSize, description)) {
                stopIfCancelled(w);
                const TextCipher keyed(key);
                const auto cipher = makeEngine(keyed.cipher());
                rewrite->makeBackup(scan.encryptedSize);
                rewrite->begin();
                w.setValue(Ctl::ProgressBar2, 20);
                w.setMax(Ctl::ProgressBar2, static_cast<double>(scan.fields - 1) + 10);
                WindowProgress progress(w);
                auto in = ctx.files.openRead(rewrite->backupPath());
                encryptStream(*in, rewrite->writer(), *cipher, scan, ctx.engine, progress);
                w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
                rewrite->finish();
                // At once after the last check: a failure to delete the backup is ignored.
                (void)rewrite->discardBackup();
                result = ascii(kMarkerLine);
            }
        } else {
            result = modAES::EncryptString(w.text(Ctl::stringpath), key);
        }
        if (!result.empty()) {
            succeeded = true;
            w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
            w.ResetProgress();
            st.ElapsedStopped = true;
            w.setInterval(Ctl::ElapsedTimer, 0);
            if (fileMode) {
                (void)ctx.log.AppendLogRow(description + u" with AES Encryption ", u"Success");
            }
            w.ShowSuccess(fileMode ? u"File successfully Encrypted."
                                   : u"String successfully Encrypted.");
        }
        finalSteps(ctx, fileMode, result, running, claim.refused);
        w.setPointer(Pointer::Default);
    } catch (const OperationCancelled&) {
        cancelledPath(w, rewrite ? &*rewrite : nullptr);
    } catch (const FileChanged& c) {
        changedPath(ctx, c, *rewrite, description);
    } catch (const RunError& e) {
        errorPath(ctx, e, rewrite && !succeeded ? &*rewrite : nullptr);
    }
}

void DecryptCurrent(OperationContext& ctx) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    w.setPointer(Pointer::Busy);
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setEnabled(Ctl::ElapsedTimer, true);
    st.EncryptMode = false;
    const std::u16string description = u"Decrypting " + quotedPath(w);
    const auto confirmed =
        confirmedKey(ctx, description,
                     {u"Please enter the Encryption key. Note that you have to enter 2 times for "
                      u"confirmation.",
                      u"Failure - Missing Key", u"Failure - Key Mis-Match"});
    if (!confirmed) {
        return;
    }
    const std::u16string& key = *confirmed;
    w.setMax(Ctl::ProgressBar2, 100);
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setValue(Ctl::ProgressBar2, 30);
    const std::u16string running = u"Decrypting file...";
    w.SetStatus(running);
    const bool fileMode = !w.text(Ctl::filepath).empty();
    std::u16string result;
    RunClaim claim;
    std::optional<InPlaceRewrite> rewrite;
    bool succeeded = false;
    std::optional<std::uint64_t> firstPart; // the first part with a ciphertext

    // A part that does not decrypt is never a success. Only the first part with a
    // ciphertext tells a wrong key ("Invalid password"); once that has decrypted, a part
    // that does not is damage.
    auto reportPartFailure = [&](TextCipher::Outcome outcome, const std::u16string& damaged) {
        if (outcome == TextCipher::Outcome::InvalidPassword) {
            w.messageBox(u"Invalid password", u"Error", MsgButtons::Ok, MsgIcon::None);
            (void)ctx.log.AppendLogRow(description, u"Failure - Invalid Password");
        } else {
            w.FlashFailure(damaged);
            (void)ctx.log.AppendLogRow(description, u"Failure - Damaged File");
        }
    };

    try {
        if (fileMode) {
            const ProbeResult probe =
                FileData(ctx, w.text(Ctl::filepath),
                         [&](const std::string& path) { return claimFile(ctx, path, claim); });
            const EncryptedScan& scan = probe.encrypted;
            firstPart = scan.firstFull;
            const std::string target = pathFromText(st.CurrentPath);
            const TextCipher keyed(key);
            const auto cipher = makeEngine(keyed.cipher());
            WindowProgress progress(w);
            if (!probe.ok || scan.textSize == 0) {
                // Refused by the probe, or only the marker: nothing to do.
            } else if (scan.parts < 2) {
                w.FlashFailure(u"File Not Encrypted with Vornal, Cannot Decrypt");
            } else if (!scan.lastPartBlank) {
                reportPartFailure(TextCipher::Outcome::Malformed, kDamagedMessage);
            } else if (const auto first = checkFirstPart(
                           scan, *cipher, [&] { return ctx.files.openRead(target); }, ctx.engine,
                           progress);
                       first != TextCipher::Outcome::Text) {
                // The key is tried on a whole part before the file is touched, so a wrong
                // key costs nothing.
                reportPartFailure(first, kDamagedMessage);
            } else if (!refuseWithoutSpace(ctx,
                                           rewrite.emplace(ctx.files, ctx.journal, target,
                                                           claim.asRead, false, claim.lock.get()),
                                           scan.decryptedBound, description)) {
                stopIfCancelled(w);
                rewrite->makeBackup(scan.decryptedBound);
                // The text decrypted is always shorter than the text read for it, so where
                // the backup is a copy the file is written over as it is read: its content
                // is still in memory, where the copy, written straight to the disk, is not.
                rewrite->beginOver();
                w.setMax(Ctl::ProgressBar2, static_cast<double>(scan.parts - 2) + 20);
                decryptStream(rewrite->oldContent(), rewrite->writer(), *cipher, scan, ctx.engine,
                              progress);
                rewrite->finish();
                (void)rewrite->discardBackup();
                result = u" ";
            }
        } else {
            result = modAES::DecryptString(w.text(Ctl::stringpath), key, w);
        }
        if (!result.empty()) {
            succeeded = true;
            w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
            w.ResetProgress();
            st.ElapsedStopped = true;
            w.setInterval(Ctl::ElapsedTimer, 0);
            w.setEnabled(Ctl::ElapsedTimer, false);
            if (fileMode) {
                (void)ctx.log.AppendLogRow(description, u"Success");
            }
            w.ShowSuccess(fileMode ? u"File successfully Decrypted."
                                   : u"String successfully Decrypted.");
        }
        finalStepsAfterDecrypt(ctx, fileMode, result, running, claim.refused);
    } catch (const OperationCancelled&) {
        cancelledPath(w, rewrite ? &*rewrite : nullptr);
    } catch (const FileChanged& c) {
        changedPath(ctx, c, *rewrite, description);
    } catch (const PartFailed& f) {
        const bool restored = rewrite->restore();
        const std::string& backup = rewrite->backupPath();
        const std::u16string backupName = utf8ToUtf16(backup).value_or(u"its backup");
        // Whether a backup outlives the restore depends on how it was made: say so only
        // when one is there.
        const bool kept = restored && ctx.files.exists(backup);
        reportPartFailure(f.index == firstPart ? f.outcome : TextCipher::Outcome::Malformed,
                          kept ? kDamagedMessage + (kCopyKeptMessage + backupName) + u"."
                               : std::u16string(kDamagedMessage));
        if (!restored) {
            tellKept(w, *rewrite);
        }
        finalStepsAfterDecrypt(ctx, fileMode, result, running);
    } catch (const RunError& e) {
        errorPath(ctx, e, rewrite && !succeeded ? &*rewrite : nullptr);
    }
}

} // namespace vornal
