#pragma once

#include "platform/MessageBox.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vornal {

// The controls of the main window that the program's logic reads and writes.
enum class Ctl : std::size_t {
    filepath,
    stringpath,
    txtPass1,
    txtPass2,
    btnSTART,
    view_file,
    Command4,
    btnAbout,
    btnHelp,
    btnViewHistory,
    btnClearHis,
    ProgressBar2,
    pgKey,
    ElapsedTimer,
    StatusBox,
    Status,
    labelFileSize,
    Label3,
    Label4,
    optFile,
    optString,
    encryption,
    decryption,
    Frame3,
    Frame4,
    DriveList,
    DirList,
    FileList,
    Count
};

// Colours the logic gives controls; the window turns them into its own.
enum class Colour {
    Neutral,    // RGB(192,192,192), the resting status panel
    Failure,    // RGB(255,0,0)
    Success,    // RGB(0,150,0)
    Light,      // RGB(255,255,255): light text, enabled lists and key boxes
    Dark,       // RGB(0,0,0)
    ButtonFace, // the system's button face
};

enum class Pointer { Default, Busy };

// One control's state: its text or caption, the enabled and visible flags, colours, the
// value and maximum of a progress bar or option, and the interval of a timer.
struct ControlState {
    std::u16string text;
    bool enabled = true;
    bool visible = true;
    Colour back = Colour::Light;
    Colour fore = Colour::Dark;
    double value = 0;
    double max = 100;
    int interval = 0;
};

enum class Prop { Text, Enabled, Visible, Back, Fore, Value, Max, Interval };

// One property's new value; the field that prop names is the one used.
struct Change {
    Prop prop = Prop::Text;
    std::u16string text;
    bool flag = false;
    Colour colour = Colour::Light;
    double number = 0; // value, maximum, or timer interval in ms
};

// What the logic needs of the main window: its controls' state, the status panel, message
// boxes, pauses, the pointer and the focus. The Qt window, the command line and the tests
// each provide one.
class Window : public MessageBoxHook {
public:
    [[nodiscard]] virtual ControlState state(Ctl c) const = 0;
    virtual void apply(Ctl c, const Change& change) = 0;
    virtual void setPointer(Pointer p) = 0;
    virtual void setFocus(Ctl c) = 0;
    // Holds the window for ms milliseconds with what it shows painted.
    virtual void pause(int ms) = 0;

    // Shorthands over state / set.
    [[nodiscard]] std::u16string text(Ctl c) const { return state(c).text; }
    [[nodiscard]] bool enabled(Ctl c) const { return state(c).enabled; }
    [[nodiscard]] double value(Ctl c) const { return state(c).value; }
    void setText(Ctl c, std::u16string text);
    void setEnabled(Ctl c, bool on) { setFlag(c, Prop::Enabled, on); }
    void setVisible(Ctl c, bool on) { setFlag(c, Prop::Visible, on); }
    void setBack(Ctl c, Colour colour) { setColour(c, Prop::Back, colour); }
    void setFore(Ctl c, Colour colour) { setColour(c, Prop::Fore, colour); }
    void setValue(Ctl c, double v) { setNumber(c, Prop::Value, v); }
    void setMax(Ctl c, double m) { setNumber(c, Prop::Max, m); }
    void setInterval(Ctl c, int ms) { setNumber(c, Prop::Interval, ms); }
    void setFlag(Ctl c, Prop prop, bool on);
    void setColour(Ctl c, Prop prop, Colour colour);
    void setNumber(Ctl c, Prop prop, double number);

    // The status panel. The defaults paint it through the controls and pauses; a front
    // end without a panel (the command line) reports the messages its own way instead.
    virtual void SetStatusNeutral();
    virtual void SetStatus(const std::u16string& text);
    virtual void ResetProgress();
    virtual void ResetStatus();
    // Three red / button-face cycles of 400 ms showing message, then "Ready.".
    virtual void FlashFailure(const std::u16string& message);
    // Green for 1200 ms showing message, then "Ready.".
    virtual void ShowSuccess(const std::u16string& message);
};

// Told of every change to a WindowModel.
class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    virtual void changed(Ctl, Prop) {}
    virtual void pointerChanged(Pointer) {}
    virtual void focusChanged(Ctl) {}
    virtual void paused(int /*ms*/) {}
};

// A window that is a plain model of the controls: it keeps their state, tells observers of
// each change, and hands message boxes to a hook. Pauses are reported, not slept.
class WindowModel : public Window {
public:
    // The design state of the controls; messages go to the given hook.
    explicit WindowModel(MessageBoxHook& messages);

    ControlState state(Ctl c) const override { return controls_[index(c)]; }
    void apply(Ctl c, const Change& change) override;
    void setPointer(Pointer p) override;
    void setFocus(Ctl c) override;
    void pause(int ms) override;
    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override;

    [[nodiscard]] Pointer pointer() const noexcept { return pointer_; }
    [[nodiscard]] Ctl focus() const noexcept { return focus_; }

    void addObserver(WindowObserver& observer) { observers_.push_back(&observer); }

private:
    static std::size_t index(Ctl c) { return static_cast<std::size_t>(c); }

    MessageBoxHook& messages_;
    std::array<ControlState, static_cast<std::size_t>(Ctl::Count)> controls_;
    Pointer pointer_ = Pointer::Default;
    Ctl focus_ = Ctl::filepath;
    std::vector<WindowObserver*> observers_;
};

} // namespace vornal
