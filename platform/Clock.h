#pragma once

#include <string>

namespace vornal {

// The current local date and time as text in the user's formats.
class Clock {
public:
    virtual ~Clock() = default;
    // The user's short date format: date only.
    [[nodiscard]] virtual std::u16string dateText() = 0;
    // The user's long time format: time of day only.
    [[nodiscard]] virtual std::u16string timeText() = 0;
};

// Local time formatted with the locale of the environment (LC_TIME, LANG), through
// strftime's %x and %X.
class SystemClock : public Clock {
public:
    std::u16string dateText() override;
    std::u16string timeText() override;
};

} // namespace vornal
