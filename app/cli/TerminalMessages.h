#pragma once

#include "platform/MessageBox.h"

namespace vornal::cli {

// Message boxes on the command line: the prompt goes to standard error. There is nobody to
// answer a question, so questions are answered Cancel unless told otherwise.
class TerminalMessages : public MessageBoxHook {
public:
    explicit TerminalMessages(MsgAnswer questionAnswer = MsgAnswer::Cancel)
        : questionAnswer_(questionAnswer) {}

    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override;

    [[nodiscard]] int count() const noexcept { return count_; }

private:
    MsgAnswer questionAnswer_;
    int count_ = 0;
};

} // namespace vornal::cli
