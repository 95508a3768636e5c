#pragma once

#include "window/CrossThreadWindow.h"
#include "window/StartCommand.h"

class QWidget;

namespace vornal {

// Runs operations off the window's thread, so that the window keeps repainting, its
// progress moves and the running operation can be cancelled.
class OperationRunner {
public:
    // window shows target, which lives on the window's thread.
    OperationRunner(QWidget& window, Window& target) : window_(window), target_(target) {}

    // Runs op on a thread of its own with ctx's state, files, log and engine, through a
    // window that carries everything over to target. Until op ends this thread goes on
    // handling events: the window repaints and its live parts take the pointer, while
    // other input to it is dropped. Close requests reach the window.
    void run(Operation op, const OperationContext& ctx);

    [[nodiscard]] bool running() const noexcept { return current_ != nullptr; }
    // Asks the running operation, if any, to stop at its next piece and restore its file.
    void requestCancel() noexcept;

private:
    QWidget& window_;
    Window& target_;
    CrossThreadWindow* current_ = nullptr;
};

} // namespace vornal
