#pragma once

#include "operations/FileRun.h"
#include "window/State.h"
#include "window/model/WindowModel.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace vornal {

// Runs the long part of an operation away from the window's thread, so that the window
// keeps repainting and the run can be cancelled.
class Background {
public:
    virtual ~Background() = default;
    // Runs work and returns once it has ended, rethrowing what it threw. work is given the
    // window as seen from where it runs: every read and change made through it reaches the
    // window in the order made, and waits for it.
    virtual void run(const std::function<void(Window&)>& work) = 0;
    // Raised once the user has confirmed stopping the running work.
    [[nodiscard]] virtual const std::atomic<bool>& cancelled() const noexcept = 0;
};

// Runs the work on the calling thread, through the window itself.
class InlineBackground : public Background {
public:
    explicit InlineBackground(Window& window) : window_(window) {}
    void run(const std::function<void(Window&)>& work) override { work(window_); }
    [[nodiscard]] const std::atomic<bool>& cancelled() const noexcept override { return stop; }

    std::atomic<bool> stop = false; // raise it to cancel

private:
    Window& window_;
};

// What the window's operations work with: the shared state, the window they read and
// report to, what a file run needs, and where its long part runs.
struct OperationContext {
    ProcessState& state;
    Window& window;
    RunServices services;
    Background& background;
    EngineOptions engine = {};
};

// The probe, as the window shows it: CurrentPath set to the file the run takes; once the
// file is found the elapsed time restarts and the start button reads "Cancel"; then the
// run claims the file and reads it through (CurrentLength), in the direction of the run.
// A refusal is told (and, for a file that could not be read, logged) here. Answers the
// outcome when the operation must not go on, nothing when it may.
[[nodiscard]] std::optional<FileOutcome> FileData(OperationContext& ctx, FileRun& run,
                                                  RunEvents& events);

// Encrypts the file in filepath in place, or the text in stringpath into the string box,
// with the key in txtPass1 confirmed by txtPass2.
void EncryptCurrent(OperationContext& ctx);

// Decrypts the file in filepath in place, or the hexadecimal text in stringpath.
void DecryptCurrent(OperationContext& ctx);

} // namespace vornal
