#include "app/cli/CliWindow.h"

#include "app/cli/CliMain.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>

namespace vornal::cli {

namespace {

// Lock-free, so that the signal handler may set it.
std::atomic<bool> gCancel = false;

// The window's own messageBox answers every box; the model's hook is never reached.
class Unused : public MessageBoxHook {
public:
    MsgAnswer messageBox(const std::u16string&, const std::u16string&, MsgButtons,
                         MsgIcon) override {
        return MsgAnswer::Cancel;
    }
} gUnused;

extern "C" void onCancelSignal(int) {
    gCancel = true;
}

} // namespace

CliWindow::CliWindow() : WindowModel(gUnused) {
    addObserver(*this);
}

void CliWindow::installCancelHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onCancelSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool CliWindow::cancelled() {
    return gCancel;
}

const std::atomic<bool>& CliWindow::cancelFlag() {
    return gCancel;
}

bool CliWindow::cancelRequested() const {
    return cancelled();
}

void CliWindow::beginFile(const std::string& displayName, bool showProgress) {
    name_ = displayName;
    showProgress_ = showProgress;
    succeeded_ = false;
    failed_ = false;
    drawnPercent_ = -1;
}

void CliWindow::clearProgress() {
    if (drawnPercent_ >= 0) {
        std::cerr << "\r\033[K" << std::flush;
        drawnPercent_ = -1;
    }
}

void CliWindow::FlashFailure(const std::u16string& message) {
    clearProgress();
    failed_ = true;
    printError(name_ + ": " + utf16ToUtf8(message));
    ResetStatus();
}

void CliWindow::ShowSuccess(const std::u16string& message) {
    clearProgress();
    succeeded_ = true;
    std::cout << name_ << ": " << utf16ToUtf8(message) << std::endl;
    ResetStatus();
}

MsgAnswer CliWindow::messageBox(const std::u16string& prompt, const std::u16string&,
                                MsgButtons buttons, MsgIcon) {
    clearProgress();
    failed_ = true;
    printError(name_ + ": " + utf16ToUtf8(prompt));
    // Nobody is there to answer a question: the safe answer.
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void CliWindow::changed(Ctl c, Prop p) {
    if (!showProgress_ || c != Ctl::ProgressBar2 || p != Prop::Value) {
        return;
    }
    const ControlState bar = state(Ctl::ProgressBar2);
    if (bar.max <= 0 || bar.value <= 0) {
        return;
    }
    const int percent = static_cast<int>(std::min(100.0, 100.0 * bar.value / bar.max));
    if (percent == drawnPercent_) {
        return;
    }
    drawnPercent_ = percent;
    const int filled = percent * 30 / 100;
    std::cerr << "\r" << name_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(30 - filled), ' ') << "] " << percent << "%"
              << std::flush;
}

} // namespace vornal::cli
