#pragma once

#include <QObject>

class QWidget;

namespace vornal {

// Widgets with this property set to true are drag handles: the pointer still reaches them
// while the window is held, so that it can be moved.
inline constexpr const char* kDragHandleProperty = "vornalDragHandle";

// Widgets with this property set to true stay live while an operation runs: the title
// bar, the start button (whose "Cancel" offers to stop the run) and the areas whose pointer
// moves clear the title-bar buttons' hot pictures.
inline constexpr const char* kLiveWhileRunningProperty = "vornalLiveWhileRunning";

// Holds the window for a while with what it shows on the screen.
class Pauser {
public:
    virtual ~Pauser() = default;
    virtual void pause(QWidget& window, int ms) = 0;
};

// Drops the user's input to one window, pointer events on widgets with the pass property
// apart, and holds back its close requests until the guard ends, unless told to let them
// through.
class InputGuard : public QObject {
public:
    enum class Close { Hold, Pass };

    explicit InputGuard(QWidget& window, const char* passProperty = kDragHandleProperty,
                        Close close = Close::Hold);
    ~InputGuard() override;
    InputGuard(const InputGuard&) = delete;
    InputGuard& operator=(const InputGuard&) = delete;

    [[nodiscard]] bool closeRequested() const noexcept { return closeRequested_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    const char* passProperty_;
    Close close_;
    bool closeRequested_ = false;
};

// Paints the window at once, then runs a local event loop for ms milliseconds: the window
// repaints and can be moved, but no other input to it is acted on. A close request made
// meanwhile is carried out afterwards.
class EventLoopPauser : public Pauser {
public:
    void pause(QWidget& window, int ms) override;
};

} // namespace vornal
