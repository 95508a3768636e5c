#pragma once

#include "window/model/WindowModel.h"

#include <functional>

namespace vornal {

// The controls' state the operations read and write; the widgets mirror it. Its pauses
// are real: observers see each one first, then the hold runs.
class FormModel : public WindowModel {
public:
    FormModel(MessageBoxHook& messages, std::function<void(int)> hold)
        : WindowModel(messages), hold_(std::move(hold)) {}

    void pause(int ms) override {
        WindowModel::pause(ms);
        hold_(ms);
    }

private:
    std::function<void(int)> hold_;
};

} // namespace vornal
