// Operations run from the window as a user runs them: pick a file, type the key twice,
// press Enter; the run goes on another thread while the window stays live and can cancel.
#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/SessionEnd.h"
#include "window/StartCommand.h"

#include <QAccessible>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace vornal::test {
namespace {

// Runs an action once, at the first change of the progress bar's value that passes a test.
class OnProgress : public WindowObserver {
public:
    std::function<bool()> when = [] { return true; };
    std::function<void()> action;

    void changed(Ctl c, Prop p) override {
        if (c == Ctl::ProgressBar2 && p == Prop::Value && action && when()) {
            auto run = std::move(action);
            action = nullptr;
            run();
        }
    }
};

class RunFromWindow : public FormFixture {
protected:
    std::string target = drive.file("plain.txt");

    void pick(const std::string& content) {
        writeFile(target, content);
        load();
        driveList()->setCurrentIndex(1);
        emit driveList()->activated(1);
        clickFile(QStringLiteral("plain.txt"));
        pauser.looks.clear();
    }
    void typeKeys(const QString& key) {
        for (const char* box : {"txtPass1", "txtPass2"}) {
            get<QLineEdit>(box)->clear();
            QTest::keyClicks(get<QLineEdit>(box), key);
        }
    }
    void enter(const char* box = "txtPass2") {
        QTest::keyClick(get<QLineEdit>(box), Qt::Key_Return);
    }
    void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
    void choose(const char* option) { get<QRadioButton>(option)->click(); }
    // What a screen reader does: the option's toggle action, a box's editable text.
    void toggle(const char* option) {
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(get(option))->actionInterface();
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
    }
    QAccessibleEditableTextInterface& editable(const char* box) {
        return *QAccessible::queryAccessibleInterface(get(box))->editableTextInterface();
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
        for (const char* c : {"txtPass1", "txtPass2", "filepath", "view_file", "Command4",
                              "btnClearHis", "btnViewHistory", "btnAbout", "btnHelp"}) {
            EXPECT_TRUE(get(c)->isEnabled()) << c;
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    std::string logText() { return readFile(home.file("log.html")); }
};

TEST_F(RunFromWindow, EnterEncryptsThePickedFileAndDecryptsItBack) {
    pick("attack at dawn");
    typeKeys(QStringLiteral("k3y"));
    enter();

    const std::string encrypted = readFile(target);
    EXPECT_TRUE(encrypted.ends_with(kMarkerLine));
    EXPECT_EQ(pauser.looks,
              std::vector<RecordingWindow::Look>{successLook(u"File successfully Encrypted.")});
    EXPECT_EQ(text("labelFileSize").toStdString(), utf16ToUtf8(fileSizeText(encrypted.size())));
    EXPECT_EQ(get<QProgressBar>("ProgressBar2")->value(), 0);
    expectIdleAndUsable("Encrypt!");

    choose("decryption");
    typeKeys(QStringLiteral("k3y"));
    enter("txtPass1");
    EXPECT_EQ(readFile(target), "attack at dawn");
    expectIdleAndUsable("Decrypt!");
    const std::string rows = logText(); // the window's runs write the program's log
    EXPECT_LT(rows.find("Encrypting"), rows.find("Decrypting"));
    EXPECT_NE(rows.find("Decrypting"), std::string::npos);
    EXPECT_TRUE(messages.boxes.empty());

    // The string box, its result shown where the text was.
    choose("optString");
    choose("encryption");
    auto* box = get<QPlainTextEdit>("stringpath");
    box->setPlainText(QStringLiteral("Grüße, world"));
    typeKeys(QStringLiteral("pw"));
    click("btnSTART");
    EXPECT_EQ(box->toPlainText().toStdU16String(), modAES::EncryptString(u"Grüße, world", u"pw"));
    choose("decryption");
    typeKeys(QStringLiteral("pw"));
    enter();
    EXPECT_EQ(box->toPlainText(), QStringLiteral("Grüße, world"));
    expectIdleAndUsable("Decrypt!");
}

TEST_F(RunFromWindow, AssistiveTechnologyChoosesThePathAndTheDirectionThatRun) {
    writeFile(target, "attack at dawn");
    load();
    editable("filepath").insertText(0, QString::fromStdString(target));
    toggle("decryption");
    EXPECT_EQ(text("btnSTART"), "Decrypt!");
    EXPECT_EQ(text("Label3"), "Enter path of file to decrypt:");
    typeKeys(QStringLiteral("k3y"));
    enter();
    EXPECT_EQ(pauser.looks, flashLooks(u"File Not Encrypted with Vornal, Cannot Decrypt"));
    EXPECT_EQ(readFile(target), "attack at dawn");
    toggle("encryption");
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    typeKeys(QStringLiteral("k3y"));
    enter();
    EXPECT_TRUE(readFile(target).ends_with(kMarkerLine));
    expectIdleAndUsable("Encrypt!");
}

// The key boxes hold what they show, however it got there: the confirmation typed next is
// measured against the key as it now reads.
TEST_F(RunFromWindow, KeyBoxesChangedByAssistiveTechnologyCountAsTheyRead) {
    load();
    const struct {
        const char* box;
        std::function<void(QAccessibleEditableTextInterface&)> edit;
        const char* typed;
    } cases[] = {
        {"txtPass2", [](auto& e) { e.deleteText(0, 3); }, "ab"},
        {"txtPass1", [](auto& e) { e.replaceText(0, 3, QStringLiteral("abcdef")); }, "de"},
        {"txtPass1", [](auto& e) { e.insertText(1, QStringLiteral("xyz")); }, "de"},
    };
    for (const auto& c : cases) {
        typeKeys(QStringLiteral("abc"));
        c.edit(editable(c.box));
        QTest::keyClicks(get<QLineEdit>("txtPass2"), QString::fromLatin1(c.typed));
        EXPECT_TRUE(messages.boxes.empty()) << c.box << " then " << c.typed;
        EXPECT_EQ(form->window().text(Ctl::txtPass1), text("txtPass1").toStdU16String());
        EXPECT_EQ(form->window().text(Ctl::txtPass2), text("txtPass2").toStdU16String());
        messages.boxes.clear();
    }
}

// Each key in the confirmation box moves the meter by 4 until the confirmation would
// outgrow the key: that key is spent, the box cleared. Enter in either box starts, as the
// round trip above shows.
TEST_F(RunFromWindow, KeyPressesInTheConfirmationBoxMoveTheMeterUntilTheyOutgrowTheKey) {
    load();
    QTest::keyClicks(get<QLineEdit>("txtPass1"), QStringLiteral("abc"));
    std::vector<double> meter;
    for (char c : std::string("abcd")) {
        QTest::keyClick(get<QLineEdit>("txtPass2"), c);
        meter.push_back(form->window().value(Ctl::pgKey));
    }
    EXPECT_EQ(meter, (std::vector<double>{4, 8, 12, 0}));
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].prompt, u"The Encryption Keys do not match!");
    EXPECT_EQ(text("txtPass2"), QString());
    EXPECT_EQ(form->window().focus(), Ctl::txtPass2);
}

TEST_F(RunFromWindow, TheWindowKeepsHandlingEventsWhileARunWrites) {
    smallBatches();
    pick(manyWords());
    typeKeys(QStringLiteral("key"));
    std::atomic<bool> handled = false;
    std::atomic<bool> ticked = false;
    files.onWrite = [&](int n) {
        if (n != 3) {
            return;
        }
        // Were the run on the window's thread, neither could happen before it ends.
        QMetaObject::invokeMethod(
            form.get(), [&] { handled = true; }, Qt::QueuedConnection);
        for (int i = 0; i < 10000 && !(handled && ticked); ++i) {
            ticked = form->state().ElapsedSeconds > 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    enter();
    EXPECT_TRUE(handled);
    EXPECT_TRUE(ticked) << "the elapsed time did not count during the run";
    EXPECT_TRUE(readFile(target).ends_with(kMarkerLine));
    expectIdleAndUsable("Encrypt!");
}

class CancelFromWindow : public RunFromWindow {
protected:
    OnProgress midRun;
    std::string original = manyWords();

    // The user clicks the named control once the run has written part of the file.
    void clickMidRun(const char* name) {
        smallBatches();
        pick(original);
        form->window().addObserver(midRun);
        midRun.when = [this] { return files.writes >= 2; };
        midRun.action = [this, name] {
            EXPECT_EQ(text("btnSTART"), "Cancel");
            click(name);
        };
        typeKeys(QStringLiteral("key"));
        enter();
        EXPECT_FALSE(midRun.action) << "the run ended before it was half done";
        ASSERT_EQ(messages.boxes.size(), 1u);
        EXPECT_EQ(messages.boxes[0].title, u"User Cancellation");
    }
};

TEST_F(CancelFromWindow, ConfirmingPutsTheFileBackAndEndsTheProgramWithoutTheExitCommand) {
    messages.answers = {MsgAnswer::Ok};
    clickMidRun("btnSTART");
    EXPECT_EQ(processExit.calls, 1);
    EXPECT_EQ(readFile(target), original);
    EXPECT_EQ(readFile(target + ".bak"), original); // the backup stays
    EXPECT_FALSE(fileExists(home.file("prevdir.tmp")));
    EXPECT_EQ(logText().find("Success"), std::string::npos);
}

// A logout or SIGTERM mid-run asks nothing: the run stops and puts the file back, then the
// exit command saves the folder and ends the program.
TEST_F(CancelFromWindow, TheSessionEndingMidRunPutsTheFileBackThenRunsTheExitCommand) {
    SessionEnd session([this] { form->endSession(); });
    const std::function<void()> endings[] = {
        [] { ::raise(SIGTERM); },
        [] {
            QEvent quit(QEvent::Quit); // the session manager's end of the session
            QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        },
    };
    smallBatches();
    for (const auto& ending : endings) {
        processExit.calls = 0;
        pick(original);
        form->window().addObserver(midRun);
        midRun.when = [this, from = files.writes] { return files.writes >= from + 2; };
        midRun.action = ending;
        typeKeys(QStringLiteral("key"));
        enter();
        EXPECT_FALSE(midRun.action) << "the run ended before it was half done";
        EXPECT_TRUE(messages.boxes.empty());
        EXPECT_EQ(processExit.calls, 1);
        EXPECT_EQ(readFile(target), original);
        EXPECT_EQ(readFile(home.file("prevdir.tmp")), drive.path() + "\r\n");
        EXPECT_EQ(logText().find("Success"), std::string::npos);
        std::filesystem::remove(home.file("prevdir.tmp"));
        std::filesystem::remove(target + ".bak");
    }
}

TEST_F(CancelFromWindow, TheCloseImageAsksTooAndDecliningLetsTheRunFinish) {
    messages.answers = {MsgAnswer::Cancel};
    clickMidRun("Image2");
    EXPECT_EQ(processExit.calls, 0);
    const std::string encrypted = readFile(target);
    EXPECT_TRUE(encrypted.ends_with(kMarkerLine));
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_NE(logText().find("Success"), std::string::npos);
    expectIdleAndUsable("Encrypt!");
}

} // namespace
} // namespace vornal::test
