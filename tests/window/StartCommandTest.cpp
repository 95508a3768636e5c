// The start command and the operations it runs, EncryptCurrent and DecryptCurrent, as the
// user sees them, in order: the progress bar, the status panel, captions, messages and focus.
// What happens to the files is the file run's own to show.
#include "window/StartCommand.h"

#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "operations/RunMessages.h"
#include "platform/Text.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/FileDisplay.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <unistd.h>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;
using Row = RecordingLog::Row;

// One folder, a recording window, and the operations run on the calling thread.
class StartCommand : public ::testing::Test, private WindowObserver {
protected:
    TempDir dir;
    FaultyFileSystem files;
    RecordingLog log;
    RunJournal journal{dir.file("runs")};
    RecordingWindow window;
    ProcessState state;
    InlineBackground background{window};
    OperationContext ctx{state, window, {files, log, journal}, background};
    std::string target = dir.file("plain.txt");
    std::vector<std::string> bar; // the progress bar's values, and maxima as "max N"
    std::vector<std::string> events;
    StartCommandHooks hooks{[this] { events.push_back("lock"); },
                            [this] { events.push_back("unlock"); },
                            [this](Operation op, OperationContext& c) {
                                events.push_back("run");
                                op(c);
                                return true;
                            },
                            [this] { events.push_back("end"); }};

    StartCommand() { window.addObserver(*this); }
    void keys(const std::u16string& key, const std::u16string& confirmation) {
        window.setText(Ctl::txtPass1, key);
        window.setText(Ctl::txtPass2, confirmation);
    }
    void keys(const std::u16string& key) { keys(key, key); }
    void selectFile(const std::string& path) {
        window.setText(Ctl::filepath, utf8ToUtf16(path).value());
    }
    void sparseFile(std::uint64_t size) {
        writeFile(target, "");
        ASSERT_EQ(truncate(target.c_str(), static_cast<off_t>(size)), 0);
        selectFile(target);
    }
    void forget() {
        bar.clear();
        events.clear();
        window.looks.clear();
        window.statusTexts.clear();
        window.messages.boxes.clear();
        log.rows.clear();
    }
    void start() { btnSTART_Click(ctx, hooks); }
    // The operation alone, as the start command runs it.
    void run(Direction direction) {
        forget();
        direction == Direction::Encrypt ? EncryptCurrent(ctx) : DecryptCurrent(ctx);
    }

private:
    void changed(Ctl c, Prop p) override {
        const ControlState s = window.state(c);
        if (c == Ctl::ProgressBar2 && (p == Prop::Value || p == Prop::Max)) {
            bar.push_back((p == Prop::Max ? "max " : "") +
                          std::to_string(static_cast<int>(p == Prop::Max ? s.max : s.value)));
        }
    }
};

TEST_F(StartCommand, AFileRunShowsItsProgressThenSuccessAndGivesTheWindowBack) {
    start(); // no path: refused before anything is locked
    EXPECT_EQ(window.looks, flashLooks(u"Please select a filename or enter a filepath."));
    EXPECT_TRUE(events.empty());

    writeFile(target, "a b c d");
    selectFile(target);
    keys(u"k");
    forget();
    start();
    EXPECT_THAT(events, ElementsAre("lock", "run", "unlock"));
    // 20 once emptied, the last of the four pieces, +5 for the marker, +5 at success.
    EXPECT_THAT(bar, ElementsAre("0", "20", "max 13", "3", "8", "13", "0", "0"));
    EXPECT_THAT(window.looks, ElementsAre(successLook(u"File successfully Encrypted.")));
    EXPECT_THAT(window.statusTexts,
                ElementsAre(u"Encrypting file...", u"File successfully Encrypted.", u"Ready."));
    EXPECT_EQ(window.text(Ctl::labelFileSize), fileSizeText(readFile(target).size()));
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Encrypt!"); // "Cancel" during the run
    EXPECT_FALSE(window.enabled(Ctl::ElapsedTimer));
}

TEST_F(StartCommand, KeysMissingOrNotConfirmedAreRefusedInEachDirectionsWords) {
    const std::u16string mismatch = u"Encryption keys mismatch. Please re-enter both keys.";
    const struct {
        Direction direction;
        std::u16string key, confirmation, message, status;
    } cases[] = {
        {Direction::Encrypt, u"", u"",
         u"Please enter a key for encryption. Note that you have to enter 2 times for "
         u"confirmation.",
         u"Failure - No Key"},
        {Direction::Encrypt, u"Secret", u"secret", mismatch, u"Failure - Key Mis-match"},
        {Direction::Decrypt, u"", u"k",
         u"Please enter the Encryption key. Note that you have to enter 2 times for confirmation.",
         u"Failure - Missing Key"},
        {Direction::Decrypt, u"K", u"k", mismatch, u"Failure - Key Mis-Match"},
    };
    writeFile(target, "plain");
    for (const std::string& path : {target, std::string()}) {
        selectFile(path);
        for (const auto& c : cases) {
            keys(c.key, c.confirmation);
            window.setPointer(Pointer::Busy);
            run(c.direction);
            EXPECT_EQ(window.looks, flashLooks(c.message));
            const std::u16string what =
                c.direction == Direction::Encrypt ? u"Encrypting " : u"Decrypting ";
            EXPECT_THAT(log.rows, ElementsAre(Row{what + u"\"" + window.text(Ctl::filepath) + u"\"",
                                                  c.status}));
            EXPECT_EQ(window.value(Ctl::ProgressBar2), 0);
            EXPECT_EQ(window.pointer(), Pointer::Default);
        }
    }
    EXPECT_EQ(readFile(target), "plain");
}

// Refused in the probe (FileData) or after it, or failing once the backup is made: flashes
// (a failed run's warning, then where the original is only when it could not be put back),
// a box, or nothing, as each always was; the size shown is that of the file unless the run
// could not claim it.
TEST_F(StartCommand, RefusalsAndFailuresAreToldInTheProgramsWords) {
    const std::string encrypted =
        utf16ToUtf8(modAES::EncryptString(u"x", u"k")) + ":\r" + std::string(kMarkerLine);
    const std::u16string warning =
        u"WARNING: " + numberAndText(RunError::fromErrno(ENOSPC)) + u" while performing operation.";
    const std::u16string kept =
        u"The original file is kept in " + utf8ToUtf16(target).value() + u".bak.";
    enum Arrange { None, ReadsFail, AnotherRun, WrongKey, WriteFails, PutBackFails };
    const struct {
        std::string typed, content;
        Direction direction;
        Arrange arrange;
        std::vector<std::u16string> flashed;
        std::u16string box; // empty: none
        bool focus, sizeShown;
    } cases[] = {
        {"   ", "", Direction::Encrypt, None, {kNoPathMessage}, u"", false, false},
        {dir.file("missing"), "", Direction::Encrypt, None, {kNotFoundMessage}, u"", true, false},
        {target, "words", Direction::Encrypt, ReadsFail, {kUnreadableMessage}, u"", false, true},
        {target, "words", Direction::Encrypt, AnotherRun, {kBusyMessage}, u"", false, false},
        {" " + target + " ",
         encrypted,
         Direction::Encrypt,
         None,
         {kAlreadyEncryptedMessage},
         u"",
         false,
         true},
        {target, "", Direction::Encrypt, None, {}, u"", false, true},
        {target, encrypted, Direction::Decrypt, WrongKey, {}, kInvalidPasswordMessage, false, true},
        {target, "\n" + encrypted, Direction::Decrypt, None, {kDamagedMessage}, u"", false, true},
        {target, "words", Direction::Encrypt, WriteFails, {warning}, u"", false, false},
        {target, encrypted, Direction::Decrypt, PutBackFails, {warning, kept}, u"", false, false},
    };
    for (const auto& c : cases) {
        writeFile(target, c.content);
        selectFile(c.typed);
        keys(c.arrange == WrongKey ? u"wrong" : u"k");
        window.setText(Ctl::labelFileSize, u"File size:");
        window.focusChanges.clear();
        files.failWrite = c.arrange >= WriteFails ? files.writes + 1 : 0;
        files.beforeCall = [&](std::size_t, const std::string& call) {
            if ((c.arrange == ReadsFail && call.rfind("openRead", 0) == 0) ||
                (c.arrange == PutBackFails && call.rfind("copyOver", 0) == 0)) {
                throw RunError::fromErrno(EIO);
            }
        };
        const auto otherRun = c.arrange == AnotherRun ? files.lockForRun(target) : nullptr;
        run(c.direction);
        files.beforeCall = nullptr;
        std::filesystem::remove(target + ".bak"); // the copy a failed run kept
        const auto what = std::to_string(&c - cases);
        std::vector<RecordingWindow::Look> looks;
        for (const auto& message : c.flashed) {
            const auto flash = flashLooks(message);
            looks.insert(looks.end(), flash.begin(), flash.end());
        }
        EXPECT_EQ(window.looks, looks) << what;
        ASSERT_EQ(window.messages.boxes.size(), c.box.empty() ? 0u : 1u) << what;
        EXPECT_TRUE(c.box.empty() || (window.messages.boxes[0].prompt == c.box &&
                                      window.messages.boxes[0].title == u"Error"));
        EXPECT_EQ(window.focusChanges, c.focus ? std::vector{Ctl::filepath} : std::vector<Ctl>{})
            << what;
        EXPECT_EQ(window.text(Ctl::labelFileSize) != u"File size:", c.sizeShown) << what;
        EXPECT_EQ(window.text(Ctl::Status), u"Ready.") << what;
        EXPECT_TRUE(c.arrange < WriteFails || window.value(Ctl::ProgressBar2) == 0) << what;
        EXPECT_EQ(window.pointer(), Pointer::Default) << what;
    }
    EXPECT_EQ(state.CurrentPath, utf8ToUtf16(target).value()); // the blanks around it gone
}

// Stopped before the backup, the operation ends at once, without a word; so does a run
// refused after the user stopped it (here, for a wrong key), the program being about to end.
// A run stopped once the file is being written is the window's tests' to show.
TEST_F(StartCommand, ACancelledRunEndsQuietly) {
    const std::string encrypted =
        utf16ToUtf8(modAES::EncryptString(u"x", u"k")) + ":\r" + std::string(kMarkerLine);
    const std::pair<std::string, Direction> cases[] = {{"words that stay", Direction::Encrypt},
                                                       {encrypted, Direction::Decrypt}};
    for (const auto& c : cases) {
        writeFile(target, c.first);
        selectFile(target);
        keys(c.second == Direction::Encrypt ? u"k" : u"wrong");
        background.stop = true;
        run(c.second);
        background.stop = false;
        const auto what = std::to_string(&c - cases);
        EXPECT_EQ(readFile(target), c.first) << what;
        EXPECT_TRUE(window.looks.empty() && window.messages.boxes.empty()) << what;
        EXPECT_EQ(window.statusTexts.size(), 1u) << what; // "...ing file..." and no more
        EXPECT_EQ(window.pointer(), Pointer::Default) << what;
    }
}

TEST_F(StartCommand, TheStringBoxIsEncryptedAndDecryptedInPlace) {
    const std::u16string text = u"caf\u00e9 \u65e5\u672c";
    window.setText(Ctl::stringpath, text);
    keys(u"k");
    run(Direction::Encrypt);
    EXPECT_EQ(window.text(Ctl::stringpath), modAES::EncryptString(text, u"k"));
    EXPECT_THAT(window.looks, ElementsAre(successLook(u"String successfully Encrypted.")));
    EXPECT_THAT(bar, ElementsAre("5", "0", "0"));
    run(Direction::Decrypt);
    EXPECT_EQ(window.text(Ctl::stringpath), text);
    EXPECT_THAT(window.looks, ElementsAre(successLook(u"String successfully Decrypted.")));

    window.setText(Ctl::stringpath, modAES::EncryptString(text, u"k"));
    keys(u"nope");
    run(Direction::Decrypt);
    EXPECT_EQ(window.text(Ctl::stringpath), u"");
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    EXPECT_EQ(window.messages.boxes[0].prompt, kInvalidPasswordMessage);
    EXPECT_TRUE(window.looks.empty());
    run(Direction::Encrypt); // an empty box stays empty, without success
    EXPECT_EQ(window.text(Ctl::stringpath), u"");
    EXPECT_TRUE(window.looks.empty());
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
    EXPECT_TRUE(log.rows.empty());
}

TEST_F(StartCommand, OnlyEncryptingInputsFromTheThresholdUpAsksFirst) {
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

    state.FileMode = false; // a string counts its characters
    selectFile("");
    window.setText(Ctl::stringpath, std::u16string(kLargeInput, u'a'));
    start();
    EXPECT_EQ(window.messages.boxes.size(), 2u);

    sparseFile(kLargeInput + 10);
    state.FileMode = true;
    window.setValue(Ctl::encryption, 0);
    window.setValue(Ctl::decryption, 1);
    start();
    EXPECT_EQ(window.messages.boxes.size(), 2u); // decryption never asks
    EXPECT_EQ(window.looks.back().message, u"File Not Encrypted with Vornal, Cannot Decrypt");
}

} // namespace
} // namespace vornal::test
