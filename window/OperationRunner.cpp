#include "window/OperationRunner.h"

#include "window/CrossThreadWindow.h"
#include "window/Pauser.h"

#include <QEventLoop>
#include <QWidget>
#include <exception>
#include <thread>

namespace vornal {

void OperationRunner::run(const std::function<void(Window&)>& work) {
    CrossThreadWindow crossing(target_, window_, cancelled_);
    InputGuard guard(window_, kLiveWhileRunningProperty, InputGuard::Close::Pass);
    QEventLoop loop;
    std::exception_ptr failure;
    running_ = true;
    cancelled_ = false;
    std::thread thread([&] {
        try {
            work(crossing);
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued, so the loop ends even when it has not started yet.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();
    running_ = false;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void OperationRunner::requestCancel() noexcept {
    if (running_) {
        cancelled_ = true;
    }
}

} // namespace vornal
