#pragma once

#include "platform/Text.h"
#include "tests/support/RecordingMessages.h"
#include "window/model/WindowModel.h"

#include <ostream>
#include <string>
#include <vector>

namespace vornal::test {

// A window model that keeps what a user would have seen: each look of the status panel
// with how long it was held, every status text, every message box and every move of the
// focus.
class RecordingWindow : public WindowModel, private WindowObserver {
public:
    struct Look {
        Colour panel;
        Colour text;
        std::u16string message;
        int ms;
        bool operator==(const Look&) const = default;
    };

    RecordingWindow() : WindowModel(messages) { addObserver(*this); }

    RecordingMessages messages;
    std::vector<Look> looks;
    std::vector<std::u16string> statusTexts;
    std::vector<Ctl> focusChanges;

private:
    void changed(Ctl c, Prop p) override {
        if (c == Ctl::Status && p == Prop::Text) {
            statusTexts.push_back(state(c).text);
        }
    }
    void focusChanged(Ctl c) override { focusChanges.push_back(c); }
    void paused(int ms) override {
        looks.push_back(
            {state(Ctl::StatusBox).back, state(Ctl::Status).fore, state(Ctl::Status).text, ms});
    }
};

inline void PrintTo(const RecordingWindow::Look& look, std::ostream* os) {
    static const char* const kColours[] = {"neutral", "red", "green", "light", "dark", "face"};
    *os << "{" << kColours[static_cast<int>(look.panel)] << " panel, "
        << kColours[static_cast<int>(look.text)] << " text, \"" << utf16ToUtf8(look.message)
        << "\", " << look.ms << " ms}";
}

// The looks of FlashFailure(message): three red / button-face cycles of 400 ms.
inline std::vector<RecordingWindow::Look> flashLooks(const std::u16string& message) {
    std::vector<RecordingWindow::Look> v;
    for (int i = 0; i < 3; ++i) {
        v.push_back({Colour::Failure, Colour::Light, message, 400});
        v.push_back({Colour::ButtonFace, Colour::Dark, message, 400});
    }
    return v;
}

inline RecordingWindow::Look successLook(const std::u16string& message) {
    return {Colour::Success, Colour::Light, message, 1200};
}

} // namespace vornal::test
