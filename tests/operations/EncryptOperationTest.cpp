// The encrypt operation on files and strings, as the start command runs it.
#include "tests/operations/OperationFixture.h"

#include <functional>
#include <gmock/gmock.h>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class EncryptFile : public OperationFixture {};

TEST_F(EncryptFile, WritesOnePiecePerBlankSeparatedFieldThenTheMarker) {
    writeFile(target, "two  words\r\nand a line");
    selectFile(target);
    keys(u"secret");
    encrypt();
    EXPECT_EQ(readFile(target),
              expectedFile({u"two", u"", u"words\r\nand", u"a", u"line"}, u"secret"));
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_EQ(window.looks.back(), successLook(u"File successfully Encrypted."));
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
    EXPECT_EQ(window.text(Ctl::labelFileSize), fileSizeText(readFile(target).size()));
    const std::string quoted = "\"" + target + "\"";
    EXPECT_THAT(logRows(), ElementsAre(std::pair{"Encrypting " + quoted + " with AES Encryption ",
                                                 std::string("Success")}));
}

TEST_F(EncryptFile, AFileWithoutBlanksIsOnePiece) {
    writeFile(target, "x");
    selectFile(target);
    keys(u"k");
    encrypt();
    EXPECT_EQ(readFile(target), expectedFile({u"x"}, u"k"));
    EXPECT_EQ(readFile(target).size(), 64 + 2 + kMarkerLine.size());
}

TEST_F(EncryptFile, ProgressRunsFrom20ToTheLastPieceAndTheMaximum) {
    writeFile(target, "a b c d");
    selectFile(target);
    keys(u"k");
    encrypt();
    // 20 when emptied, the last piece written (pieces are told a batch at a time), +5
    // after the marker, +5 at success (the maximum, 3 + 10), then back to 0 (twice: the
    // operation and the success display).
    EXPECT_THAT(window.progress, ElementsAre(20, 3, 8, 13, 0, 0));
    EXPECT_EQ(window.state(Ctl::ProgressBar2).max, 3 + 10);
}

TEST_F(EncryptFile, EveryByteValueSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    writeFile(target, all);
    selectFile(target);
    keys(u"k\u00e9y");
    encrypt();
    const std::string encrypted = readFile(target);
    const std::size_t pieces = encrypted.size() - kMarkerLine.size();
    EXPECT_EQ(encrypted.substr(0, pieces).find_first_not_of("0123456789ABCDEF:\r"),
              std::string::npos);
    EXPECT_EQ(encrypted.substr(pieces), kMarkerLine);
    decrypt();
    EXPECT_EQ(readFile(target), all);
}

TEST_F(EncryptFile, MissingOrUnconfirmedKeysAreRefusedAndLogged) {
    writeFile(target, "plain");
    selectFile(target);
    const std::string quoted = "Encrypting \"" + target + "\"";
    keys(u"", u"");
    encrypt();
    EXPECT_EQ(window.looks, flashLooks(u"Please enter a key for encryption. Note that you have "
                                       u"to enter 2 times for confirmation."));
    keys(u"Secret", u"secret");
    encrypt();
    EXPECT_EQ(readFile(target), "plain");
    EXPECT_THAT(logRows(), ElementsAre(std::pair{quoted, std::string("Failure - No Key")},
                                       std::pair{quoted, std::string("Failure - Key Mis-match")}));
    EXPECT_EQ(window.pointer(), Pointer::Default);
}

TEST_F(EncryptFile, TheProbeRefusesWithoutTouchingTheFile) {
    const std::string quotesTheMarker = "see " + std::string(kMarkerLine) + " here";
    writeFile(target, quotesTheMarker);
    selectFile("  " + target + " ");
    keys(u"k");
    encrypt();
    EXPECT_EQ(window.looks, flashLooks(u"File Already Encrypted by Vornal"));
    EXPECT_EQ(readFile(target), quotesTheMarker);
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_EQ(window.text(Ctl::btnSTART), u"Cancel"); // the probe found the file
    EXPECT_EQ(state.CurrentPath, utf8ToUtf16(target).value());

    window.looks.clear();
    selectFile(dir.file("missing.txt"));
    encrypt();
    EXPECT_EQ(window.looks, flashLooks(u"Unable to find the file specified."));
    EXPECT_THAT(window.focusChanges, ElementsAre(Ctl::filepath));

    window.looks.clear();
    selectFile("   ");
    encrypt();
    EXPECT_EQ(window.looks, flashLooks(u"Please select a filename or enter a filepath."));
    EXPECT_TRUE(logRows().empty());
}

TEST_F(EncryptFile, AnEmptyFileIsLeftAloneWithoutAMessage) {
    writeFile(target, "");
    selectFile(target);
    keys(u"k");
    encrypt();
    EXPECT_EQ(readFile(target), "");
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_TRUE(window.looks.empty());
    EXPECT_TRUE(logRows().empty());
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
}

TEST_F(EncryptFile, AFileAlreadyNamedLikeTheBackupIsKept) {
    writeFile(target, "new words");
    writeFile(target + ".bak", "the user's own file");
    selectFile(target);
    keys(u"k");
    encrypt();
    EXPECT_EQ(readFile(target + ".bak"), "the user's own file");
    EXPECT_EQ(readFile(target), expectedFile({u"new", u"words"}, u"k"));
    EXPECT_THAT(files.calls, ::testing::Contains("copyToNew " + target + " " + target + ".bak.1"));
    EXPECT_FALSE(fileExists(target + ".bak.1"));
}

TEST_F(EncryptFile, TheBackupIsOnDiskBeforeTheFileIsEmptiedAndDeletedOnlyAfterTheNewContent) {
    writeFile(target, "some words");
    selectFile(target);
    keys(u"k");
    encrypt();
    auto at = [&](const std::string& call) {
        const auto it = std::find(files.calls.begin(), files.calls.end(), call);
        EXPECT_NE(it, files.calls.end()) << call;
        return it - files.calls.begin();
    };
    // copyToNew flushes the backup itself before it returns.
    const auto backup = at("copyToNew " + target + " " + target + ".bak");
    const auto emptied = at("openRewrite " + target);
    const auto readsBackup = at("openRead " + target + ".bak");
    const auto flushed = at("sync " + target);
    const auto removed = at("remove " + target + ".bak");
    EXPECT_LT(backup, emptied);
    EXPECT_LT(emptied, readsBackup); // the text comes from the backup once the file is empty
    EXPECT_LT(flushed, removed);
    EXPECT_LT(at("close " + target), removed);
}

class EncryptFailure : public OperationFixture {
protected:
    const std::string original = "words that must never be lost";
    void SetUp() override {
        writeFile(target, original);
        selectFile(target);
        keys(u"k");
    }
    void expectWarned(int err) {
        const std::u16string expected = u"WARNING: " + numberAndText(RunError::fromErrno(err)) +
                                        u" while performing operation.";
        const auto flash = flashLooks(expected);
        ASSERT_GE(window.looks.size(), flash.size());
        EXPECT_TRUE(std::equal(flash.begin(), flash.end(), window.looks.begin()));
        ASSERT_FALSE(logRows().empty());
        EXPECT_EQ(logRows().back().first, "Open File \"" + target + "\"");
        EXPECT_EQ(logRows().back().second,
                  "Failure: " + utf16ToUtf8(numberAndText(RunError::fromErrno(err))));
    }
};

TEST_F(EncryptFailure, AFailedWriteRestoresTheFileAndKeepsTheBackup) {
    files.failWrite = 1;
    encrypt();
    EXPECT_EQ(readFile(target), original);
    EXPECT_EQ(readFile(target + ".bak"), original);
    expectWarned(ENOSPC);
    EXPECT_EQ(window.pointer(), Pointer::Default);
}

TEST_F(EncryptFailure, ABackupThatCannotBeDeletedStaysAndTheRunStillSucceeds) {
    files.failRemove = true;
    encrypt();
    EXPECT_EQ(readFile(target),
              expectedFile({u"words", u"that", u"must", u"never", u"be", u"lost"}, u"k"));
    EXPECT_EQ(readFile(target + ".bak"), original);
    EXPECT_EQ(window.looks.back(), successLook(u"File successfully Encrypted."));
}

TEST_F(EncryptFailure, ALogThatCannotBeWrittenDoesNotChangeTheOutcome) {
    const std::string folderAsLog = dir.file("log.html");
    std::filesystem::create_directory(folderAsLog);
    encrypt();
    EXPECT_EQ(readFile(target).size(), encryptedSize(original));
    EXPECT_EQ(window.looks.back(), successLook(u"File successfully Encrypted."));
}

// The fixture's run, cancelled as soon as what the window shows passes a test.
class EncryptCancelled : public EncryptFailure, private WindowObserver {
protected:
    std::function<bool(const RecordingWindow&)> when;

    void SetUp() override {
        EncryptFailure::SetUp();
        window.addObserver(*this);
    }
    void cancelWhen(std::function<bool(const RecordingWindow&)> test) {
        when = std::move(test);
        background.stop = when(window);
    }

private:
    void changed(Ctl, Prop) override {
        if (when && when(window)) {
            background.stop = true;
        }
    }
};

TEST_F(EncryptCancelled, BetweenPiecesPutsTheFileBack) {
    cancelWhen([](const RecordingWindow& w) { return w.value(Ctl::ProgressBar2) >= 2; });
    EncryptCurrent(ctx);
    EXPECT_EQ(readFile(target), original);
    EXPECT_EQ(readFile(target + ".bak"), original);
    EXPECT_TRUE(logRows().empty());
}

TEST_F(EncryptCancelled, WhileTheFileIsCheckedMakesNoBackup) {
    cancelWhen([](const RecordingWindow&) { return true; });
    EncryptCurrent(ctx);
    EXPECT_EQ(readFile(target), original);
    EXPECT_FALSE(fileExists(target + ".bak"));
    writeFile(target, expectedFile({u"a"}, u"k")); // and the other way
    DecryptCurrent(ctx);
    EXPECT_EQ(readFile(target), expectedFile({u"a"}, u"k"));
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_TRUE(logRows().empty());
}

class EncryptString : public OperationFixture {};

TEST_F(EncryptString, TheCiphertextReplacesTheText) {
    window.setText(Ctl::stringpath, u"attack at dawn");
    keys(u"k");
    encrypt();
    EXPECT_EQ(window.text(Ctl::stringpath), modAES::EncryptString(u"attack at dawn", u"k"));
    EXPECT_EQ(window.looks, std::vector{successLook(u"String successfully Encrypted.")});
    EXPECT_THAT(window.progress, ElementsAre(5, 0, 0));
    EXPECT_TRUE(logRows().empty());
}

TEST_F(EncryptString, AnEmptyKeyIsLoggedWithAnEmptyPath) {
    window.setText(Ctl::stringpath, u"text");
    keys(u"");
    encrypt();
    EXPECT_THAT(logRows(), ElementsAre(std::pair{std::string("Encrypting \"\""),
                                                 std::string("Failure - No Key")}));
    EXPECT_EQ(window.text(Ctl::stringpath), u"text");
}

TEST_F(EncryptString, AnEmptyBoxStaysEmptyWithoutSuccess) {
    keys(u"k");
    encrypt();
    EXPECT_EQ(window.text(Ctl::stringpath), u"");
    EXPECT_TRUE(window.looks.empty());
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
}

TEST_F(EncryptString, FinalStepsEnableTheButtonsAndStopTheTimer) {
    for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnAbout, Ctl::btnHelp, Ctl::filepath}) {
        window.setEnabled(c, false);
    }
    window.setText(Ctl::stringpath, u"x");
    keys(u"k");
    encrypt();
    for (Ctl c : {Ctl::view_file, Ctl::Command4, Ctl::btnAbout, Ctl::btnHelp, Ctl::filepath}) {
        EXPECT_TRUE(window.enabled(c));
    }
    EXPECT_FALSE(window.enabled(Ctl::ElapsedTimer));
    EXPECT_EQ(window.state(Ctl::ElapsedTimer).interval, 0);
    EXPECT_TRUE(state.ElapsedStopped);
    EXPECT_TRUE(state.EncryptMode);
}

} // namespace
} // namespace vornal::test
