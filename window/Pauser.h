#pragma once

#include <QObject>

class QWidget;

namespace vornal {

// Widgets with this property set to true are drag handles: the pointer still reaches them
// while the window is held, so that it can be moved.
inline constexpr const char* kDragHandleProperty = "vornalDragHandle";

// Holds the window for a while with what it shows on the screen.
class Pauser {
public:
    virtual ~Pauser() = default;
    virtual void pause(QWidget& window, int ms) = 0;
};

// Drops the user's input to one window, drag handles apart, and holds back its close
// requests until the guard ends.
class InputGuard : public QObject {
public:
    explicit InputGuard(QWidget& window);
    ~InputGuard() override;
    InputGuard(const InputGuard&) = delete;
    InputGuard& operator=(const InputGuard&) = delete;

    [[nodiscard]] bool closeRequested() const noexcept { return closeRequested_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
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
