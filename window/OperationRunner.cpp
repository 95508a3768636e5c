#include "window/OperationRunner.h"

#include "window/Pauser.h"

#include <QEventLoop>
#include <QWidget>
#include <exception>
#include <thread>

namespace vornal {

void OperationRunner::run(Operation op, const OperationContext& ctx) {
    CrossThreadWindow crossing(target_, window_);
    OperationContext worker{ctx.state, crossing, ctx.files, ctx.log, ctx.journal, ctx.engine};
    InputGuard guard(window_, kLiveWhileRunningProperty, InputGuard::Close::Pass);
    QEventLoop loop;
    std::exception_ptr failure;
    current_ = &crossing;
    std::thread thread([&] {
        try {
            op(worker);
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued, so the loop ends even when it has not started yet.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();
    current_ = nullptr;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void OperationRunner::requestCancel() noexcept {
    if (current_ != nullptr) {
        current_->requestCancel();
    }
}

} // namespace vornal
