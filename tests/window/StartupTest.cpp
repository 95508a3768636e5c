// Start-up and exit: the first run, the folder remembered in prevdir.tmp, the command line,
// the runs to put back, and the exit command.
#include "window/Startup.h"

#include "operations/FileFormat.h"
#include "platform/ProgramFolder.h"
#include "platform/RunJournal.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/RecoveryDialog.h"

#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <filesystem>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

// The program folder is made with its folders, the readme before the about file, silently;
// the next start does none of it. A folder that cannot be made and a step that fails are
// skipped, so none there yet is the case below.
TEST_F(FormFixture, TheFirstRunMakesTheFoldersAndWritesTheFilesInOrderOnlyOnce) {
    const auto stored = [] {
        return QSettings(QSettings::IniFormat, QSettings::UserScope,
                         QStringLiteral("Vornal Encryption"));
    };
    fs::create_directories(home.file("log")); // one of them there already
    stored().clear();
    load();
    EXPECT_EQ(stored().value(QStringLiteral("SETTINGS/RUN")).toString(), "1");
    EXPECT_TRUE(fs::is_directory(home.file("log")) && fs::is_directory(home.file("text")));
    EXPECT_EQ(firstRunSteps, (std::vector<std::string>{"readme", "about"}));
    EXPECT_TRUE(pauser.looks.empty() && messages.boxes.empty());
    firstRunSteps.clear();
    fs::remove(home.file("text"));
    load();
    EXPECT_TRUE(firstRunSteps.empty());
    EXPECT_FALSE(fs::exists(home.file("text")));

    form.reset();
    stored().clear();
    fs::remove_all(home.path());
    files.beforeCall = [this](std::size_t, const std::string& call) {
        if (call == "createDirectory " + home.file("log")) {
            throw RunError::fromErrno(EACCES);
        }
    };
    const FirstRunSteps steps{[] { throw RunError::fromErrno(ENOSPC); },
                              [this] { firstRunSteps.push_back("about"); }};
    EXPECT_TRUE(runFirstStart(settings, files, home.path(), steps));
    EXPECT_FALSE(fs::exists(home.file("log")));
    EXPECT_TRUE(fs::is_directory(home.file("text")));
    EXPECT_EQ(firstRunSteps, std::vector<std::string>{"about"});
    EXPECT_EQ(stored().value(QStringLiteral("SETTINGS/RUN")).toString(), "1");
}

// The switch form's letter, in either case, or for a path alone (what a file manager
// passes, maybe split at its blanks) the file's own content, chooses the direction; any
// other letter keeps it. A path that names no file (one to three characters give an empty
// one; quotes stay part of it) or a file that does not open for writing flashes, once the
// window is on the screen.
TEST_F(FormFixture, TheCommandLineLoadsTheFileInTheDirectionTheLineOrTheFileAsks) {
    const auto path = [this](const char* name) { return utf8ToUtf16(drive.file(name)).value(); };
    const std::u16string plain = path("plain text.txt"), secret = path("secret.txt"),
                         locked = path("locked.txt"), none = u"File size:";
    writeFile(drive.file("plain text.txt"), std::string(2048, 'x'));
    writeFile(drive.file("locked.txt"), "x");
    files.denied.insert(drive.file("locked.txt"));
    writeFile(drive.file("secret.txt"),
              std::string(900, 'A') + ":\r" + std::string(kMarkerLine) + "\n");
    const std::u16string secretSize = fileSizeText(readFile(drive.file("secret.txt")).size());
    const std::u16string notFound = u"The file you selected could not be found.";
    const struct {
        std::vector<std::u16string> arguments;
        std::u16string path;
        bool decrypt;
        std::u16string size, flashed; // flashed empty: none
    } cases[] = {
        {{u"/D " + plain}, plain, true, u"File size: 2 kb", u""},
        {{u"  -E", plain + u"  "}, plain, false, u"File size: 2 kb", u""},
        {{u"/x " + secret}, secret, false, secretSize, u""},
        {{plain}, plain, false, u"File size: 2 kb", u""},
        {{path("plain"), u"text.txt"}, plain, false, u"File size: 2 kb", u""},
        {{secret, plain}, secret, true, secretSize, u""},
        {{u"/d"}, u"", false, none, notFound},
        {{u"/d \"" + plain + u"\""}, u"\"" + plain + u"\"", false, none, notFound},
        {{u"/no/such/file.txt"}, u"/no/such/file.txt", false, none, notFound},
        {{u"/d " + locked}, locked, true, u"File size: N/A", u"Error: Access to file is denied."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf16ToUtf8(c.arguments[0]));
        pauser.looks.clear();
        pauser.shown.clear();
        loadWith(c.arguments);
        EXPECT_EQ(text("filepath").toStdU16String(), c.path);
        EXPECT_TRUE(checked(c.decrypt ? "decryption" : "encryption"));
        EXPECT_EQ(text("labelFileSize").toStdU16String(), c.size);
        EXPECT_EQ(pauser.looks,
                  c.flashed.empty() ? std::vector<RecordingWindow::Look>{} : flashLooks(c.flashed));
        EXPECT_EQ(pauser.shown, std::vector<bool>(pauser.looks.size(), true));
    }
}

TEST_F(FormFixture, RunsThatWereInterruptedAreOfferedAtStartUpAndPutBack) {
    load();
    EXPECT_EQ(form->findChild<RecoveryDialog*>(), nullptr) << "nothing to offer";

    // What a run leaves that died just after its new file took the name.
    const std::string path = drive.file("notes.txt");
    const std::string hidden = drive.file(".notes.txt.vornal-new");
    writeFile(path, "the original words");
    RunJournal journal(journalFolder(home.path()));
    RunRecord r;
    r.target = canonicalTarget(path);
    r.backup = canonicalTarget(path + ".bak");
    r.temporary = canonicalTarget(hidden);
    r.original = files.identify(path);
    journal.write(r);
    files.link(path, path + ".bak");
    writeFile(hidden, "half a run's work");
    files.exchange(hidden, path);

    load();
    auto* dialog = form->findChild<RecoveryDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("PutBack")), Qt::LeftButton);
    EXPECT_EQ(readFile(path), "the original words");
    EXPECT_FALSE(fileExists(path + ".bak") || fileExists(hidden));
    EXPECT_TRUE(journal.records().empty());
    EXPECT_TRUE(
        dialog->findChild<QListWidget*>()->item(0)->text().endsWith(QStringLiteral(": put back")));
}

// The lists start on the first line of prevdir.tmp when that folder is there, else on the
// current folder, without a message. The hidden Exit button, a close or the icon's double
// click puts the folder the list then shows in its place and ends the process, even when
// it cannot be written.
TEST_F(FormFixture, TheListsStartOnTheFolderSavedAtTheLastExit) {
    fs::create_directory(drive.file("saved"));
    fs::create_directory(drive.file("work"));
    const std::string here = QDir::currentPath().toStdString();
    const struct {
        std::optional<std::string> saved;
        std::string folder, root;
        std::function<void()> exit;
    } cases[] = {
        {drive.file("saved") + "\r\nsecond line\r\n", drive.file("saved"), drive.path(),
         [this] { click("Command4"); }},
        {std::nullopt, here, "/", [this] { form->close(); }},
        {drive.file("deleted/a/folder/name/longer/than/the/one/the/list/shows") + "\r\n", here, "/",
         [this] {
             mouse("TitlebarIco", QEvent::MouseButtonDblClick, {3, 3}, Qt::LeftButton,
                   Qt::LeftButton);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved.value_or("none"));
        fs::remove(home.file("prevdir.tmp"));
        if (c.saved) {
            writeFile(home.file("prevdir.tmp"), *c.saved);
        }
        processExit.calls = 0;
        load();
        EXPECT_EQ(dirList()->path().toStdString(), c.folder);
        EXPECT_EQ(fileList()->path().toStdString(), c.folder);
        EXPECT_EQ(driveList()->currentDrive()->root, c.root);
        EXPECT_TRUE(pauser.looks.empty() && messages.boxes.empty());
        dirList()->setPath(QString::fromStdString(drive.file("work")),
                           QString::fromStdString(drive.path()));
        c.exit();
        EXPECT_EQ(readFile(home.file("prevdir.tmp")), drive.file("work") + "\r\n");
        EXPECT_EQ(processExit.calls, 1);
    }
    fs::remove_all(home.path());
    writeFile(home.path(), "a file where the folder should be");
    form->Command4_Click();
    EXPECT_EQ(processExit.calls, 2);
    fs::remove(home.path());
    fs::create_directory(home.path());
}

// The program itself, ended as a logout ends every process.
TEST_F(FormFixture, SigtermRunsTheExitCommandInTheRealProgram) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORNAL_HOME"), QString::fromStdString(home.path()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(drive.file("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QString::fromStdString(drive.path()));
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(VORNAL_GUI_PATH), {});
    // The first run writes this after the program has begun to listen for the signal.
    EXPECT_TRUE(QTest::qWaitFor([this] { return fileExists(home.file("text/about.txt")); }, 20000));
    program.terminate(); // SIGTERM
    if (!program.waitForFinished(20000)) {
        program.kill();
        program.waitForFinished();
        FAIL() << "the program did not end";
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(readFile(home.file("prevdir.tmp")), fs::canonical(drive.path()).string() + "\r\n");
}

} // namespace
} // namespace vornal::test
