#pragma once

#include "platform/Clock.h"

namespace vornal::test {

class FixedClock : public Clock {
public:
    std::u16string dateText() override { return date; }
    std::u16string timeText() override { return time; }
    std::u16string date = u"06/12/2026";
    std::u16string time = u"21:45:07";
};

} // namespace vornal::test
