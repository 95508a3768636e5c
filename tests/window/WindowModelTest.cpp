// The status panel and the window model: what the user sees at each pause, and what the
// model tells its observers and its message hook.
#include "window/model/WindowModel.h"

#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;

// Every notification, in order, and what the panel held at each pause, timer included.
class PanelRecorder : public WindowObserver {
public:
    explicit PanelRecorder(const WindowModel& window) : window_(window) {}

    struct Shown {
        Colour panel;
        Colour text;
        std::u16string message;
        int ms;
        int interval;
        bool operator==(const Shown&) const = default;
    };

    std::vector<std::tuple<Ctl, Prop>> changes;
    std::vector<Pointer> pointers;
    std::vector<Ctl> focuses;
    std::vector<Shown> shown;

    void changed(Ctl c, Prop p) override { changes.emplace_back(c, p); }
    void pointerChanged(Pointer p) override { pointers.push_back(p); }
    void focusChanged(Ctl c) override { focuses.push_back(c); }
    void paused(int ms) override {
        shown.push_back({window_.state(Ctl::StatusBox).back, window_.state(Ctl::Status).fore,
                         window_.state(Ctl::Status).text, ms,
                         window_.state(Ctl::ElapsedTimer).interval});
    }

private:
    const WindowModel& window_;
};

class StatusPanel : public ::testing::Test {
protected:
    RecordingWindow window;
    PanelRecorder recorder{window};

    StatusPanel() { window.addObserver(recorder); }

    // An operation under way: its text on the panel, the timer running, progress made.
    void operationRunning() {
        window.SetStatus(u"Encrypting file...");
        window.setInterval(Ctl::ElapsedTimer, 100);
        window.setValue(Ctl::ProgressBar2, 40);
    }

    void expectReady() {
        EXPECT_EQ(window.state(Ctl::StatusBox).back, Colour::Neutral);
        EXPECT_EQ(window.state(Ctl::Status).fore, Colour::Dark);
        EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
        EXPECT_EQ(window.value(Ctl::ProgressBar2), 0);
        EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, 0);
    }

    int totalMs() const {
        int ms = 0;
        for (const auto& look : window.looks) {
            ms += look.ms;
        }
        return ms;
    }
};

TEST_F(StatusPanel, FlashFailureIsThreeRedAndButtonFaceCyclesThenReady) {
    window.FlashFailure(u"Invalid file!");
    EXPECT_EQ(window.looks, flashLooks(u"Invalid file!"));
    EXPECT_EQ(window.statusTexts.back(), u"Ready.");
    expectReady();
}

TEST_F(StatusPanel, EmptyMessageFlashesAnEmptyPanelFor2400Ms) {
    window.FlashFailure(u"");
    EXPECT_EQ(window.looks, flashLooks(u""));
    EXPECT_EQ(totalMs(), 2400);
    expectReady();
}

TEST_F(StatusPanel, ShowSuccessIsGreenFor1200MsThenReady) {
    window.ShowSuccess(u"File successfully Encrypted.");
    EXPECT_THAT(window.looks, ElementsAre(successLook(u"File successfully Encrypted.")));
    expectReady();
}

TEST_F(StatusPanel, FlashDuringAnOperationStopsItsTimerFirstAndEndsReady) {
    operationRunning();
    window.FlashFailure(u"Error!");
    ASSERT_EQ(recorder.shown.size(), 6u);
    for (const auto& s : recorder.shown) {
        EXPECT_EQ(s.interval, 0);
        EXPECT_EQ(s.message, u"Error!");
    }
    expectReady();
}

TEST_F(StatusPanel, SuccessDuringAnOperationStopsItsTimerFirstAndEndsReady) {
    operationRunning();
    window.ShowSuccess(u"Done.");
    EXPECT_THAT(recorder.shown, ElementsAre(PanelRecorder::Shown{Colour::Success, Colour::Light,
                                                                 u"Done.", 1200, 0}));
    EXPECT_THAT(window.progress, ElementsAre(40, 0));
    expectReady();
}

TEST_F(StatusPanel, SetStatusMakesThePanelNeutralWithDarkText) {
    window.setBack(Ctl::StatusBox, Colour::Failure);
    window.setFore(Ctl::Status, Colour::Light);
    window.SetStatus(u"Decrypting file...");
    EXPECT_EQ(window.state(Ctl::StatusBox).back, Colour::Neutral);
    EXPECT_EQ(window.state(Ctl::Status).fore, Colour::Dark);
    EXPECT_EQ(window.text(Ctl::Status), u"Decrypting file...");
}

TEST(WindowModelDesign, StartsInTheDesignState) {
    RecordingMessages messages;
    WindowModel window(messages);
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Encrypt!");
    EXPECT_FALSE(window.state(Ctl::stringpath).visible);
    EXPECT_FALSE(window.state(Ctl::Command4).visible);
    EXPECT_TRUE(window.state(Ctl::filepath).visible);
    EXPECT_EQ(window.text(Ctl::labelFileSize), u"File size:");
    EXPECT_EQ(window.text(Ctl::Label3), u"Enter path of file to encrypt:");
}

TEST(WindowModelObservers, EveryObserverIsToldOfEachChange) {
    RecordingMessages messages;
    WindowModel window(messages);
    PanelRecorder a(window);
    PanelRecorder b(window);
    window.addObserver(a);
    window.addObserver(b);

    window.setText(Ctl::filepath, u"/tmp/x");
    window.setEnabled(Ctl::btnSTART, false);
    window.setVisible(Ctl::Frame3, false);
    window.setValue(Ctl::ProgressBar2, 7);
    window.setMax(Ctl::ProgressBar2, 9);
    window.setInterval(Ctl::ElapsedTimer, 100);
    window.setPointer(Pointer::Busy);
    window.setFocus(Ctl::txtPass1);
    window.pause(250);

    for (const PanelRecorder* r : {&a, &b}) {
        EXPECT_THAT(r->changes, ElementsAre(std::tuple(Ctl::filepath, Prop::Text),
                                            std::tuple(Ctl::btnSTART, Prop::Enabled),
                                            std::tuple(Ctl::Frame3, Prop::Visible),
                                            std::tuple(Ctl::ProgressBar2, Prop::Value),
                                            std::tuple(Ctl::ProgressBar2, Prop::Max),
                                            std::tuple(Ctl::ElapsedTimer, Prop::Interval)));
        EXPECT_THAT(r->pointers, ElementsAre(Pointer::Busy));
        EXPECT_THAT(r->focuses, ElementsAre(Ctl::txtPass1));
        ASSERT_EQ(r->shown.size(), 1u);
        EXPECT_EQ(r->shown[0].ms, 250);
    }
    EXPECT_EQ(window.text(Ctl::filepath), u"/tmp/x");
    EXPECT_FALSE(window.enabled(Ctl::btnSTART));
    EXPECT_FALSE(window.state(Ctl::Frame3).visible);
    EXPECT_EQ(window.value(Ctl::ProgressBar2), 7);
    EXPECT_EQ(window.state(Ctl::ProgressBar2).max, 9);
    EXPECT_EQ(window.pointer(), Pointer::Busy);
    EXPECT_EQ(window.focus(), Ctl::txtPass1);
}

TEST(WindowModelMessages, GoToTheHookGivenAndItsAnswerComesBack) {
    RecordingMessages messages;
    messages.answers = {MsgAnswer::Cancel};
    WindowModel window(messages);
    EXPECT_EQ(
        window.messageBox(u"Overwrite?", u"Vornal", MsgButtons::OkCancel, MsgIcon::Exclamation),
        MsgAnswer::Cancel);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].prompt, u"Overwrite?");
    EXPECT_EQ(messages.boxes[0].title, u"Vornal");
    EXPECT_EQ(messages.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Exclamation);
}

} // namespace
} // namespace vornal::test
