#pragma once

// What the two directions of the file engine share: batches whose buffers live from one
// batch to the next, the pool that runs them on every core and writes their results in
// order, and the gathering of whole fields or parts into batches.
#include "operations/Engine.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vornal::engine {

// Framed bytes handed to the cipher at once: enough to keep its lanes busy, few enough to
// stay in the processor's nearest caches until they are written out.
inline constexpr std::size_t kGroupBytes = 32 * 1024;
// Fields or parts handed to the byte conversions at once.
inline constexpr std::size_t kGroupUnits = 4096;

// Bytes that grow without being zero-filled first: every byte is written before it is used.
class Bytes {
public:
    [[nodiscard]] std::string_view view() const noexcept { return {data_.get(), size_}; }
    void clear() noexcept { size_ = 0; }
    // Room for n bytes after the content, for the caller to fill and then commit.
    [[nodiscard]] char* room(std::size_t n);
    void commit(std::size_t n) noexcept { size_ += n; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Grows v to at least n elements; kept from batch to batch, it is zero-filled only once.
template <typename T>
void atLeast(std::vector<T>& v, std::size_t n) {
    if (v.size() < n) {
        v.resize(n);
    }
}

// Reads a file ahead in chunks on a thread of its own while the caller works on the chunk
// before; chunks too small to be worth handing over are read when asked for. Every read
// takes io: a writer that takes it too never writes at the same time, which matters where
// the file is written over behind the reading.
class ReadAhead {
public:
    ReadAhead(FileReader& in, std::size_t chunk, std::mutex& io);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // The next chunk, valid until the next call; empty at the end of the file. Throws what
    // reading threw.
    [[nodiscard]] std::string_view next();

private:
    static constexpr std::size_t kChunks = 3; // one being read, one worked on, one spare
    static constexpr std::size_t kSmallChunk = 512;
    void run(FileReader& in, std::mutex& io);

    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t chunkSize_;
    FileReader& in_;
    std::mutex& io_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<char*, std::size_t>> ready_; // read and not yet taken
    std::vector<char*> free_;
    char* taken_ = nullptr; // the chunk the caller works on
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread reader_;
};

// Whole fields or parts for one worker, what they give, and the scratch that gives it.
struct Batch {
    std::string text;        // the units, and while it is gathered, one begun after them
    std::size_t end = 0;     // where the whole units end in text
    std::uint64_t first = 0; // the index of its first unit in the file
    std::uint64_t last = 0;  // and of its last
    Bytes out;
    std::vector<std::uint8_t> frames;
    std::vector<std::uint32_t> blocks;
};

// Runs one job on batches on worker threads and writes their results in the order they
// were handed on, with a bounded number in flight so memory stays small. The calling thread
// gathers the batches and, while it waits for a result, does work still queued.
class OrderedWork {
public:
    using Job = std::function<void(Batch&)>;

    // Writes take io (see ReadAhead).
    OrderedWork(unsigned threads, FileWriter& out, std::mutex& io, EngineProgress& progress,
                Job job);
    ~OrderedWork();
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // The batch the calling thread gathers.
    [[nodiscard]] Batch& gathering() noexcept { return slots_[gathering_]->batch; }
    // Hands on the gathering batch, its units first..last ending at byte end; the next batch
    // to gather begins with the rest of its text. A job's exception is thrown when its
    // result would be written.
    void submit(std::size_t end, std::uint64_t first, std::uint64_t last);
    // Writes everything handed on so far.
    void drain();
    // Writes bytes now (if any), then reports pieces 0..lastIndex written.
    void write(std::string_view bytes, std::uint64_t lastIndex);

private:
    enum class State { Free, Queued, Running, Done };
    struct Slot {
        Batch batch;
        State state = State::Free;
        std::exception_ptr error;
    };

    // Runs the oldest queued job; lock is held before and after.
    void runQueued(std::unique_lock<std::mutex>& lock) noexcept;
    void writeFront();
    void work();

    FileWriter& out_;
    std::mutex& io_;
    EngineProgress& progress_;
    Job job_;
    std::size_t maxPending_;
    std::vector<std::unique_ptr<Slot>> slots_; // a ring, in the order handed on
    std::size_t front_ = 0;                    // the oldest not yet written
    std::size_t pending_ = 0;                  // handed on and not yet written
    std::size_t gathering_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_; // a batch queued, or stop
    std::condition_variable done_; // a batch done
    std::deque<Slot*> queue_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

// Gathers whole units (fields or parts) into batches; the unit begun at the end of one
// batch goes on in the next.
class Batcher {
public:
    explicit Batcher(OrderedWork& work) : work_(work) {}
    [[nodiscard]] std::string& text() noexcept { return work_.gathering().text; }
    // The index of the first unit of the batch, and how many whole ones it has.
    [[nodiscard]] std::uint64_t first() const noexcept { return first_; }
    [[nodiscard]] std::uint64_t whole() const noexcept { return whole_; }
    // n more whole units, which end at byte end of text().
    void addWhole(std::uint64_t n, std::size_t end) noexcept {
        whole_ += n;
        wholeBytes_ = end;
    }
    // Hands the whole units on; the unit begun stays.
    void submitWhole();
    // The next unit is not gathered: it streams on its own.
    void skip() noexcept { ++first_; }

private:
    OrderedWork& work_;
    std::uint64_t first_ = 0;
    std::uint64_t whole_ = 0;
    std::size_t wholeBytes_ = 0;
};

} // namespace vornal::engine
