#pragma once

#include "window/model/WindowModel.h"

#include <atomic>
#include <string>

namespace vornal::cli {

// The window on the command line: failures and message boxes go to standard error once
// (no flashing), success lines to standard output, both naming the file; the progress bar
// is drawn on standard error when it is a terminal.
class CliWindow : public WindowModel, private WindowObserver {
public:
    CliWindow();

    // Starts reporting for another file.
    void beginFile(const std::string& displayName, bool showProgress);
    [[nodiscard]] bool succeeded() const noexcept { return succeeded_; }
    [[nodiscard]] bool failed() const noexcept { return failed_; }

    void FlashFailure(const std::u16string& message) override;
    void ShowSuccess(const std::u16string& message) override;
    void pause(int) override {}
    bool cancelRequested() const override;
    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override;

    // Ctrl-C and SIGTERM ask the running operation to stop and put the file back.
    static void installCancelHandlers();
    [[nodiscard]] static bool cancelled();
    [[nodiscard]] static const std::atomic<bool>& cancelFlag();

private:
    void changed(Ctl c, Prop p) override;
    void clearProgress();

    std::string name_;
    bool showProgress_ = false;
    bool succeeded_ = false;
    bool failed_ = false;
    int drawnPercent_ = -1;
};

} // namespace vornal::cli
