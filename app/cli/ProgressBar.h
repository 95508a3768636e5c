#pragma once

#include "operations/FileRun.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace vornal::cli {

// A file run's progress on one line of standard error: the bytes done, the rate and the
// time left. Drawn only for files from 1 MB, and only when standard error is a terminal.
class ProgressBar : public RunEvents {
public:
    ProgressBar(std::string name, bool onTerminal);
    ~ProgressBar() override;
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void read(std::uint64_t length) override;
    void rewriting(std::uint64_t count) override;
    void written(std::uint64_t index) override;

    // Takes the bar off its line, so that a message printed next starts it.
    void clear();

private:
    using Clock = std::chrono::steady_clock;

    void draw(std::uint64_t done, bool force);

    std::string name_;
    bool onTerminal_;
    std::uint64_t size_ = 0;
    std::uint64_t count_ = 0; // pieces or parts to write
    Clock::time_point start_;
    Clock::time_point drawnAt_;
    bool drawn_ = false;
};

// "12.3 MB": bytes in decimal units, as disks and rates are told.
[[nodiscard]] std::string byteCount(double bytes);

} // namespace vornal::cli
