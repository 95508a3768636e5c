#pragma once

#include "platform/FileSystem.h"
#include "platform/PosixIo.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vornal::posix {

// Writes that bypass the page cache need their buffer, offset and length aligned; a page
// suits every disk.
inline constexpr std::size_t kDirectAlign = 4096;

// Gathers a long stream into large pieces and writes them from threads of their own while
// the next piece fills. Where the file system allows, the pieces bypass the page cache: a
// stream that must be flushed anyway then costs one pass to the disk instead of a copy
// into fresh cache pages and a write-back. There, two pieces are on their way at a time and
// room on the disk is set aside ahead of them, so that the disk never waits for the next
// request and no write has to grow the file.
class StreamWriter : public FileWriter {
public:
    // How large the file may be before sync: larger than what was handed over, where room
    // is set aside ahead, or never, where its size alone is to tell a whole copy from a
    // part of one (a backup, should the run die while it is made).
    enum class Size { Ahead, AsWritten };

    // direct: fd already bypasses the page cache. newEntry: the path of a file just created,
    // whose folder entry sync makes durable too.
    StreamWriter(Fd fd, bool direct, std::string newEntry = {}, Size size = Size::Ahead);
    ~StreamWriter() override;
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    void write(std::string_view bytes) override;
    // Reads from fd straight into the piece being filled; 0 at the end of its file.
    std::size_t readFrom(int fd);
    void sync() override;
    void close() override;

private:
    struct Piece {
        char* data;
        std::uint64_t offset;
    };
    struct FreeAligned {
        void operator()(char* p) const noexcept;
    };
    using AlignedBuffer = std::unique_ptr<char, FreeAligned>;

    void requireOpen() const;
    // Writes all that was handed over and ends the file there.
    void settle();
    void passOn();
    // Sets room aside past what the pieces handed on so far need.
    void reserveAhead() noexcept;
    void run();
    void stop() noexcept;
    // Writes size bytes at offset; answers the error number, 0 on success. The unaligned
    // end of a direct stream goes through the page cache, which only settle() writes, when
    // no other write is on its way.
    int put(const char* data, std::uint64_t offset, std::size_t size);

    Fd fd_;
    std::atomic<bool> direct_;
    std::string newEntry_;
    std::vector<AlignedBuffer> buffers_;
    char* current_ = nullptr;
    std::size_t fill_ = 0;       // bytes in current_
    std::uint64_t base_ = 0;     // where current_ goes in the file
    std::uint64_t reserved_ = 0; // the file's room set aside so far
    bool reserving_;             // until the file system refuses
    std::atomic<int> error_{0};

    std::mutex mutex_;
    std::condition_variable wake_; // a piece to write, or stop
    std::condition_variable done_; // a piece written
    std::deque<Piece> pieces_;
    std::vector<char*> free_;
    unsigned busy_ = 0; // pieces being written
    bool stopping_ = false;
    std::vector<std::thread> io_;
};

} // namespace vornal::posix
