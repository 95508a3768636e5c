// The start command and the key boxes, driven as the window drives them.
#include "window/StartCommand.h"

#include "tests/operations/OperationFixture.h"

#include <gmock/gmock.h>
#include <unistd.h>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;

class StartCommand : public OperationFixture {
protected:
    std::vector<std::string> events;
    StartCommandHooks hooks{[this] { events.push_back("lock"); },
                            [this] { events.push_back("unlock"); },
                            [this](Operation op, OperationContext& c) {
                                events.push_back("run");
                                op(c);
                                return true;
                            },
                            [this] { events.push_back("end"); }};

    void start() { btnSTART_Click(ctx, hooks); }
    void decryptionSelected() {
        window.setValue(Ctl::encryption, 0);
        window.setValue(Ctl::decryption, 1);
        window.setText(Ctl::btnSTART, u"Decrypt!");
    }
    void sparseFile(std::uint64_t size) {
        writeFile(target, "");
        ASSERT_EQ(truncate(target.c_str(), static_cast<off_t>(size)), 0);
        selectFile(target);
    }
};

TEST_F(StartCommand, AnEmptyPathInFileModeIsRefusedAndNothingIsLocked) {
    start();
    EXPECT_EQ(window.looks, flashLooks(u"Please select a filename or enter a filepath."));
    EXPECT_TRUE(events.empty());
}

TEST_F(StartCommand, ARunLocksEncryptsAndGivesTheWindowBack) {
    writeFile(target, "two words");
    selectFile(target);
    keys(u"k");
    start();
    EXPECT_THAT(events, ElementsAre("lock", "run", "unlock"));
    EXPECT_EQ(readFile(target), expectedFile({u"two", u"words"}, u"k"));
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Encrypt!"); // "Cancel" during the run
    for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnClearHis, Ctl::btnViewHistory,
                  Ctl::btnAbout, Ctl::btnHelp, Ctl::filepath}) {
        EXPECT_TRUE(window.enabled(c));
    }
    decryptionSelected();
    start();
    EXPECT_EQ(readFile(target), "two words");
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Decrypt!");
}

TEST_F(StartCommand, OnlyInputsFromTheThresholdUpAskFirst) {
    keys(u"k");
    sparseFile(kLargeInput - 1);
    start();
    EXPECT_TRUE(window.messages.boxes.empty());
    EXPECT_THAT(events, ElementsAre("lock", "run", "unlock"));

    events.clear();
    sparseFile(kLargeInput);
    window.setText(Ctl::filepath, u" " + window.text(Ctl::filepath)); // the probe's file
    window.messages.answers = {MsgAnswer::Cancel};
    start();
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    EXPECT_EQ(window.messages.boxes[0].title, u"Attempting to encrypt large file");
    EXPECT_EQ(window.messages.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_THAT(events, ElementsAre("lock", "unlock")); // declined: no run
    EXPECT_EQ(readFile(target), std::string(kLargeInput, '\0'));
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Encrypt!");
    EXPECT_TRUE(window.enabled(Ctl::Command4));
    EXPECT_TRUE(window.enabled(Ctl::btnViewHistory));
}

TEST_F(StartCommand, AStringCountsItsCharactersAndDecryptionNeverAsks) {
    state.FileMode = false;
    keys(u"k");
    window.setText(Ctl::stringpath, std::u16string(kLargeInput, u'a'));
    window.messages.answers = {MsgAnswer::Cancel};
    start();
    EXPECT_EQ(window.messages.boxes.size(), 1u);

    sparseFile(kLargeInput + 10);
    state.FileMode = true;
    decryptionSelected();
    start();
    EXPECT_EQ(window.messages.boxes.size(), 1u); // no second question
    EXPECT_EQ(window.looks.back().message, u"File Not Encrypted with Vornal, Cannot Decrypt");
}

TEST_F(StartCommand, WhileARunShowsCancelTheCommandOffersToEndTheProgram) {
    selectFile(target);
    window.setText(Ctl::btnSTART, u"Cancel");
    window.setValue(Ctl::ProgressBar2, 40);
    window.setInterval(Ctl::ElapsedTimer, 100);
    window.messages.answers = {MsgAnswer::Cancel, MsgAnswer::Ok};
    start();
    EXPECT_TRUE(events.empty()); // the run goes on, its progress and time untouched
    EXPECT_EQ(window.value(Ctl::ProgressBar2), 40);
    EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, 100);
    start();
    EXPECT_THAT(events, ElementsAre("end"));
    EXPECT_EQ(window.messages.boxes[0].title, u"User Cancellation");
}

class KeyMeter : public StartCommand {
protected:
    // A key press in the confirmation box, which takes effect after the handler.
    void press(int code, char16_t typed = u'x') {
        const bool spent = txtPass2_KeyDown(ctx, hooks, code);
        if (code != kKeyEnter && code != kKeyBackspace && typed && !spent) {
            window.setText(Ctl::txtPass2, window.text(Ctl::txtPass2) + typed);
        }
        if (code == kKeyBackspace && !window.text(Ctl::txtPass2).empty()) {
            std::u16string t = window.text(Ctl::txtPass2);
            t.pop_back();
            window.setText(Ctl::txtPass2, t);
        }
        meter.push_back(window.value(Ctl::pgKey));
    }
    std::vector<double> meter;
};

TEST_F(KeyMeter, ThreePressesMoveByFourAndTheFourthIsAMismatch) {
    window.setText(Ctl::txtPass1, u"abc");
    for (int i = 0; i < 4; ++i) {
        press('A' + i);
    }
    EXPECT_THAT(meter, ElementsAre(4, 8, 12, 0));
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    EXPECT_EQ(window.messages.boxes[0].prompt, u"The Encryption Keys do not match!");
    EXPECT_EQ(window.text(Ctl::txtPass2), u""); // cleared, and the fourth key spent
    EXPECT_EQ(window.focus(), Ctl::txtPass2);
}

TEST_F(KeyMeter, BackspaceStepsBackButNotBelowFour) {
    window.setText(Ctl::txtPass1, u"abcdef");
    press('a');
    press(kKeyBackspace);
    press('a');
    press('b');
    press(kKeyBackspace);
    EXPECT_THAT(meter, ElementsAre(4, 4, 8, 12, 8));
}

TEST_F(KeyMeter, EveryKeyCountsAndNothingMovesWhileDecrypting) {
    window.setText(Ctl::txtPass1, u"abcdef");
    press(37, 0); // an arrow key inserts nothing but counts
    EXPECT_THAT(meter, ElementsAre(4));
    decryptionSelected();
    press('a');
    press(kKeyBackspace);
    EXPECT_THAT(meter, ElementsAre(4, 4, 4));
    txtPass1_KeyDown(ctx, hooks, 'z');
    EXPECT_EQ(window.value(Ctl::pgKey), 0);
}

TEST_F(KeyMeter, EnterInEitherBoxStarts) {
    writeFile(target, "x");
    selectFile(target);
    keys(u"k");
    window.setValue(Ctl::pgKey, 40);
    EXPECT_FALSE(txtPass2_KeyDown(ctx, hooks, kKeyEnter));
    EXPECT_THAT(events, ElementsAre("lock", "run", "unlock"));
    txtPass1_KeyDown(ctx, hooks, kKeyEnter);
    EXPECT_EQ(events.size(), 6u);
    EXPECT_EQ(readFile(target).find("File encrypted by"),
              readFile(target).size() - kMarkerLine.size());
}

} // namespace
} // namespace vornal::test
