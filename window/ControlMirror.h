#pragma once

#include "window/FormDesign.h"
#include "window/model/WindowModel.h"

#include <functional>

class QWidget;

namespace vornal {

// Keeps the widgets showing the model's state, and puts what the user types into the model.
class ControlMirror : public WindowObserver {
public:
    ControlMirror(WindowModel& model, Controls& controls);
    ~ControlMirror() override;
    ControlMirror(const ControlMirror&) = delete;
    ControlMirror& operator=(const ControlMirror&) = delete;

    // Told when ElapsedTimer starts (true) or stops (false).
    void onTimerRunning(std::function<void(bool)> listener) {
        timerListener_ = std::move(listener);
    }

    // The widget that shows a control; nullptr for the timer.
    [[nodiscard]] QWidget* widget(Ctl c) const;
    // The colour a model colour is painted in.
    [[nodiscard]] static QColor colour(Colour c);

    void changed(Ctl c, Prop p) override;
    void pointerChanged(Pointer p) override;
    void focusChanged(Ctl c) override;

private:
    void showText(Ctl c);
    void showColour(Ctl c, Prop p);
    void showNumber(Ctl c);
    void syncTimer();
    void connectEdits();

    WindowModel& model_;
    Controls& c_;
    std::function<void(bool)> timerListener_;
    bool busy_ = false;     // the override cursor is set
    bool applying_ = false; // a change from the model is being shown
};

} // namespace vornal
