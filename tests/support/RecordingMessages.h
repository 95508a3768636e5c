#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <string>
#include <vector>

namespace vornal::test {

// Records every message box and answers questions from a script (Ok when it runs out).
class RecordingMessages : public MessageBoxHook {
public:
    struct Box {
        std::u16string prompt;
        std::u16string title;
        MsgButtons buttons;
        MsgIcon icon;
    };

    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override {
        boxes.push_back({prompt, title, buttons, icon});
        if (answers.empty()) {
            return MsgAnswer::Ok;
        }
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<Box> boxes;
    std::deque<MsgAnswer> answers;
};

} // namespace vornal::test
