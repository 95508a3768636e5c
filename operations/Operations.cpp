#include "operations/Operations.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>

#include "cipher/modAES.h"
#include "operations/FileDisplay.h"
#include "operations/FileFormat.h"
#include "operations/InPlaceRewrite.h"
#include "platform/Text.h"

namespace vornal {

namespace {

// The user asked to stop; the file goes back to what it was.
struct Cancelled {};

// A part that does not decrypt: the key is wrong, or the file was damaged.
struct PartFailed {
    TextCipher::Outcome outcome;
};

std::u16string quotedPath(const Window& w) {
    return u"\"" + w.text(Ctl::filepath) + u"\"";
}

std::u16string warningText(const RunError& e) {
    return u"WARNING: " + numberAndText(e) + u" while performing operation.";
}

void checkCancel(const Window& w) {
    if (w.cancelRequested()) {
        throw Cancelled{};
    }
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

// The error path: the file is put back, the user warned and the attempt logged.
void errorPath(OperationContext& ctx, const RunError& e, InPlaceRewrite* rewrite) {
    Window& w = ctx.window;
    const bool restored = !rewrite || rewrite->restore();
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.setEnabled(Ctl::ElapsedTimer, false);
    w.setValue(Ctl::ProgressBar2, 0);
    w.FlashFailure(warningText(e));
    if (!restored) {
        w.FlashFailure(u"The original file is kept in " + utf8ToUtf16(rewrite->backupPath())
                                                             .value_or(u"its backup") +
                       u".");
    }
    w.setValue(Ctl::ProgressBar2, 0);
    (void)ctx.log.AppendLogRow(u"Open File " + quotedPath(w), u"Failure: " + numberAndText(e));
    w.setPointer(Pointer::Default);
}

// Refuses a run the disk has no room for: the backup and the new content must both fit.
bool refuseWithoutSpace(OperationContext& ctx, const std::string& target,
                        std::uint64_t newSize, const std::u16string& description) {
    const std::uint64_t needed = ctx.files.size(target) + newSize;
    const std::string folder = folderOf(target);
    if (ctx.files.freeSpace(folder.empty() ? "." : folder) >= needed) {
        return false;
    }
    ctx.window.FlashFailure(kNoSpaceMessage);
    (void)ctx.log.AppendLogRow(description, u"Failure - Not enough disk space");
    return true;
}

// Step 10 of both operations.
void finalSteps(OperationContext& ctx, bool fileMode, const std::u16string& result,
                const std::u16string& runningStatus) {
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
        if (FileExists(ctx.files, pathFromText(ctx.state.CurrentPath))) {
            ShowFileSize(w, ctx.files);
        }
    } else {
        w.setText(Ctl::stringpath, result);
    }
}

// Decryption has no error path of its own after its run: a size that cannot be read
// again is shown as unknown.
void finalStepsAfterDecrypt(OperationContext& ctx, bool fileMode, const std::u16string& result,
                            const std::u16string& runningStatus) {
    try {
        finalSteps(ctx, fileMode, result, runningStatus);
    } catch (const RunError&) {
        ctx.window.setText(Ctl::labelFileSize, u"File size: N/A");
    }
    ctx.window.setPointer(Pointer::Default);
}

// The UTF-16LE bytes of a field held as Windows-1252 bytes.
void fieldAsUtf16le(std::string_view field, std::vector<std::uint8_t>& out) {
    out.resize(field.size() * 2);
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char16_t c = windows1252ToChar(static_cast<std::uint8_t>(field[i]));
        out[2 * i] = static_cast<std::uint8_t>(c & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(c >> 8);
    }
}

// The longest field the framing's 32-bit length can carry, in characters.
constexpr std::size_t kMaxFieldChars = (INT32_MAX - 35) / 2;

bool hasFieldTooLong(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t blank = text.find(' ', start);
        if (blank == std::string_view::npos) {
            blank = text.size();
        }
        if (blank - start > kMaxFieldChars) {
            return true;
        }
        start = blank + 1;
    }
    return false;
}

// Writes the pieces and the marker line for text into rewrite.
void writePieces(OperationContext& ctx, const std::u16string& key, std::string_view text,
                 InPlaceRewrite& rewrite) {
    Window& w = ctx.window;
    const TextCipher cipher(key);
    const auto L = static_cast<double>(std::count(text.begin(), text.end(), ' '));
    w.setMax(Ctl::ProgressBar2, L + 10);
    std::vector<std::uint8_t> message;
    std::string piece;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        std::size_t blank = text.find(' ', start);
        const bool last = blank == std::string_view::npos;
        if (last) {
            blank = text.size();
        }
        piece.clear();
        if (blank > start) {
            fieldAsUtf16le(text.substr(start, blank - start), message);
            cipher.appendHex(message, piece);
        }
        piece += kPieceEnd;
        rewrite.write(piece);
        w.setValue(Ctl::ProgressBar2, static_cast<double>(i));
        checkCancel(w);
        if (last) {
            break;
        }
        start = blank + 1;
    }
    rewrite.write(kMarkerLine);
    w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
}

// A decrypted field as the bytes written back: its Windows-1252 form and one blank.
std::string decryptedField(const std::u16string& text) {
    std::string bytes;
    auto encoded = encodeWindows1252(text);
    if (!encoded) {
        throw RunError::fromErrno(EILSEQ);
    }
    bytes = std::move(*encoded);
    bytes.push_back(' ');
    return bytes;
}

} // namespace

std::string FileData(OperationContext& ctx, const std::u16string& strFile) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    st.CurrentPath = trimBlanks(strFile);
    if (st.CurrentPath.empty()) {
        w.FlashFailure(u"Please select a filename or enter a filepath.");
        return {};
    }
    const std::string path = pathFromText(st.CurrentPath);
    if (!FileExists(ctx.files, path)) {
        w.FlashFailure(u"Unable to find the file specified.");
        w.setFocus(Ctl::filepath);
        return {};
    }
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setText(Ctl::btnSTART, u"Cancel");
    try {
        std::string text = ctx.files.readAll(path);
        st.CurrentLength = static_cast<std::int64_t>(text.size());
        const bool marked = text.find(kMarkerLine) != std::string::npos;
        if (st.EncryptMode) {
            if (marked) {
                w.FlashFailure(u"File Already Encrypted by Vornal");
                return {};
            }
            return text;
        }
        if (!marked) {
            w.FlashFailure(u"File Not Encrypted with Vornal, Cannot Decrypt");
            return {};
        }
        return withoutMarker(text);
    } catch (const RunError& e) {
        w.setInterval(Ctl::ElapsedTimer, 0);
        w.FlashFailure(u"Unknown error(s) encounted while performing operation.");
        w.setValue(Ctl::ProgressBar2, 0);
        (void)ctx.log.AppendLogRow(u"Open File \"" + strFile + u"\"",
                                   u"Failure: " + numberAndText(e));
        return {};
    }
}

void EncryptCurrent(OperationContext& ctx) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    w.setPointer(Pointer::Busy);
    st.EncryptMode = true;
    const std::u16string key = w.text(Ctl::txtPass1);
    const std::u16string confirmation = w.text(Ctl::txtPass2);
    const std::u16string description = u"Encrypting " + quotedPath(w);
    if (key.empty() || confirmation.empty()) {
        refuseKey(ctx,
                  u"Please enter a key for encryption. Note that you have to enter 2 times for "
                  u"confirmation.",
                  description, u"Failure - No Key");
        return;
    }
    if (key != confirmation) {
        refuseKey(ctx, u"Encryption keys mismatch. Please re-enter both keys.", description,
                  u"Failure - Key Mis-match");
        return;
    }
    const std::u16string running = u"Encrypting file...";
    w.SetStatus(running);
    const bool fileMode = !w.text(Ctl::filepath).empty();
    std::u16string result;
    std::optional<InPlaceRewrite> rewrite;
    bool succeeded = false;
    try {
        if (fileMode) {
            st.ElapsedSeconds = 0;
            w.setEnabled(Ctl::ElapsedTimer, true);
            w.setInterval(Ctl::ElapsedTimer, 100);
            const std::string text = FileData(ctx, w.text(Ctl::filepath));
            const std::string target = pathFromText(st.CurrentPath);
            if (text.empty()) {
                // Refused by the probe, or an empty file: nothing to do.
            } else if (hasFieldTooLong(text)) {
                w.FlashFailure(kFieldTooLongMessage);
            } else if (!refuseWithoutSpace(ctx, target, encryptedSize(text), description)) {
                rewrite.emplace(ctx.files, target);
                rewrite->makeBackup();
                rewrite->begin();
                w.setValue(Ctl::ProgressBar2, 20);
                writePieces(ctx, key, text, *rewrite);
                rewrite->finish();
                result = ascii(kMarkerLine);
            }
        } else {
            result = modAES::EncryptString(w.text(Ctl::stringpath), key);
        }
        if (!result.empty()) {
            succeeded = true;
            w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
            if (fileMode) {
                (void)rewrite->discardBackup(); // the new content is already on disk
            }
            w.ResetProgress();
            st.ElapsedStopped = true;
            w.setInterval(Ctl::ElapsedTimer, 0);
            if (fileMode) {
                (void)ctx.log.AppendLogRow(description + u" with AES Encryption ", u"Success");
            }
            w.ShowSuccess(fileMode ? u"File successfully Encrypted."
                                   : u"String successfully Encrypted.");
        }
        finalSteps(ctx, fileMode, result, running);
        w.setPointer(Pointer::Default);
    } catch (const Cancelled&) {
        if (rewrite) {
            rewrite->restore();
        }
        w.setPointer(Pointer::Default);
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
    const std::u16string key = w.text(Ctl::txtPass1);
    const std::u16string confirmation = w.text(Ctl::txtPass2);
    const std::u16string description = u"Decrypting " + quotedPath(w);
    if (key.empty() || confirmation.empty()) {
        refuseKey(ctx,
                  u"Please enter the Encryption key. Note that you have to enter 2 times for "
                  u"confirmation.",
                  description, u"Failure - Missing Key");
        return;
    }
    if (key != confirmation) {
        refuseKey(ctx, u"Encryption keys mismatch. Please re-enter both keys.", description,
                  u"Failure - Key Mis-Match");
        return;
    }
    w.setMax(Ctl::ProgressBar2, 100);
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setValue(Ctl::ProgressBar2, 30);
    const std::u16string running = u"Decrypting file...";
    w.SetStatus(running);
    const bool fileMode = !w.text(Ctl::filepath).empty();
    std::u16string result;
    std::optional<InPlaceRewrite> rewrite;
    bool succeeded = false;

    // A part that does not decrypt ends the run before anything more is written, and it
    // is never a success: "Invalid password" for a wrong key, our own word for damage.
    auto reportPartFailure = [&](TextCipher::Outcome outcome) {
        if (outcome == TextCipher::Outcome::InvalidPassword) {
            w.messageBox(u"Invalid password", u"Error", MsgButtons::Ok, MsgIcon::None);
            (void)ctx.log.AppendLogRow(description, u"Failure - Invalid Password");
        } else {
            w.FlashFailure(kDamagedMessage);
            (void)ctx.log.AppendLogRow(description, u"Failure - Damaged File");
        }
    };

    try {
        if (fileMode) {
            const std::string text = FileData(ctx, w.text(Ctl::filepath));
            const std::string target = pathFromText(st.CurrentPath);
            const std::vector<std::string_view> parts =
                text.empty() ? std::vector<std::string_view>{} : splitParts(text);
            const auto L = static_cast<std::ptrdiff_t>(parts.size()) - 2;
            const TextCipher cipher(key);
            // The key is tried on the first part with a ciphertext before the file is
            // touched, so that a wrong key costs nothing.
            std::optional<std::size_t> firstFull;
            for (std::ptrdiff_t i = 0; i <= L && !firstFull; ++i) {
                if (!parts[static_cast<std::size_t>(i)].empty()) {
                    firstFull = static_cast<std::size_t>(i);
                }
            }
            std::optional<TextCipher::Decrypted> first;
            if (firstFull) {
                first = cipher.decryptHex(parts[*firstFull]);
            }
            if (text.empty()) {
                // Refused by the probe, or only the marker: nothing to do.
            } else if (L < 0) {
                w.FlashFailure(u"File Not Encrypted with Vornal, Cannot Decrypt");
            } else if (!parts.back().empty()) {
                reportPartFailure(TextCipher::Outcome::Malformed);
            } else if (first && first->outcome != TextCipher::Outcome::Text) {
                reportPartFailure(first->outcome);
            } else if (!refuseWithoutSpace(ctx, target, text.size() / 4 + parts.size(),
                                           description)) {
                rewrite.emplace(ctx.files, target);
                rewrite->makeBackup();
                rewrite->begin();
                w.setMax(Ctl::ProgressBar2, static_cast<double>(L) + 20);
                std::string out;
                for (std::ptrdiff_t i = 0; i <= L; ++i) {
                    const std::string_view part = parts[static_cast<std::size_t>(i)];
                    std::u16string plain;
                    if (!part.empty()) {
                        TextCipher::Decrypted d = static_cast<std::size_t>(i) == firstFull
                                                      ? std::move(*first)
                                                      : cipher.decryptHex(part);
                        if (d.outcome != TextCipher::Outcome::Text) {
                            throw PartFailed{d.outcome};
                        }
                        plain = std::move(d.text);
                    }
                    out = decryptedField(plain);
                    rewrite->write(out);
                    w.setValue(Ctl::ProgressBar2, static_cast<double>(i));
                    checkCancel(w);
                }
                rewrite->finish();
                result = ascii(out);
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
                (void)rewrite->discardBackup(); // the new content is already on disk
                (void)ctx.log.AppendLogRow(description, u"Success");
            }
            w.ShowSuccess(fileMode ? u"File successfully Decrypted."
                                   : u"String successfully Decrypted.");
        }
        finalStepsAfterDecrypt(ctx, fileMode, result, running);
    } catch (const Cancelled&) {
        if (rewrite) {
            rewrite->restore();
        }
        w.setPointer(Pointer::Default);
    } catch (const PartFailed& f) {
        const bool restored = rewrite->restore();
        reportPartFailure(f.outcome);
        if (!restored) {
            w.FlashFailure(u"The original file is kept in " +
                           utf8ToUtf16(rewrite->backupPath()).value_or(u"its backup") + u".");
        }
        finalStepsAfterDecrypt(ctx, fileMode, result, running);
    } catch (const RunError& e) {
        errorPath(ctx, e, rewrite && !succeeded ? &*rewrite : nullptr);
    }
}

} // namespace vornal
