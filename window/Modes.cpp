#include "window/Modes.h"

namespace vornal {

namespace {

bool selected(const Window& w, Ctl option) {
    return w.value(option) != 0;
}

void setLabel3(Window& w) {
    const bool encrypt = selected(w, Ctl::encryption);
    if (selected(w, Ctl::optString)) {
        w.setText(Ctl::Label3, encrypt ? u"Enter string to encrypt:" : u"Enter string to decrypt:");
    } else {
        w.setText(Ctl::Label3,
                  encrypt ? u"Enter path of file to encrypt:" : u"Enter path of file to decrypt:");
    }
}

void setLists(Window& w, bool on) {
    for (Ctl list : {Ctl::FileList, Ctl::DirList, Ctl::DriveList}) {
        w.setEnabled(list, on);
        w.setBack(list, on ? Colour::Light : Colour::ButtonFace);
    }
}

void setKeyBoxes(Window& w, bool on) {
    for (Ctl box : {Ctl::txtPass1, Ctl::txtPass2}) {
        w.setEnabled(box, on);
        w.setBack(box, on ? Colour::Light : Colour::ButtonFace);
    }
}

void setOptions(Window& w, bool on) {
    for (Ctl c : {Ctl::Frame3, Ctl::Frame4}) {
        w.setEnabled(c, on);
    }
    setKeyBoxes(w, on);
    for (Ctl c : {Ctl::optFile, Ctl::optString, Ctl::encryption, Ctl::decryption}) {
        w.setEnabled(c, on);
    }
}

void direction(Window& w, const char16_t* caption) {
    w.setText(Ctl::Label4, u"Enter encryption key:");
    w.setText(Ctl::btnSTART, caption);
    setLabel3(w);
}

} // namespace

void optFile_Click(Window& w, ProcessState& state) {
    state.FileMode = true;
    setLists(w, true);
    w.setVisible(Ctl::view_file, true);
    w.setVisible(Ctl::labelFileSize, true);
    w.setVisible(Ctl::stringpath, false);
    w.setVisible(Ctl::filepath, true);
    setLabel3(w);
}

void optString_Click(Window& w, ProcessState& state) {
    w.setText(Ctl::filepath, u"");
    state.FileMode = false;
    setLists(w, false);
    w.setVisible(Ctl::filepath, false);
    w.setVisible(Ctl::view_file, false);
    w.setVisible(Ctl::labelFileSize, false);
    w.setVisible(Ctl::stringpath, true);
    setLabel3(w);
}

void encryption_Click(Window& w) {
    direction(w, u"Encrypt!");
}

void decryption_Click(Window& w) {
    direction(w, u"Decrypt!");
}

void selectOption(Window& w, Ctl option) {
    Ctl other = option;
    switch (option) {
    case Ctl::optFile:
        other = Ctl::optString;
        break;
    case Ctl::optString:
        other = Ctl::optFile;
        break;
    case Ctl::encryption:
        other = Ctl::decryption;
        break;
    case Ctl::decryption:
        other = Ctl::encryption;
        break;
    default:
        return;
    }
    // The other first, so that whoever watches the option sees the pair settled.
    w.setValue(other, 0);
    w.setValue(option, 1);
}

void LockInputs(Window& w) {
    setOptions(w, false);
}

void UnlockInputs(Window& w) {
    w.setEnabled(Ctl::filepath, true);
    w.setEnabled(Ctl::btnHelp, true);
    w.setEnabled(Ctl::btnAbout, true);
    setOptions(w, true);
}

} // namespace vornal
