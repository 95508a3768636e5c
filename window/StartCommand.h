#pragma once

#include "window/Operations.h"

#include <functional>

namespace vornal {

// Inputs of at least this size (bytes of the file, or characters of the string) are
// encrypted only after the user confirms.
inline constexpr std::uint64_t kLargeInput = 4'120'000;

// Key codes the key boxes act on.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyBackspace = 8;

// EncryptCurrent or DecryptCurrent.
using Operation = void (*)(OperationContext&);

// What the start command needs of the window beyond its controls.
struct StartCommandHooks {
    std::function<void()> LockInputs;
    std::function<void()> UnlockInputs;
    // Runs the operation against the context, by default on the calling thread. Answers
    // false when the program is ending instead, and the command stops there.
    std::function<bool(Operation, OperationContext&)> run = [](Operation op,
                                                               OperationContext& ctx) {
        op(ctx);
        return true;
    };
    // Ends the program, after the user confirmed the cancellation.
    std::function<void()> endProgram = [] {};
};

// The start command: refuses an empty path, locks the window, asks before encrypting a
// large input, runs the operation and restores the window. While an operation runs (the
// caption reads "Cancel") it only asks whether to cancel and end the program, leaving the
// run's progress and elapsed time as they are.
void btnSTART_Click(OperationContext& ctx, const StartCommandHooks& hooks);

// The key box: any key resets the key-strength meter; Enter starts.
void txtPass1_KeyDown(OperationContext& ctx, const StartCommandHooks& hooks, int keyCode);

// The confirmation box, before the key takes effect: Enter starts; other keys move the
// meter by 4 while the confirmation is shorter than the key, Backspace moves it back; a
// confirmation that would grow longer than the key is refused and cleared. Answers true
// when the key is spent and must not reach the box, so that the cleared box stays empty.
[[nodiscard]] bool txtPass2_KeyDown(OperationContext& ctx, const StartCommandHooks& hooks,
                                    int keyCode);

} // namespace vornal
