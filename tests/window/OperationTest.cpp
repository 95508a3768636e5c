// Operations run from the window as a user runs them: pick a file, type the key twice,
// press Enter; the run goes on another thread while the window stays live and can cancel.
#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/SessionEnd.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace vornal::test {
namespace {

class RunFromWindow : public FormFixture {
protected:
    std::string target = drive.file("plain.txt");

    void pick(const std::string& content) {
        writeFile(target, content);
        load();
        chooseDrive(drive.path());
        clickFile(QStringLiteral("plain.txt"));
        pauser.looks.clear();
    }
    // Words enough for many pieces when the engine works in small batches.
    static std::string manyWords() {
        std::string text;
        for (int i = 0; i < 20000; ++i) {
            text += "word" + std::to_string(i) + (i % 17 == 0 ? "\r\n" : " ");
        }
        return text;
    }
    void smallBatches() { engine.chunkSize = engine.batchSize = 4 << 10; }
    void expectIdleAndUsable(const char* caption) {
        EXPECT_EQ(text("btnSTART"), caption);
        EXPECT_EQ(text("Status"), "Ready.");
        for (const char* c : {"txtPass1", "txtPass2", "encryption", "filepath", "view_file",
                              "Command4", "btnClearHis", "btnViewHistory", "btnAbout", "btnHelp"}) {
            EXPECT_TRUE(get(c)->isEnabled()) << c;
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
};

// The path and keys typed or filled by a screen reader through their editable text, the
// direction set with the option's toggle action: the run sees what the boxes then read.
TEST_F(RunFromWindow, EnterEncryptsTheTypedFileAndDecryptsItBack) {
    writeFile(target, "attack at dawn");
    load();
    editable("filepath").insertText(0, QString::fromStdString(target));
    typeKeys(QStringLiteral("k3y"));
    enter();
    const std::string encrypted = readFile(target);
    EXPECT_TRUE(encrypted.ends_with(kMarkerLine));
    EXPECT_EQ(pauser.looks,
              std::vector<RecordingWindow::Look>{successLook(u"File successfully Encrypted.")});
    EXPECT_EQ(text("labelFileSize").toStdU16String(), fileSizeText(encrypted.size()));
    EXPECT_EQ(get<QProgressBar>("ProgressBar2")->value(), 0);
    expectIdleAndUsable("Encrypt!");

    toggle("decryption");
    EXPECT_EQ(text("Label3"), "Enter path of file to decrypt:");
    editable("txtPass2").replaceText(0, 3, QStringLiteral("other"));
    enter("txtPass1");
    EXPECT_EQ(pauser.looks.back().message, u"Encryption keys mismatch. Please re-enter both keys.");
    EXPECT_EQ(readFile(target), encrypted);
    editable("txtPass2").replaceText(0, 5, QStringLiteral("k3y"));
    pauser.looks.clear();
    click("btnSTART");
    EXPECT_EQ(readFile(target), "attack at dawn");
    EXPECT_EQ(pauser.looks,
              std::vector<RecordingWindow::Look>{successLook(u"File successfully Decrypted.")});
    expectIdleAndUsable("Decrypt!");
    const std::string rows = logText(); // the window's runs write the program's log
    EXPECT_NE(rows.find("Decrypting"), std::string::npos);
    EXPECT_LT(rows.find("Encrypting"), rows.find("Decrypting"));
    EXPECT_TRUE(messages.boxes.empty());

    // The string box, its result shown where the text was.
    toggle("encryption");
    choose("optString");
    auto* box = get<QPlainTextEdit>("stringpath");
    box->setPlainText(QStringLiteral("Grüße, world"));
    click("btnSTART");
    EXPECT_EQ(box->toPlainText().toStdU16String(), modAES::EncryptString(u"Grüße, world", u"k3y"));
}

// Each key in the confirmation box moves the meter by 4 and Backspace back, not below 4,
// until the confirmation would outgrow the key: that key is spent, the box cleared. A key
// in the key box resets the meter; nothing moves it while decrypting.
TEST_F(RunFromWindow, TheKeyMeterFollowsTheConfirmationUntilItOutgrowsTheKey) {
    load();
    QTest::keyClicks(get<QLineEdit>("txtPass1"), QStringLiteral("abc"));
    std::vector<double> meter;
    const auto press = [&](const char* box, char key) {
        QTest::keyClick(get<QLineEdit>(box), key);
        meter.push_back(form->window().value(Ctl::pgKey));
    };
    for (char c : std::string("ab\b\babcd")) {
        press("txtPass2", c);
    }
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].prompt, u"The Encryption Keys do not match!");
    EXPECT_EQ(text("txtPass2"), QString());
    EXPECT_EQ(form->window().focus(), Ctl::txtPass2);
    press("txtPass2", 'a');
    press("txtPass1", 'z');
    choose("decryption");
    press("txtPass2", 'b');
    EXPECT_EQ(meter, (std::vector<double>{4, 8, 4, 4, 8, 12, 16, 0, 4, 0, 0}));
}

// Mid-run, the inputs locked, the window still handles events and counts the time: the
// user confirms the question (the start button), declines it (the close image), or the
// session ends (SIGTERM, the session manager's quit), which asks nothing and saves the
// folder. A stopped run puts the file back, keeps the backup and ends the program without
// a word.
TEST_F(RunFromWindow, ARunStoppedFromTheWindowPutsTheFileBackAndADeclinedOneFinishes) {
    SessionEnd session([this] { form->endSession(); });
    const std::string original = manyWords();
    const auto quit = [] {
        QEvent e(QEvent::Quit);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &e);
    };
    const struct {
        std::function<void()> act;
        MsgAnswer answer;
        bool asks, finishes, savesFolder;
    } cases[] = {
        {[this] { click("btnSTART"); }, MsgAnswer::Ok, true, false, false},
        {[] { ::raise(SIGTERM); }, MsgAnswer::Ok, false, false, true},
        {quit, MsgAnswer::Ok, false, false, true},
        {[this] { click("Image2"); }, MsgAnswer::Cancel, true, true, false},
    };
    smallBatches();
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        for (const std::string& f : {target + ".bak", home.file("prevdir.tmp"), log.path()}) {
            std::filesystem::remove(f);
        }
        processExit.calls = 0;
        messages.boxes.clear();
        messages.answers = {c.answer};
        pick(original);
        std::atomic<bool> acted = false, ticked = false;
        files.onWrite = [&, third = files.writes + 3](int n) {
            if (n != third) {
                return;
            }
            // Were the run on the window's thread, neither could happen before it ends.
            QMetaObject::invokeMethod(
                form.get(),
                [&] {
                    EXPECT_EQ(text("btnSTART"), "Cancel");
                    EXPECT_FALSE(get("txtPass1")->isEnabled() || get("encryption")->isEnabled());
                    c.act();
                    acted = true;
                },
                Qt::QueuedConnection);
            for (int i = 0; i < 10000 && !(acted && ticked); ++i) {
                ticked = form->state().ElapsedSeconds > 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        typeKeys(QStringLiteral("key"));
        enter();
        files.onWrite = nullptr;
        EXPECT_TRUE(acted && ticked) << "no event handled or no time counted during the run";
        ASSERT_EQ(messages.boxes.size(), c.asks ? 1u : 0u);
        EXPECT_TRUE(!c.asks || messages.boxes[0].title == u"User Cancellation");
        EXPECT_EQ(processExit.calls, c.finishes ? 0 : 1);
        EXPECT_EQ(readFile(target) == original, !c.finishes);
        EXPECT_EQ(readFile(target + ".bak") == original, !c.finishes);
        EXPECT_EQ(pauser.looks.size(), c.finishes ? 1u : 0u);
        EXPECT_EQ(logText().find("Success") != std::string::npos, c.finishes);
        EXPECT_EQ(readFile(home.file("prevdir.tmp")), c.savesFolder ? drive.path() + "\r\n" : "");
    }
    expectIdleAndUsable("Encrypt!"); // after the declined run, the last
}

} // namespace
} // namespace vornal::test
