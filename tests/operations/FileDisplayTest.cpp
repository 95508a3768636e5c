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
        {5.0f, u"5.0"},
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

class ElapsedTimerTick : public ::testing::Test {
protected:
    RecordingWindow window;
    ProcessState state;

    void tickAt(float seconds) {
        state.ElapsedSeconds = seconds;
        window.setInterval(Ctl::ElapsedTimer, 100);
        ElapsedTimer_Timer(state, window);
    }
    int interval() const { return window.state(Ctl::ElapsedTimer).interval; }
};

TEST_F(ElapsedTimerTick, DoesNothingWhileStopped) {
    state.ElapsedStopped = true;
    for (float at : {0.0f, 120.0f, 4000.0f}) {
        tickAt(at);
        EXPECT_EQ(state.ElapsedSeconds, at);
        EXPECT_EQ(interval(), 100);
    }
}

TEST_F(ElapsedTimerTick, AddsATenthForTheFirstMinute) {
    tickAt(0);
    EXPECT_FLOAT_EQ(state.ElapsedSeconds, 0.1f);
    tickAt(59.8f);
    EXPECT_FLOAT_EQ(state.ElapsedSeconds, 59.9f);
    EXPECT_EQ(interval(), 100);
}

TEST_F(ElapsedTimerTick, FromAMinuteTicksEverySecondAndAddsOne) {
    for (float at : {60.0f, 61.0f, 3599.0f}) {
        tickAt(at);
        EXPECT_FLOAT_EQ(state.ElapsedSeconds, at + 1) << at;
        EXPECT_EQ(interval(), 1000) << at;
    }
}

TEST_F(ElapsedTimerTick, PastAnHourAddsOne) {
    tickAt(3700);
    EXPECT_FLOAT_EQ(state.ElapsedSeconds, 3701);
}

class ShowFileSizeTest : public ::testing::Test {
protected:
    TempDir dir;
    PosixFileSystem files;
    RecordingWindow window;
    std::string path = dir.file("sized file.txt");

    void select(const std::string& text) {
        window.setText(Ctl::filepath, utf8ToUtf16(text).value());
    }
};

// The path as typed when a file has that name (names may end in a blank), else without
// the blanks around it.
TEST_F(ShowFileSizeTest, ShowsTheSizeOfTheFileThePathMeans) {
    writeFile(path, std::string(3000, 'x'));
    writeFile(dir.file("notes "), std::string(2000, 'x'));
    writeFile(dir.file("notes"), "x");
    writeFile(dir.file("lone "), std::string(1024, 'x'));
    const std::pair<std::string, std::u16string> cases[] = {
        {"  " + path + "  ", u"File size: 2.92 kb"},
        {dir.file("notes "), u"File size: 1.95 kb"},
        {dir.file("notes") + "  ", u"File size: 1 bytes"},
        {dir.file("lone "), u"File size: 1 kb"},
    };
    for (const auto& [typed, shown] : cases) {
        select(typed);
        ShowFileSize(window, files);
        EXPECT_EQ(window.text(Ctl::labelFileSize), shown) << typed;
    }
}

TEST_F(ShowFileSizeTest, MissingFileThrowsAndKeepsTheLabel) {
    select(path);
    EXPECT_THROW(ShowFileSize(window, files), RunError);
    EXPECT_EQ(window.text(Ctl::labelFileSize), u"File size:");
}

TEST_F(ShowFileSizeTest, ReadOnlyFileThrows) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes any file";
    }
    writeFile(path, "abc");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    select(path);
    EXPECT_THROW(ShowFileSize(window, files), RunError);
    EXPECT_EQ(window.text(Ctl::labelFileSize), u"File size:");
}

} // namespace
} // namespace vornal::test
