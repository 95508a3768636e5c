// What the window shows of a file, of the running time and of an outcome: the size label,
// the clock and the status panel.
#include "platform/RunError.h"
#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/FileDisplay.h"
#include "window/State.h"
#include "window/model/WindowModel.h"

#include <cstdint>
#include <functional>
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
        {0.0f, u"0.0"},           {59.9f, u"59.9"},        {60.0f, u"1min 0s"},
        {125.6f, u"2min 6s"},     {3599.0f, u"59min 59s"}, {3600.0f, u"1hr 0min 0s"},
        {7384.4f, u"2hr 3min 4s"}};
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
        {true, 4000.0f, 4000.0f, 100}, {false, 0.0f, 0.1f, 100},     {false, 59.8f, 59.9f, 100},
        {false, 60.0f, 61.0f, 1000},   {false, 3700.0f, 3701.0f, 0},
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

// The timer's interval at each pause.
class Intervals : public WindowObserver {
public:
    explicit Intervals(const WindowModel& window) : window_(window) {}
    void paused(int /*ms*/) override {
        atPauses.push_back(window_.state(Ctl::ElapsedTimer).interval);
    }
    std::vector<int> atPauses;

private:
    const WindowModel& window_;
};

// Shown during an operation: its timer stops before the first look, and the panel ends
// ready, progress and timer at rest.
TEST(StatusPanel, FailureAndSuccessLooksThenReady) {
    const struct {
        std::function<void(Window&)> show;
        std::vector<RecordingWindow::Look> looks;
    } cases[] = {
        {[](Window& w) { w.FlashFailure(u"Invalid file!"); }, flashLooks(u"Invalid file!")},
        {[](Window& w) { w.FlashFailure(u""); }, flashLooks(u"")},
        {[](Window& w) { w.ShowSuccess(u"Done."); }, {successLook(u"Done.")}},
    };
    for (const auto& c : cases) {
        RecordingWindow window;
        Intervals intervals(window);
        window.addObserver(intervals);
        window.setBack(Ctl::StatusBox, Colour::Failure);
        window.SetStatus(u"Encrypting file...");
        EXPECT_EQ(window.state(Ctl::StatusBox).back, Colour::Neutral);
        window.setInterval(Ctl::ElapsedTimer, 100);
        window.setValue(Ctl::ProgressBar2, 40);
        c.show(window);
        EXPECT_EQ(window.looks, c.looks);
        EXPECT_EQ(intervals.atPauses, std::vector<int>(c.looks.size(), 0));
        EXPECT_EQ(window.state(Ctl::StatusBox).back, Colour::Neutral);
        EXPECT_EQ(window.state(Ctl::Status).fore, Colour::Dark);
        EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
        EXPECT_EQ(window.value(Ctl::ProgressBar2), 0);
        EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, 0);
    }
}

} // namespace
} // namespace vornal::test
