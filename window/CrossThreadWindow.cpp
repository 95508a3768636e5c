#include "window/CrossThreadWindow.h"

namespace vornal {

ControlState CrossThreadWindow::state(Ctl c) const {
    return onUiThread([&] { return target_.state(c); });
}

void CrossThreadWindow::apply(Ctl c, const Change& change) {
    onUiThread([&] { target_.apply(c, change); });
}

void CrossThreadWindow::setPointer(Pointer p) {
    onUiThread([&] { target_.setPointer(p); });
}

void CrossThreadWindow::setFocus(Ctl c) {
    onUiThread([&] { target_.setFocus(c); });
}

void CrossThreadWindow::pause(int ms) {
    if (!cancelRequested()) {
        onUiThread([&] { target_.pause(ms); });
    }
}

MsgAnswer CrossThreadWindow::messageBox(const std::u16string& prompt, const std::u16string& title,
                                        MsgButtons buttons, MsgIcon icon) {
    if (cancelRequested()) {
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    return onUiThread([&] { return target_.messageBox(prompt, title, buttons, icon); });
}

void CrossThreadWindow::SetStatusNeutral() {
    onUiThread([&] { target_.SetStatusNeutral(); });
}

void CrossThreadWindow::SetStatus(const std::u16string& text) {
    onUiThread([&] { target_.SetStatus(text); });
}

void CrossThreadWindow::ResetProgress() {
    onUiThread([&] { target_.ResetProgress(); });
}

void CrossThreadWindow::ResetStatus() {
    onUiThread([&] { target_.ResetStatus(); });
}

void CrossThreadWindow::FlashFailure(const std::u16string& message) {
    if (!cancelRequested()) {
        onUiThread([&] { target_.FlashFailure(message); });
    }
}

void CrossThreadWindow::ShowSuccess(const std::u16string& message) {
    if (!cancelRequested()) {
        onUiThread([&] { target_.ShowSuccess(message); });
    }
}

} // namespace vornal
