#pragma once

#include "window/Operations.h"

#include <atomic>

class QWidget;

namespace vornal {

// Runs the long part of the window's operations off the window's thread, so that the window
// keeps repainting, its progress moves and the running operation can be cancelled.
class OperationRunner : public Background {
public:
    // window shows target, which lives on the window's thread.
    OperationRunner(QWidget& window, Window& target) : window_(window), target_(target) {}

    // Runs work on a thread of its own, through a window that carries everything over to
    // target. Until work ends this thread goes on handling events: the window repaints and
    // its live parts take the pointer, while other input to it is dropped. Close requests
    // reach the window.
    void run(const std::function<void(Window&)>& work) override;
    [[nodiscard]] const std::atomic<bool>& cancelled() const noexcept override {
        return cancelled_;
    }

    [[nodiscard]] bool running() const noexcept { return running_; }
    // Asks the running work, if any, to stop at its next piece and restore its file; from
    // then on it neither holds the window nor asks the user anything.
    void requestCancel() noexcept;

private:
    QWidget& window_;
    Window& target_;
    bool running_ = false;
    std::atomic<bool> cancelled_ = false;
};

} // namespace vornal
