// The status panel and the window model: what the user sees at each pause, and the model's
// design state. Its observers and message hook serve every suite of the window's logic.
#include "window/model/WindowModel.h"

#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingWindow.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;

// The timer's interval at each pause.
class Intervals : public WindowObserver {
public:
    explicit Intervals(const WindowModel& window) : window_(window) {}
    std::vector<int> atPauses;
    void paused(int /*ms*/) override {
        atPauses.push_back(window_.state(Ctl::ElapsedTimer).interval);
    }

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
        EXPECT_THAT(window.progress, ElementsAre(40, 0));
        EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, 0);
    }
}

TEST(WindowModel, StartsInTheDesignState) {
    RecordingMessages messages;
    WindowModel window(messages);
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Encrypt!");
    EXPECT_FALSE(window.state(Ctl::stringpath).visible);
    EXPECT_FALSE(window.state(Ctl::Command4).visible);
    EXPECT_TRUE(window.state(Ctl::filepath).visible);
    EXPECT_EQ(window.text(Ctl::labelFileSize), u"File size:");
    EXPECT_EQ(window.text(Ctl::Label3), u"Enter path of file to encrypt:");
}

} // namespace
} // namespace vornal::test
