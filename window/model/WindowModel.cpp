#include "window/model/WindowModel.h"

namespace vornal {

namespace {

Change changeOf(Prop prop) {
    Change ch;
    ch.prop = prop;
    return ch;
}

} // namespace

void Window::setText(Ctl c, std::u16string text) {
    Change ch = changeOf(Prop::Text);
    ch.text = std::move(text);
    apply(c, ch);
}

void Window::setFlag(Ctl c, Prop prop, bool on) {
    Change ch = changeOf(prop);
    ch.flag = on;
    apply(c, ch);
}

void Window::setColour(Ctl c, Prop prop, Colour colour) {
    Change ch = changeOf(prop);
    ch.colour = colour;
    apply(c, ch);
}

void Window::setNumber(Ctl c, Prop prop, double number) {
    Change ch = changeOf(prop);
    ch.number = number;
    apply(c, ch);
}

void Window::SetStatusNeutral() {
    setBack(Ctl::StatusBox, Colour::Neutral);
    setFore(Ctl::Status, Colour::Dark);
}

void Window::SetStatus(const std::u16string& text) {
    SetStatusNeutral();
    setText(Ctl::Status, text);
}

void Window::ResetProgress() {
    setValue(Ctl::ProgressBar2, 0);
}

void Window::ResetStatus() {
    setInterval(Ctl::ElapsedTimer, 0);
    ResetProgress();
    SetStatus(u"Ready.");
}

void Window::FlashFailure(const std::u16string& message) {
    setInterval(Ctl::ElapsedTimer, 0);
    for (int i = 0; i < 3; ++i) {
        setFore(Ctl::Status, Colour::Light);
        setBack(Ctl::StatusBox, Colour::Failure);
        setText(Ctl::Status, message);
        pause(400);
        setFore(Ctl::Status, Colour::Dark);
        setBack(Ctl::StatusBox, Colour::ButtonFace);
        setText(Ctl::Status, message);
        pause(400);
    }
    ResetStatus();
}

void Window::ShowSuccess(const std::u16string& message) {
    setInterval(Ctl::ElapsedTimer, 0);
    setBack(Ctl::StatusBox, Colour::Success);
    setFore(Ctl::Status, Colour::Light);
    setText(Ctl::Status, message);
    pause(1200);
    ResetStatus();
}

namespace {

ControlState control(std::u16string text, bool visible = true) {
    ControlState s;
    s.text = std::move(text);
    s.visible = visible;
    return s;
}

} // namespace

WindowModel::WindowModel(MessageBoxHook& messages) : messages_(messages) {
    auto& c = controls_;
    c[index(Ctl::stringpath)] = control(u"", false);
    c[index(Ctl::btnSTART)] = control(u"Encrypt!");
    c[index(Ctl::view_file)] = control(u"View File");
    c[index(Ctl::Command4)] = control(u"Exit", false);
    c[index(Ctl::btnAbout)] = control(u"Help");
    c[index(Ctl::btnHelp)] = control(u"System Info");
    c[index(Ctl::btnViewHistory)] = control(u"View History");
    c[index(Ctl::btnClearHis)] = control(u"Clear History");
    c[index(Ctl::StatusBox)].back = Colour::Neutral;
    c[index(Ctl::Status)] = control(u"Status");
    c[index(Ctl::labelFileSize)] = control(u"File size:");
    c[index(Ctl::Label3)] = control(u"Enter path of file to encrypt:");
    c[index(Ctl::Label4)] = control(u"Enter encryption key:");
    c[index(Ctl::optFile)] = control(u"File");
    c[index(Ctl::optFile)].value = 1;
    c[index(Ctl::optString)] = control(u"String");
    c[index(Ctl::encryption)] = control(u"Encryption");
    c[index(Ctl::encryption)].value = 1;
    c[index(Ctl::decryption)] = control(u"Decryption");
    c[index(Ctl::ElapsedTimer)].enabled = true;
}

void WindowModel::apply(Ctl c, const Change& change) {
    ControlState& s = controls_[index(c)];
    switch (change.prop) {
    case Prop::Text:
        s.text = change.text;
        break;
    case Prop::Enabled:
        s.enabled = change.flag;
        break;
    case Prop::Visible:
        s.visible = change.flag;
        break;
    case Prop::Back:
        s.back = change.colour;
        break;
    case Prop::Fore:
        s.fore = change.colour;
        break;
    case Prop::Value:
        s.value = change.number;
        break;
    case Prop::Max:
        s.max = change.number;
        break;
    case Prop::Interval:
        s.interval = static_cast<int>(change.number);
        break;
    }
    for (auto* o : observers_) {
        o->changed(c, change.prop);
    }
}

void WindowModel::setPointer(Pointer p) {
    pointer_ = p;
    for (auto* o : observers_) {
        o->pointerChanged(p);
    }
}

void WindowModel::setFocus(Ctl c) {
    focus_ = c;
    for (auto* o : observers_) {
        o->focusChanged(c);
    }
}

void WindowModel::pause(int ms) {
    for (auto* o : observers_) {
        o->paused(ms);
    }
}

MsgAnswer WindowModel::messageBox(const std::u16string& prompt, const std::u16string& title,
                                  MsgButtons buttons, MsgIcon icon) {
    return messages_.messageBox(prompt, title, buttons, icon);
}

} // namespace vornal
