// Start-up and exit: the first run, the folder remembered in prevdir.tmp, the command line
// and the exit command.
#include "window/Startup.h"

#include "operations/FileFormat.h"
#include "platform/ProgramFolder.h"
#include "platform/RunJournal.h"
#include "platform/qt/QtSettingsStore.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/RecoveryDialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

// The real settings store, in a folder of the test's own.
class FirstRun : public FormFixture {
protected:
    TempDir config;
    QtSettingsStore store;

    FirstRun() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(config.path()));
        settingsStore = &store;
    }
    static std::unique_ptr<QSettings> stored() {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Vornal Encryption"));
    }
    QString runValue() { return stored()->value(QStringLiteral("SETTINGS/RUN")).toString(); }
};

// The program folder is made with its folders (none there yet, or some), the readme before
// the about file, silently; the next start does none of it.
TEST_F(FirstRun, MakesTheFoldersWritesTheFilesInOrderOnlyOnce) {
    for (const bool logThere : {false, true}) {
        SCOPED_TRACE(logThere ? "log folder there already" : "no program folder");
        fs::remove_all(home.path());
        if (logThere) {
            fs::create_directories(home.file("log"));
        }
        stored()->clear();
        firstRunSteps.clear();
        form.reset();
        load();
        EXPECT_EQ(runValue(), "1");
        EXPECT_TRUE(fs::is_directory(home.file("log")));
        EXPECT_TRUE(fs::is_directory(home.file("text")));
        EXPECT_EQ(firstRunSteps, (std::vector<std::string>{"readme", "about"}));
        EXPECT_EQ(text("Status"), "Ready.");
        EXPECT_TRUE(pauser.looks.empty());
        EXPECT_TRUE(messages.boxes.empty());
    }
    form.reset();
    firstRunSteps.clear();
    fs::remove(home.file("text"));
    load();
    EXPECT_TRUE(firstRunSteps.empty());
    EXPECT_FALSE(fs::exists(home.file("text")));
    EXPECT_EQ(runValue(), "1");
}

TEST_F(FirstRun, FailingStepsAreSkippedSilently) {
    files.failFolders.insert(home.file("log"));
    // A step that throws is skipped like a folder that cannot be made.
    FirstRunSteps steps{[this] {
                            firstRunSteps.push_back("readme");
                            throw RunError::fromErrno(ENOSPC);
                        },
                        [this] { firstRunSteps.push_back("about"); }};
    EXPECT_TRUE(runFirstStart(store, files, home.path(), steps));
    EXPECT_FALSE(fs::exists(home.file("log")));
    EXPECT_TRUE(fs::is_directory(home.file("text")));
    EXPECT_EQ(firstRunSteps, (std::vector<std::string>{"readme", "about"}));
    EXPECT_EQ(runValue(), "1");
}

class PreviousFolder : public FormFixture {};

// The first line of prevdir.tmp, when that folder is there; else the current folder,
// without a message.
TEST_F(PreviousFolder, TheListsStartOnTheSavedFolderWhenItIsThere) {
    fs::create_directory(drive.file("saved"));
    const std::string here = QDir::currentPath().toStdString();
    const struct {
        std::optional<std::string> saved;
        std::string folder;
        std::string root;
    } cases[] = {
        {drive.file("saved") + "\r\nsecond line\r\n", drive.file("saved"), drive.path()},
        {std::nullopt, here, "/"},
        {drive.file("deleted") + "\r\n", here, "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved.value_or("none"));
        fs::remove(home.file("prevdir.tmp"));
        if (c.saved) {
            writeFile(home.file("prevdir.tmp"), *c.saved);
        }
        load();
        EXPECT_EQ(dirList()->path().toStdString(), c.folder);
        EXPECT_EQ(fileList()->path().toStdString(), c.folder);
        EXPECT_EQ(driveList()->currentDrive()->root, c.root);
        EXPECT_TRUE(pauser.looks.empty());
        EXPECT_TRUE(messages.boxes.empty());
        form.reset();
    }
}

class CommandLine : public FormFixture {
protected:
    std::string target = drive.file("plain.txt");
    std::u16string path16() const { return utf8ToUtf16(target).value(); }
    CommandLine() { writeFile(target, std::string(2048, 'x')); }
};

// The switch form's letter, in either case, or for a path alone (what a file manager
// passes) the file's own content, chooses the direction; any other letter keeps it.
TEST_F(CommandLine, LoadsTheFileInTheDirectionTheLineOrTheFileAsks) {
    const std::string encrypted = drive.file("secret.txt");
    writeFile(encrypted, std::string(900, 'A') + ":\r" + std::string(kMarkerLine) + "\n");
    const std::u16string secret = utf8ToUtf16(encrypted).value();
    const struct {
        std::vector<std::u16string> arguments;
        const char* path;
        bool decrypt;
    } cases[] = {
        {{u"/D " + path16()}, "plain.txt", true},  {{u"-E " + path16()}, "plain.txt", false},
        {{u"/x " + path16()}, "plain.txt", false}, {{u"/x " + secret}, "secret.txt", false},
        {{path16()}, "plain.txt", false},          {{secret, path16()}, "secret.txt", true},
    };
    for (const auto& c : cases) {
        loadWith(c.arguments);
        EXPECT_EQ(text("filepath").toStdString(), drive.file(c.path));
        EXPECT_TRUE(get<QRadioButton>(c.decrypt ? "decryption" : "encryption")->isChecked())
            << c.path;
        EXPECT_EQ(text("btnSTART"), c.decrypt ? "Decrypt!" : "Encrypt!");
        EXPECT_EQ(text("Label3"),
                  c.decrypt ? "Enter path of file to decrypt:" : "Enter path of file to encrypt:");
        EXPECT_EQ(text("labelFileSize").toStdU16String(),
                  fileSizeText(readFile(drive.file(c.path)).size()));
        EXPECT_TRUE(pauser.looks.empty());
        EXPECT_TRUE(form->state().FileMode);
        form.reset();
    }
}

// One to three characters give an empty path; quotes stay part of the path. The window is
// on the screen before the message flashes.
TEST_F(CommandLine, APathThatNamesNoFileIsShownWithTheNotFoundMessage) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"/", u""},
        {u"/d", u""},
        {u"/d ", u""},
        {u"/d \"" + path16() + u"\"", u"\"" + path16() + u"\""},
        {u"/no/such/file.txt", u"/no/such/file.txt"},
    };
    for (const auto& [line, path] : cases) {
        pauser.looks.clear();
        pauser.shown.clear();
        load(line);
        EXPECT_EQ(text("filepath").toStdU16String(), path);
        EXPECT_EQ(pauser.looks, flashLooks(u"The file you selected could not be found."));
        EXPECT_EQ(pauser.shown, std::vector<bool>(6, true));
        EXPECT_EQ(text("Status"), "Ready.");
        EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
        EXPECT_EQ(text("labelFileSize"), "File size:");
        form.reset();
    }
}

TEST_F(CommandLine, AFileThatCannotBeOpenedForWritingStillCompletesStartUp) {
    files.denied.insert(target);
    load(u"/d " + path16());
    EXPECT_EQ(text("labelFileSize"), "File size: N/A");
    EXPECT_EQ(pauser.looks, flashLooks(u"Error: Access to file is denied."));
    EXPECT_TRUE(get<QRadioButton>("decryption")->isChecked());
    EXPECT_EQ(text("Status"), "Ready.");
}

TEST(CommandLineText, TheSwitchFormWhereItAppliesAndAPlainPathElsewhere) {
    EXPECT_EQ(commandLineText({}), u"");
    EXPECT_EQ(commandLineText({u"  /e", u"/tmp/a b.txt  "}), u"/e /tmp/a b.txt");
    const auto names = [](const std::u16string& path) { return path == u"ab cd"; };
    const struct {
        std::vector<std::u16string> arguments;
        std::u16string path;
        std::optional<char16_t> direction;
        bool plain;
    } cases[] = {
        {{u"  /e", u"/tmp/a b.txt "}, u"/tmp/a b.txt", u'e', false},
        {{u"/d"}, u"", u'd', false},
        {{u"/home/ann/notes.txt", u"/tmp/b"}, u"/home/ann/notes.txt", std::nullopt, true},
        {{u"ab cd"}, u"ab cd", std::nullopt, true},
        {{u"ab", u"cd"}, u"ab cd", std::nullopt, true},
        {{u"ab ce"}, u"ce", std::nullopt, false},
    };
    for (const auto& c : cases) {
        const auto parsed = parseCommandLine(c.arguments, names);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->path, c.path);
        EXPECT_EQ(parsed->direction, c.direction);
        EXPECT_EQ(parsed->plainPath, c.plain);
    }
    EXPECT_FALSE(parseCommandLine({u"   "}, names));
}

TEST_F(FormFixture, RunsThatWereInterruptedAreOfferedAtStartUpAndPutBack) {
    load();
    EXPECT_EQ(form->findChild<RecoveryDialog*>(), nullptr) << "nothing to offer";
    form.reset();

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
    EXPECT_FALSE(fileExists(path + ".bak"));
    EXPECT_FALSE(fileExists(hidden));
    EXPECT_TRUE(journal.records().empty());
    EXPECT_TRUE(
        dialog->findChild<QListWidget*>()->item(0)->text().endsWith(QStringLiteral(": put back")));
}

class ExitCommand : public FormFixture {};

// The hidden Exit button.
TEST_F(ExitCommand, WritesTheFolderListsFolderAndEndsTheProcess) {
    fs::create_directory(drive.file("work"));
    load();
    dirList()->setPath(QString::fromStdString(drive.file("work")),
                       QString::fromStdString(drive.path()));
    get<QPushButton>("Command4")->click();
    EXPECT_EQ(readFile(home.file("prevdir.tmp")), drive.file("work") + "\r\n");
    EXPECT_EQ(processExit.calls, 1);
}

TEST_F(ExitCommand, ClosingTheWindowRunsItEvenWhenTheFolderNeverChanged) {
    writeFile(home.file("prevdir.tmp"), "/a/much/longer/folder/than/the/current/one\r\n");
    load();
    form->close();
    EXPECT_EQ(readFile(home.file("prevdir.tmp")), QDir::currentPath().toStdString() + "\r\n");
    EXPECT_EQ(processExit.calls, 1);
}

// The program itself, ended as a logout ends every process.
TEST_F(ExitCommand, SigtermRunsItInTheRealProgram) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    env.push_back("VORNAL_HOME=" + home.path());
    env.push_back("XDG_CONFIG_HOME=" + drive.file("config")); // a first run, in here
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const std::string program = VORNAL_GUI_PATH;
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (::chdir(drive.path().c_str()) != 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0) {
            _exit(126);
        }
        ::execve(program.c_str(), argv, envp.data());
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // The first run writes these after the program has begun to listen for the signal.
    const auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 2000; ++i) {
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    EXPECT_TRUE(waitFor([&] { return fileExists(home.file("text/about.txt")); }));
    ::kill(pid, SIGTERM);
    int status = 0;
    if (!waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the program did not end";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(home.file("prevdir.tmp")), fs::canonical(drive.path()).string() + "\r\n");
}

TEST_F(ExitCommand, EndsTheProcessEvenWhenTheFileCannotBeWritten) {
    load();
    fs::remove_all(home.path());
    writeFile(home.path(), "a file where the folder should be");
    form->Command4_Click();
    EXPECT_EQ(processExit.calls, 1);
    fs::remove(home.path());
    fs::create_directory(home.path());
}

} // namespace
} // namespace vornal::test
