#include "operations/EngineWork.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vornal::engine {

char* Bytes::room(std::size_t n) {
    if (capacity_ - size_ < n) {
        const std::size_t capacity = std::max(size_ + n, 2 * capacity_);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) {
            std::memcpy(grown.get(), data_.get(), size_);
        }
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    return data_.get() + size_;
}

ReadAhead::ReadAhead(FileReader& in, std::size_t chunk, std::mutex& io)
    : chunkSize_(chunk), in_(in), io_(io) {
    const bool ahead = chunk >= kSmallChunk;
    for (std::size_t i = 0; i < (ahead ? kChunks : 1); ++i) {
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(chunk));
        free_.push_back(chunks_.back().get());
    }
    if (ahead) {
        reader_ = std::thread([this] { run(in_, io_); });
    }
}

ReadAhead::~ReadAhead() {
    if (!reader_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

std::string_view ReadAhead::next() {
    if (!reader_.joinable()) {
        const std::lock_guard lock(io_);
        return {chunks_[0].get(), in_.read(chunks_[0].get(), chunkSize_)};
    }
    std::unique_lock lock(mutex_);
    if (taken_ != nullptr) {
        free_.push_back(std::exchange(taken_, nullptr));
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return !ready_.empty(); });
    const auto [chunk, size] = ready_.front();
    if (size == 0) {
        // The end stays in place for any further call.
        if (error_) {
            std::rethrow_exception(error_);
        }
        return {};
    }
    ready_.pop_front();
    taken_ = chunk;
    return {chunk, size};
}

void ReadAhead::run(FileReader& in, std::mutex& io) {
    while (true) {
        char* chunk = nullptr;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
            if (stop_) {
                return;
            }
            chunk = free_.back();
            free_.pop_back();
        }
        std::size_t n = 0;
        std::exception_ptr error;
        try {
            std::lock_guard lock(io);
            n = in.read(chunk, chunkSize_);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            error_ = error;
            ready_.emplace_back(chunk, n);
        }
        changed_.notify_all();
        if (n == 0) {
            return;
        }
    }
}

OrderedWork::OrderedWork(unsigned threads, FileWriter& out, std::mutex& io,
                         EngineProgress& progress, Job job)
    : out_(out), io_(io), progress_(progress), job_(std::move(job)),
      maxPending_(2 * std::size_t{threads}) {
    for (std::size_t i = 0; i <= maxPending_; ++i) {
        slots_.push_back(std::make_unique<Slot>());
    }
    // The calling thread gathers, writes and works while it waits: it is one of the threads,
    // so one worker fewer keeps the cores from being oversubscribed.
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

void OrderedWork::submit(std::size_t end, std::uint64_t first, std::uint64_t last) {
    Slot& slot = *slots_[gathering_];
    slot.batch.end = end;
    slot.batch.first = first;
    slot.batch.last = last;
    if (workers_.empty()) {
        job_(slot.batch);
        write(slot.batch.out.view(), last);
        front_ = (front_ + 1) % slots_.size();
    } else {
        {
            std::lock_guard lock(mutex_);
            slot.state = State::Queued;
            queue_.push_back(&slot);
        }
        wake_.notify_one();
        ++pending_;
        while (pending_ > maxPending_) {
            writeFront();
        }
    }
    gathering_ = (front_ + pending_) % slots_.size();
    // Only read, by this thread and perhaps a worker, until its result is written.
    const std::string& handedOn = slot.batch.text;
    gathering().text.assign(handedOn, std::min(end, handedOn.size()));
}

void OrderedWork::drain() {
    while (pending_ > 0) {
        writeFront();
    }
}

void OrderedWork::write(std::string_view bytes, std::uint64_t lastIndex) {
    if (!bytes.empty()) {
        std::lock_guard lock(io_);
        out_.write(bytes);
    }
    progress_.written(lastIndex);
    if (progress_.cancelRequested()) {
        throw OperationCancelled{};
    }
}

void OrderedWork::runQueued(std::unique_lock<std::mutex>& lock) noexcept {
    Slot& slot = *queue_.front();
    queue_.pop_front();
    slot.state = State::Running;
    lock.unlock();
    try {
        job_(slot.batch);
    } catch (...) {
        slot.error = std::current_exception();
    }
    lock.lock();
    slot.state = State::Done;
    done_.notify_all();
}

void OrderedWork::writeFront() {
    Slot& slot = *slots_[front_];
    {
        std::unique_lock lock(mutex_);
        // Rather than wait for the result, this thread does work still queued, the oldest
        // first: it may be the very one waited for.
        while (slot.state != State::Done) {
            if (queue_.empty()) {
                done_.wait(lock);
            } else {
                runQueued(lock);
            }
        }
        slot.state = State::Free;
    }
    front_ = (front_ + 1) % slots_.size();
    --pending_;
    if (slot.error) {
        std::rethrow_exception(std::exchange(slot.error, nullptr));
    }
    write(slot.batch.out.view(), slot.batch.last);
}

void OrderedWork::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) {
            return;
        }
        runQueued(lock);
    }
}

void Batcher::submitWhole() {
    if (whole_ == 0) {
        return;
    }
    work_.submit(wholeBytes_, first_, first_ + whole_ - 1);
    first_ += whole_;
    whole_ = 0;
    wholeBytes_ = 0;
}

} // namespace vornal::engine
