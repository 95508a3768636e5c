#include "platform/StreamWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace vornal::posix {

namespace {

// Large enough that the disk streams at full speed, few enough that memory stays small.
constexpr std::size_t kStreamPiece = 4 << 20;
// Pieces on their way to the disk at once: two past the page cache, so that the disk never
// waits for the next request; through it one is as fast, the kernel copying the bytes.
constexpr unsigned kWritesInFlight = 2;
// Room is set aside in steps: each one makes the writes on the disk wait for a moment.
constexpr std::uint64_t kReserveStep = 64 << 20;

} // namespace

void StreamWriter::FreeAligned::operator()(char* p) const noexcept {
    std::free(p);
}

StreamWriter::StreamWriter(Fd fd, bool direct, std::string newEntry, Size size)
    : fd_(std::move(fd)), direct_(direct), newEntry_(std::move(newEntry)),
      reserving_(size == Size::Ahead) {
    const unsigned writes = direct ? kWritesInFlight : 1;
    // Besides those on their way, one being filled and one ready for the next.
    for (std::size_t i = 0; i < writes + 2; ++i) {
        auto* p = static_cast<char*>(std::aligned_alloc(kDirectAlign, kStreamPiece));
        if (p == nullptr) {
            throw std::bad_alloc();
        }
        buffers_.emplace_back(p);
        free_.push_back(p);
    }
    current_ = free_.back();
    free_.pop_back();
    for (unsigned i = 0; i < writes; ++i) {
        io_.emplace_back([this] { run(); });
    }
}

StreamWriter::~StreamWriter() {
    stop();
}

void StreamWriter::write(std::string_view bytes) {
    requireOpen();
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), kStreamPiece - fill_);
        std::memcpy(current_ + fill_, bytes.data(), n);
        fill_ += n;
        bytes.remove_prefix(n);
        if (fill_ == kStreamPiece) {
            passOn();
        }
    }
}

std::size_t StreamWriter::readFrom(int fd) {
    requireOpen();
    const std::size_t n = readSome(fd, current_ + fill_, kStreamPiece - fill_);
    fill_ += n;
    if (fill_ == kStreamPiece) {
        passOn();
    }
    return n;
}

void StreamWriter::sync() {
    settle();
    syncOrThrow(fd_.get());
    if (!newEntry_.empty()) {
        syncFolderOf(newEntry_);
    }
}

void StreamWriter::close() {
    if (!fd_.isOpen()) {
        return;
    }
    settle();
    stop();
    fd_.close();
}

void StreamWriter::requireOpen() const {
    if (!fd_.isOpen()) {
        throwError(EBADF);
    }
    if (const int err = error_.load()) {
        throwError(err);
    }
}

void StreamWriter::settle() {
    requireOpen();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pieces_.empty() && busy_ == 0; });
    lock.unlock();
    requireOpen();
    // The piece being filled stays here to be continued; writing it again later from
    // its start only repeats the same bytes.
    if (const int err = put(current_, base_, fill_)) {
        error_ = err;
        throwError(err);
    }
    // Also gives back the room set aside past the end.
    if (::ftruncate(fd_.get(), static_cast<off_t>(base_ + fill_)) != 0) {
        throwErrno();
    }
    reserved_ = base_ + fill_;
}

void StreamWriter::passOn() {
    std::unique_lock lock(mutex_);
    pieces_.push_back({current_, base_});
    wake_.notify_one();
    base_ += kStreamPiece;
    fill_ = 0;
    lock.unlock();
    reserveAhead();
    lock.lock();
    done_.wait(lock, [this] { return !free_.empty(); });
    current_ = free_.back();
    free_.pop_back();
    lock.unlock();
    requireOpen();
}

void StreamWriter::reserveAhead() noexcept {
    // Past the page cache a write that grows the file waits for the disk on its own, so
    // the file is made larger ahead of the writes; settle() cuts it to what was written.
    if (!direct_ || !reserving_ || base_ + kStreamPiece <= reserved_) {
        return;
    }
    if (::fallocate(fd_.get(), 0, static_cast<off_t>(reserved_),
                    static_cast<off_t>(kReserveStep)) == 0) {
        reserved_ += kReserveStep;
    } else {
        // Not offered here, or not that much room left: the writes grow the file.
        reserving_ = false;
    }
}

void StreamWriter::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !pieces_.empty(); });
        if (stopping_) {
            return;
        }
        const Piece piece = pieces_.front();
        pieces_.pop_front();
        ++busy_;
        lock.unlock();
        // After a failure nothing more is written: the caller hears of it and stops.
        int err = error_.load() != 0 ? 0 : put(piece.data, piece.offset, kStreamPiece);
        if (err == 0 && !direct_) {
            // Through the page cache: start its way to the disk now, so that the flush at
            // the end finds little left to do.
            if (::sync_file_range(fd_.get(), static_cast<off_t>(piece.offset),
                                  static_cast<off_t>(kStreamPiece), SYNC_FILE_RANGE_WRITE) != 0 &&
                errno != ENOSYS && errno != EINVAL) {
                err = errno;
            }
        }
        lock.lock();
        if (err != 0 && error_.load() == 0) {
            error_ = err;
        }
        free_.push_back(piece.data);
        --busy_;
        done_.notify_all();
    }
}

void StreamWriter::stop() noexcept {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : io_) {
        if (t.joinable()) {
            t.join();
        }
    }
}

int StreamWriter::put(const char* data, std::uint64_t offset, std::size_t size) {
    bool tail = false; // the page cache was turned to for the unaligned end
    int err = 0;
    while (size > 0) {
        std::size_t n = size;
        if (direct_) {
            n = size / kDirectAlign * kDirectAlign;
            if (n == 0) {
                if (!setDirect(fd_.get(), false)) {
                    return errno;
                }
                direct_ = false;
                tail = true;
                continue;
            }
        }
        const ssize_t written = ::pwrite(fd_.get(), data, n, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EINVAL && direct_) {
                // Accepted at open, refused on writing: go on through the page cache.
                direct_ = false;
                if (!setDirect(fd_.get(), false)) {
                    return errno;
                }
                continue;
            }
            err = errno;
            break;
        }
        if (written == 0) {
            err = ENOSPC;
            break;
        }
        data += written;
        offset += static_cast<std::uint64_t>(written);
        size -= static_cast<std::size_t>(written);
        if (direct_ && static_cast<std::size_t>(written) % kDirectAlign != 0) {
            // A short write left the rest unaligned.
            direct_ = false;
            if (!setDirect(fd_.get(), false)) {
                return errno;
            }
        }
    }
    // A file system that said yes once and no now stays with the page cache.
    if (tail && setDirect(fd_.get(), true)) {
        direct_ = true;
    }
    return err;
}

} // namespace vornal::posix
