#pragma once

#include "window/model/WindowModel.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <optional>
#include <type_traits>

namespace vornal {

// The window as an operation on another thread sees it: every read and change is carried
// out on the window's own thread, in the order the operation makes them, and the
// operation waits for each, so what the user sees keeps the operation's order and a
// message box stays modal to the window.
class CrossThreadWindow : public Window {
public:
    // target lives on the thread of uiContext; once cancel is raised, the operation neither
    // holds the window nor asks the user anything.
    CrossThreadWindow(Window& target, QObject& uiContext, const std::atomic<bool>& cancel)
        : target_(target), ui_(uiContext), cancel_(cancel) {}

    ControlState state(Ctl c) const override;
    void apply(Ctl c, const Change& change) override;
    void setPointer(Pointer p) override;
    void setFocus(Ctl c) override;
    void pause(int ms) override;
    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override;

    void SetStatusNeutral() override;
    void SetStatus(const std::u16string& text) override;
    void ResetProgress() override;
    void ResetStatus() override;
    void FlashFailure(const std::u16string& message) override;
    void ShowSuccess(const std::u16string& message) override;

private:
    [[nodiscard]] bool cancelRequested() const { return cancel_.load(); }

    template <typename F>
    auto onUiThread(F&& f) const {
        using Result = std::invoke_result_t<F&>;
        if (QThread::currentThread() == ui_.thread()) {
            return f();
        }
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(&ui_, f, Qt::BlockingQueuedConnection);
        } else {
            std::optional<Result> result;
            QMetaObject::invokeMethod(
                &ui_, [&] { result.emplace(f()); }, Qt::BlockingQueuedConnection);
            return std::move(*result);
        }
    }

    Window& target_;
    QObject& ui_;
    const std::atomic<bool>& cancel_;
};

} // namespace vornal
