#include "app/cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vornal::cli {

namespace {

constexpr std::uint64_t kDrawnFrom = 1 << 20; // bytes
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr std::size_t kBarWidth = 10;
// " 100% [" bar "] 999.9 MB / 999.9 MB  999.9 MB/s  9:59:59 left"
constexpr std::size_t kLongestTail = 7 + kBarWidth + 2 + 19 + 14 + 12;

std::size_t terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

// "1:05" or "2:01:05".
std::string duration(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

} // namespace

std::string byteCount(double bytes) {
    static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB"};
    std::size_t unit = 0;
    while (bytes >= 1000 && unit + 1 < std::size(kUnits)) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

ProgressBar::ProgressBar(std::string name, bool onTerminal)
    : name_(std::move(name)), onTerminal_(onTerminal) {}

ProgressBar::~ProgressBar() {
    clear();
}

void ProgressBar::read(std::uint64_t length) {
    size_ = length;
}

void ProgressBar::rewriting(std::uint64_t count) {
    count_ = count;
    start_ = Clock::now();
    draw(0, true);
}

void ProgressBar::written(std::uint64_t index) {
    if (count_ > 0) {
        const double share = std::min(1.0, static_cast<double>(index + 1) / count_);
        // The last piece is always shown, so a quick file still ends at 100%.
        draw(static_cast<std::uint64_t>(share * static_cast<double>(size_)), index + 1 >= count_);
    }
}

void ProgressBar::draw(std::uint64_t done, bool force) {
    if (!onTerminal_ || size_ < kDrawnFrom) {
        return;
    }
    const auto now = Clock::now();
    if (!force && now - drawnAt_ < kRedrawEvery) {
        return;
    }
    drawnAt_ = now;
    const double share = static_cast<double>(done) / static_cast<double>(size_);
    const auto filled = static_cast<std::size_t>(share * kBarWidth);
    std::string tail = " " + std::to_string(static_cast<int>(share * 100)) + "% [" +
                       std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " +
                       byteCount(static_cast<double>(done)) + " / " +
                       byteCount(static_cast<double>(size_));
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (done > 0 && seconds > 0) {
        const double rate = static_cast<double>(done) / seconds;
        tail += "  " + byteCount(rate) + "/s  " +
                duration(static_cast<double>(size_ - done) / rate) + " left";
    }
    // The name gets what the longest tail leaves of the line, one column short of the
    // width so that the line never wraps and \r finds its start; a long one loses its
    // beginning, the same each time.
    const std::size_t columns = terminalColumns();
    const std::size_t room = columns > kLongestTail + 4 ? columns - kLongestTail - 4 : 0;
    std::string name = name_;
    if (name.size() > room) {
        std::size_t from = name.size() - room;
        while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) {
            ++from; // not into the middle of a character
        }
        name = "..." + name.substr(from);
    }
    std::cerr << "\r\033[K" << name << tail << std::flush;
    drawn_ = true;
}

void ProgressBar::clear() {
    if (drawn_) {
        std::cerr << "\r\033[K" << std::flush;
        drawn_ = false;
    }
}

} // namespace vornal::cli
