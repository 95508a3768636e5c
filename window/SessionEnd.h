#pragma once

#include <QObject>
#include <functional>
#include <signal.h>

class QSocketNotifier;

namespace vornal {

// Tells the window that the desktop session ends: on SIGTERM (what a logout or a shutdown
// sends every process), and when the application is asked to quit (what the session
// manager's end of the session becomes in Qt). The signal only wakes the event loop, so
// the window answers it as it answers any other event. One at a time.
class SessionEnd : public QObject {
public:
    explicit SessionEnd(std::function<void()> ending);
    // SIGTERM is handled as before again.
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void woken();

    std::function<void()> ending_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_ {};
};

} // namespace vornal
