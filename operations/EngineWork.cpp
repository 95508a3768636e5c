#include "operations/EngineWork.h"

#include <chrono>

namespace vornal::engine {

OrderedWork::OrderedWork(unsigned threads, FileWriter& out, EngineProgress& progress)
    : out_(out), progress_(progress), maxPending_(threads * 2) {
    // The calling thread reads, splits and writes: it is one of the threads, so one
    // worker fewer keeps the cores from being oversubscribed.
    for (unsigned i = 1; i < threads; ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

OrderedWork::~OrderedWork() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) {
        t.join();
    }
}

void OrderedWork::submit(std::function<std::string()> job, std::uint64_t lastIndex) {
    if (workers_.empty()) {
        write(job(), lastIndex);
        return;
    }
    std::packaged_task<std::string()> task(std::move(job));
    pending_.emplace_back(task.get_future(), lastIndex);
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(task));
    }
    wake_.notify_one();
    while (pending_.size() > maxPending_) {
        writeFront();
    }
}

void OrderedWork::drain() {
    while (!pending_.empty()) {
        writeFront();
    }
}

void OrderedWork::write(const std::string& bytes, std::uint64_t lastIndex) {
    if (!bytes.empty()) {
        out_.write(bytes);
    }
    progress_.written(lastIndex);
    if (progress_.cancelRequested()) {
        throw OperationCancelled{};
    }
}

void OrderedWork::writeFront() {
    auto [future, lastIndex] = std::move(pending_.front());
    pending_.pop_front();
    // Rather than wait for the result, this thread does work still queued.
    while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::packaged_task<std::string()> task;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty()) {
                break;
            }
            // The oldest first: it may be the very one waited for.
            task = std::move(jobs_.front());
            jobs_.pop_front();
        }
        task();
    }
    write(future.get(), lastIndex);
}

void OrderedWork::work() {
    while (true) {
        std::packaged_task<std::string()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            task = std::move(jobs_.front());
            jobs_.pop_front();
        }
        task();
    }
}

} // namespace vornal::engine
