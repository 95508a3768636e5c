// What the window shows of a file and of the running time: the size label and the clock.
#include "window/FileDisplay.h"

#include "platform/RunError.h"
#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/State.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vornal::test {
namespace {

TEST(FileSizeText, BytesThenKbThenMbWithDigitsCutNotRounded) {
    const std::pair<std::uint64_t, std::u16string> cases[] = {
        {0, u"File size: 0 bytes"},          {1023, u"File size: 1023 bytes"},
        {1024, u"File size: 1 kb"},          {1025, u"File size: 1.00 kb"},
        {1536, u"File size: 1.5 kb"},        {3000, u"File size: 2.92 kb"},
        {1048575, u"File size: 1023.99 kb"}, {1048576, u"File size: 1 mb"},
        {5000000, u"File size: 4.76 mb"},
    };
    for (const auto& [length, text] : cases) {
        EXPECT_EQ(fileSizeText(length), text) << length;
    }
}

TEST(ElapsedText, TenthsBelowAMinuteThenMinutesThenHours) {
    const std::pair<float, std::u16string> cases[] = {
        {0.0f, u"0.0"},
        {0.1f, u"0.1"},
        {59.9f, u"59.9"},
        {60.0f, u"1min 0s"},
        {125.0f, u"2min 5s"},
        {125.6f, u"2min 6s"},
        {3599.0f, u"59min 59s"},
        {3600.0f, u"1hr 0min 0s"},
        {3723.0f, u"1hr 2min 3s"},
        {7384.4f, u"2hr 3min 4s"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(elapsedText(seconds), text) << seconds;
    }
}

TEST(ElapsedTimerTick, TenthsForTheFirstMinuteThenSecondsOnceASecondAndNothingWhileStopped) {
    const struct {
        bool stopped;
        float at, after;
        int interval; // 0: as it was
    } cases[] = {
        {true, 0.0f, 0.0f, 100},      {true, 4000.0f, 4000.0f, 100},
        {false, 0.0f, 0.1f, 100},     {false, 59.8f, 59.9f, 100},
        {false, 60.0f, 61.0f, 1000},  {false, 3599.0f, 3600.0f, 1000},
        {false, 3700.0f, 3701.0f, 0},
    };
    for (const auto& c : cases) {
        RecordingWindow window;
        ProcessState state;
        state.ElapsedStopped = c.stopped;
        state.ElapsedSeconds = c.at;
        window.setInterval(Ctl::ElapsedTimer, 100);
        ElapsedTimer_Timer(state, window);
        EXPECT_FLOAT_EQ(state.ElapsedSeconds, c.after) << c.at;
        if (c.interval != 0) {
            EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, c.interval) << c.at;
        }
    }
}

// The path as typed when a file has that name (names may end in a blank), else without
// the blanks around it; a file that does not open for writing has no size shown.
TEST(ShowFileSizeTest, ShowsTheSizeOfTheFileThePathMeans) {
    TempDir dir;
    PosixFileSystem files;
    RecordingWindow window;
    const std::string path = dir.file("sized file.txt");
    writeFile(path, std::string(3000, 'x'));
    writeFile(dir.file("notes "), std::string(2000, 'x'));
    writeFile(dir.file("notes"), "x");
    writeFile(dir.file("lone "), std::string(1024, 'x'));
    writeFile(dir.file("read-only"), "abc");
    ASSERT_EQ(::chmod(dir.file("read-only").c_str(), 0444), 0);
    const std::pair<std::string, std::u16string> cases[] = {
        {"  " + path + "  ", u"File size: 2.92 kb"},
        {dir.file("notes "), u"File size: 1.95 kb"},
        {dir.file("notes") + "  ", u"File size: 1 bytes"},
        {dir.file("lone "), u"File size: 1 kb"},
        {dir.file("missing"), u""},
        {dir.file("read-only"),
         ::geteuid() == 0 ? u"File size: 3 bytes" : u""}, // root writes any file
    };
    for (const auto& [typed, shown] : cases) {
        window.setText(Ctl::labelFileSize, u"");
        window.setText(Ctl::filepath, utf8ToUtf16(typed).value());
        if (shown.empty()) {
            EXPECT_THROW(ShowFileSize(window, files), RunError) << typed;
        } else {
            ShowFileSize(window, files);
        }
        EXPECT_EQ(window.text(Ctl::labelFileSize), shown) << typed;
    }
}

} // namespace
} // namespace vornal::test
