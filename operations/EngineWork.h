#pragma once

// What the two directions of the file engine share: the framing's length field and the
// pool that runs batches on every core and writes their results in order.
#include "operations/Engine.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vornal::engine {

// Blocks of framed text handed to the cipher at once: enough to keep its lanes busy.
inline constexpr std::size_t kGroupBytes = 32 * 1024;

inline void store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::int32_t load32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                     std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

// Runs jobs on worker threads and writes their results in the order they were given, with
// a bounded number in flight so memory stays small.
class OrderedWork {
public:
    OrderedWork(unsigned threads, FileWriter& out, EngineProgress& progress);
    ~OrderedWork();
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    void submit(std::function<std::string()> job, std::uint64_t lastIndex);
    // Writes everything submitted so far.
    void drain();
    // Writes bytes now (if any), then reports pieces 0..lastIndex written.
    void write(const std::string& bytes, std::uint64_t lastIndex);

private:
    void writeFront();
    void work();

    FileWriter& out_;
    EngineProgress& progress_;
    std::size_t maxPending_;
    std::deque<std::pair<std::future<std::string>, std::uint64_t>> pending_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<std::string()>> jobs_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

} // namespace vornal::engine
