#include "window/StartCommand.h"

#include "window/FileDisplay.h"

namespace vornal {

namespace {

constexpr const char16_t* kLargeInputText =
    u"The file you are attempting to encrypt is very large.\r\n"
    u"Make sure you have enough system resources available to encrypt this file. \r\n"
    u"If you do not, it may cause system instability. \r\n"
    u"Do you wish to continue?";

bool selected(const Window& w, Ctl option) {
    return w.value(option) != 0;
}

void enableAfterRun(Window& w) {
    for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnClearHis, Ctl::btnViewHistory}) {
        w.setEnabled(c, true);
    }
}

// The size the large-input question looks at; absent when the path names no file, which
// the probe then reports.
std::optional<std::uint64_t> inputSize(OperationContext& ctx) {
    const std::u16string path = ctx.window.text(Ctl::filepath);
    if (path.empty()) {
        return ctx.window.text(Ctl::stringpath).size();
    }
    try {
        return ctx.services.files.size(pathFromText(typedPath(ctx.services.files, path)));
    } catch (const RunError&) {
        return std::nullopt;
    }
}

} // namespace

void btnSTART_Click(OperationContext& ctx, const StartCommandHooks& hooks) {
    Window& w = ctx.window;
    const std::u16string caption = w.text(Ctl::btnSTART);
    if (caption == u"Cancel") {
        // Asked while the run goes on, so its progress and elapsed time are left alone.
        const MsgAnswer answer = w.messageBox(
            u"This action will cancel the encryption/decryption and the program will exit.",
            u"User Cancellation", MsgButtons::OkCancel, MsgIcon::Critical);
        if (answer == MsgAnswer::Ok) {
            hooks.endProgram();
            return;
        }
        // The run goes on, so its inputs stay locked until the run itself ends.
        w.setValue(Ctl::pgKey, 0);
        return;
    }
    ctx.state.ElapsedStopped = false;
    w.ResetProgress();
    w.setInterval(Ctl::ElapsedTimer, 0);
    if (ctx.state.FileMode && w.text(Ctl::filepath).empty()) {
        w.FlashFailure(u"Please select a filename or enter a filepath.");
        return;
    }
    if (caption == u"Encrypt!" || caption == u"Decrypt!") {
        hooks.LockInputs();
        for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnClearHis, Ctl::btnViewHistory,
                      Ctl::btnAbout, Ctl::btnHelp, Ctl::filepath}) {
            w.setEnabled(c, false);
        }
        if (selected(w, Ctl::encryption)) {
            const auto size = inputSize(ctx);
            if (size && *size >= kLargeInput &&
                w.messageBox(kLargeInputText, u"Attempting to encrypt large file",
                             MsgButtons::OkCancel, MsgIcon::Critical) != MsgAnswer::Ok) {
                w.setValue(Ctl::pgKey, 0);
                hooks.UnlockInputs();
                enableAfterRun(w);
                return;
            }
            if (!hooks.run(EncryptCurrent, ctx)) {
                return;
            }
            w.setValue(Ctl::pgKey, 0);
        } else if (selected(w, Ctl::decryption)) {
            w.setValue(Ctl::pgKey, 0);
            if (!hooks.run(DecryptCurrent, ctx)) {
                return;
            }
        }
        if (selected(w, Ctl::encryption)) {
            w.setText(Ctl::btnSTART, u"Encrypt!");
        }
        if (selected(w, Ctl::decryption)) {
            w.setText(Ctl::btnSTART, u"Decrypt!");
        }
    }
    hooks.UnlockInputs();
    enableAfterRun(w);
}

void txtPass1_KeyDown(OperationContext& ctx, const StartCommandHooks& hooks, int keyCode) {
    ctx.window.setValue(Ctl::pgKey, 0);
    if (keyCode == kKeyEnter) {
        btnSTART_Click(ctx, hooks);
    }
}

bool txtPass2_KeyDown(OperationContext& ctx, const StartCommandHooks& hooks, int keyCode) {
    Window& w = ctx.window;
    if (keyCode == kKeyEnter) {
        btnSTART_Click(ctx, hooks);
        return false;
    }
    const std::u16string key = w.text(Ctl::txtPass1);
    const bool decrypting = w.text(Ctl::btnSTART) == u"Decrypt!";
    const double meter = w.value(Ctl::pgKey);
    if (!key.empty() && keyCode != kKeyBackspace) {
        if (meter < 100 && !decrypting) {
            if (w.text(Ctl::txtPass2).size() < key.size()) {
                w.setValue(Ctl::pgKey, meter + 4);
            } else {
                w.messageBox(u"The Encryption Keys do not match!", u"Vornal Encryption",
                             MsgButtons::Ok, MsgIcon::Critical);
                w.setText(Ctl::txtPass2, u"");
                w.setValue(Ctl::pgKey, 0);
                w.setFocus(Ctl::txtPass2);
                return true;
            }
        }
    } else if (keyCode == kKeyBackspace && meter > 4 && !decrypting) {
        w.setValue(Ctl::pgKey, meter - 4);
    }
    return false;
}

} // namespace vornal
