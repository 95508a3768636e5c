#include "window/SessionEnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vornal {

namespace {

// The pipe the signal handler writes to and the event loop reads from.
int wakeFds[2] = {-1, -1};

extern "C" void onTerminate(int) {
    // Only what is safe in a signal handler: one write, errno kept. A full pipe has
    // enough in it already.
    const int saved = errno;
    const char byte = 1;
    (void)!::write(wakeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

SessionEnd::SessionEnd(std::function<void()> ending) : ending_(std::move(ending)) {
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::woken);
        struct sigaction action {};
        action.sa_handler = onTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, &previous_);
    }
    QCoreApplication::instance()->installEventFilter(this);
}

SessionEnd::~SessionEnd() {
    if (notifier_ != nullptr) {
        ::sigaction(SIGTERM, &previous_, nullptr);
        delete notifier_;
        ::close(wakeFds[0]);
        ::close(wakeFds[1]);
        wakeFds[0] = wakeFds[1] = -1;
    }
}

void SessionEnd::woken() {
    char drained[64];
    while (::read(wakeFds[0], drained, sizeof drained) > 0) {
    }
    ending_();
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        // The window ends the program itself, once any run has put its file back.
        ending_();
        return true;
    }
    return false;
}

} // namespace vornal
