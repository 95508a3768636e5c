#include "window/Operations.h"

#include "cipher/modAES.h"
#include "log/OperationLog.h"
#include "operations/RunMessages.h"
#include "window/FileDisplay.h"

namespace vornal {

namespace {

// What each operation says when a key is missing.
constexpr const char16_t* kEncryptKeyMissing =
    u"Please enter a key for encryption. Note that you have to enter 2 times for confirmation.";
constexpr const char16_t* kDecryptKeyMissing =
    u"Please enter the Encryption key. Note that you have to enter 2 times for confirmation.";

// The key, when it is there and confirmed; otherwise the refusal is shown and logged: the
// timer stops, the message flashes, the progress goes to 0, the row is written.
std::optional<SecretUtf16> confirmedKey(OperationContext& ctx, Direction direction,
                                        const std::u16string& typedPath) {
    Window& w = ctx.window;
    SecretUtf16 key(w.text(Ctl::txtPass1));
    const SecretUtf16 confirmation(w.text(Ctl::txtPass2));
    std::optional<KeyProblem> problem;
    if (key.empty() || confirmation.empty()) {
        problem = KeyProblem::Missing;
    } else if (key.str() != confirmation.str()) {
        problem = KeyProblem::Mismatch;
    }
    if (!problem) {
        return key;
    }
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.FlashFailure(
        problem == KeyProblem::Mismatch
            ? u"Encryption keys mismatch. Please re-enter both keys."
            : (direction == Direction::Encrypt ? kEncryptKeyMissing : kDecryptKeyMissing));
    w.setValue(Ctl::ProgressBar2, 0);
    logKeyProblem(ctx.services.log, direction, typedPath, *problem);
    w.setPointer(Pointer::Default);
    return std::nullopt;
}

// The run's progress as the window shows it.
class WindowRunEvents : public RunEvents {
public:
    WindowRunEvents(ProcessState& state, Window& window, Direction direction)
        : state_(state), w_(window), direction_(direction) {}

    void found() override {
        state_.ElapsedSeconds = 0;
        w_.setInterval(Ctl::ElapsedTimer, 100);
        w_.setText(Ctl::btnSTART, u"Cancel");
    }
    void read(std::uint64_t length) override {
        state_.CurrentLength = static_cast<std::int64_t>(length);
    }
    void rewriting(std::uint64_t count) override {
        const double last = static_cast<double>(count) - 1;
        if (direction_ == Direction::Encrypt) {
            w_.setValue(Ctl::ProgressBar2, 20);
            w_.setMax(Ctl::ProgressBar2, last + 10);
        } else {
            w_.setMax(Ctl::ProgressBar2, last + 20);
        }
    }
    void written(std::uint64_t index) override {
        w_.setValue(Ctl::ProgressBar2, static_cast<double>(index));
    }
    void markerWritten() override {
        w_.setValue(Ctl::ProgressBar2, w_.value(Ctl::ProgressBar2) + 5);
    }

private:
    ProcessState& state_;
    Window& w_;
    Direction direction_;
};

struct WindowRun {
    FileOutcome outcome;
    bool probeRefused = false; // FileData refused the file and has told the user
};

// The file branch's run: the probe and the rewrite, away from the window's thread.
WindowRun runFile(OperationContext& ctx, Direction direction, const std::u16string& typedPath,
                  SecretUtf16 key) {
    FileRun run(ctx.services,
                {typedPath, direction, std::move(key), ctx.engine, &ctx.background.cancelled()});
    WindowRun result;
    ctx.background.run([&](Window& ui) {
        OperationContext here{ctx.state, ui, ctx.services, ctx.background, ctx.engine};
        WindowRunEvents events(ctx.state, ui, direction);
        if (auto stop = FileData(here, run, events)) {
            result.outcome = *stop;
            result.probeRefused = true;
            return;
        }
        result.outcome = run.rewrite(events);
    });
    return result;
}

// Where the original is when it could not be put back.
void tellKept(Window& w, const FileOutcome& o) {
    if (const auto kept = keptMessage(o)) {
        w.FlashFailure(*kept);
    }
}

// The error path: the user warned; the original was put back (or where it is, said).
void errorPath(OperationContext& ctx, const std::u16string& message, const FileOutcome* o) {
    Window& w = ctx.window;
    w.setInterval(Ctl::ElapsedTimer, 0);
    w.setEnabled(Ctl::ElapsedTimer, false);
    w.setValue(Ctl::ProgressBar2, 0);
    w.FlashFailure(message);
    if (o != nullptr) {
        tellKept(w, *o);
    }
    w.setValue(Ctl::ProgressBar2, 0);
    w.setPointer(Pointer::Default);
}

// Step 9 of both operations, on success: the progress finished and reset, the counter
// stopped (decryption also disables its timer), the green panel.
void successSteps(OperationContext& ctx, Direction direction, const char16_t* message) {
    Window& w = ctx.window;
    w.setValue(Ctl::ProgressBar2, w.value(Ctl::ProgressBar2) + 5);
    w.ResetProgress();
    ctx.state.ElapsedStopped = true;
    w.setInterval(Ctl::ElapsedTimer, 0);
    if (direction == Direction::Decrypt) {
        w.setEnabled(Ctl::ElapsedTimer, false);
    }
    w.ShowSuccess(message);
}

// Step 10 of both operations. A file the run was refused leaves the size shown as it is.
void finalSteps(OperationContext& ctx, bool fileMode, const std::u16string& result,
                const std::u16string& runningStatus, bool refused) {
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
        if (!refused && FileExists(ctx.services.files, pathFromText(ctx.state.CurrentPath))) {
            ShowFileSize(w, ctx.services.files);
        }
    } else {
        w.setText(Ctl::stringpath, result);
    }
}

// The outcomes after which the operation ends at once, without its final steps. A run the
// user stopped to end the program goes quiet unless it had succeeded all the same: the
// program ends once it is over.
bool endedWithoutFinalSteps(OperationContext& ctx, const FileOutcome& o) {
    Window& w = ctx.window;
    if ((ctx.background.cancelled() && !o.succeeded()) || o.status == RunStatus::Cancelled) {
        w.setPointer(Pointer::Default);
        return true;
    }
    if (o.status != RunStatus::Failed) {
        return false;
    }
    switch (o.failure) {
    case Failure::Error:
        errorPath(ctx, outcomeMessage(o), &o);
        return true;
    case Failure::Changed:
        errorPath(ctx, outcomeMessage(o), &o);
        return true;
    case Failure::Cancelled:
        tellKept(w, o);
        w.setPointer(Pointer::Default);
        return true;
    case Failure::WrongKey:
    case Failure::Damaged:
        break;
    }
    return false;
}

// A refusal after the probe, or a part that did not decrypt: told in the program's words.
void tellRefusal(Window& w, const FileOutcome& o) {
    if (o.status == RunStatus::Nothing || o.succeeded()) {
        return;
    }
    if (o.status == RunStatus::WrongKey ||
        (o.status == RunStatus::Failed && o.failure == Failure::WrongKey)) {
        w.messageBox(kInvalidPasswordMessage, u"Error", MsgButtons::Ok, MsgIcon::None);
    } else {
        w.FlashFailure(outcomeMessage(o));
    }
    tellKept(w, o);
}

struct FileBranch {
    bool succeeded = false;
    bool refused = false; // the file was refused before it was read: its size stays as shown
};

// The file branch of both operations up to its success: the run, and what it came to
// told. Nothing when the operation ends there, without its final steps.
std::optional<FileBranch> fileBranch(OperationContext& ctx, Direction direction,
                                     const std::u16string& typedPath, SecretUtf16 key) {
    const WindowRun run = runFile(ctx, direction, typedPath, std::move(key));
    const FileOutcome& o = run.outcome;
    if (endedWithoutFinalSteps(ctx, o)) {
        return std::nullopt;
    }
    if (!run.probeRefused) {
        tellRefusal(ctx.window, o);
    }
    const bool claimRefused = o.status == RunStatus::CannotRewrite || o.status == RunStatus::Busy ||
                              o.status == RunStatus::Interrupted;
    return FileBranch{o.succeeded(), run.probeRefused && claimRefused};
}

} // namespace

std::optional<FileOutcome> FileData(OperationContext& ctx, FileRun& run, RunEvents& events) {
    ctx.state.CurrentPath = run.pathText();
    std::optional<FileOutcome> stop = run.probe(events);
    if (!stop) {
        return stop;
    }
    Window& w = ctx.window;
    switch (stop->status) {
    case RunStatus::NotFound:
        w.FlashFailure(kNotFoundMessage);
        w.setFocus(Ctl::filepath);
        break;
    case RunStatus::Unreadable:
        w.setInterval(Ctl::ElapsedTimer, 0);
        w.FlashFailure(kUnreadableMessage);
        w.setValue(Ctl::ProgressBar2, 0);
        break;
    default:
        w.FlashFailure(outcomeMessage(*stop));
    }
    return stop;
}

void EncryptCurrent(OperationContext& ctx) {
    ProcessState& st = ctx.state;
    Window& w = ctx.window;
    w.setPointer(Pointer::Busy);
    st.EncryptMode = true;
    const std::u16string typed = w.text(Ctl::filepath);
    std::optional<SecretUtf16> key = confirmedKey(ctx, Direction::Encrypt, typed);
    if (!key) {
        return;
    }
    const std::u16string running = u"Encrypting file...";
    w.SetStatus(running);
    const bool fileMode = !typed.empty();
    bool succeeded = false;
    bool refused = false;
    if (fileMode) {
        st.ElapsedSeconds = 0;
        w.setEnabled(Ctl::ElapsedTimer, true);
        w.setInterval(Ctl::ElapsedTimer, 100);
        const auto branch = fileBranch(ctx, Direction::Encrypt, typed, std::move(*key));
        if (!branch) {
            return;
        }
        succeeded = branch->succeeded;
        refused = branch->refused;
    }
    std::u16string result;
    if (!fileMode) {
        result = modAES::EncryptString(w.text(Ctl::stringpath), key->str());
        succeeded = !result.empty();
    }
    if (succeeded) {
        successSteps(ctx, Direction::Encrypt,
                     fileMode ? u"File successfully Encrypted."
                              : u"String successfully Encrypted.");
    }
    try {
        finalSteps(ctx, fileMode, result, running, refused);
        w.setPointer(Pointer::Default);
    } catch (const RunError& e) {
        // The error path of a run that succeeded: nothing is put back.
        logFileError(ctx.services.log, typed, e);
        errorPath(ctx, warningMessage(e), nullptr);
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
    const std::u16string typed = w.text(Ctl::filepath);
    std::optional<SecretUtf16> key = confirmedKey(ctx, Direction::Decrypt, typed);
    if (!key) {
        return;
    }
    w.setMax(Ctl::ProgressBar2, 100);
    st.ElapsedSeconds = 0;
    w.setInterval(Ctl::ElapsedTimer, 100);
    w.setValue(Ctl::ProgressBar2, 30);
    const std::u16string running = u"Decrypting file...";
    w.SetStatus(running);
    const bool fileMode = !typed.empty();
    bool succeeded = false;
    bool refused = false;
    std::u16string result;
    if (fileMode) {
        const auto branch = fileBranch(ctx, Direction::Decrypt, typed, std::move(*key));
        if (!branch) {
            return;
        }
        succeeded = branch->succeeded;
        refused = branch->refused;
    } else {
        result = modAES::DecryptString(w.text(Ctl::stringpath), key->str(), w);
        succeeded = !result.empty();
    }
    if (succeeded) {
        successSteps(ctx, Direction::Decrypt,
                     fileMode ? u"File successfully Decrypted."
                              : u"String successfully Decrypted.");
    }
    // Decryption has no error path of its own after its run: a size that cannot be read
    // again is shown as unknown.
    try {
        finalSteps(ctx, fileMode, result, running, refused);
    } catch (const RunError&) {
        w.setText(Ctl::labelFileSize, u"File size: N/A");
    }
    w.setPointer(Pointer::Default);
}

} // namespace vornal
