// Start-up and exit: the first run, the folder remembered in prevdir.tmp, the command line
// and the exit command.
#include "window/Startup.h"

#include "platform/ProgramFolder.h"
#include "platform/RunJournal.h"
#include "platform/qt/QtSettingsStore.h"
#include "tests/window/FormFixture.h"
#include "window/RecoveryDialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <cstdlib>
#include <filesystem>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

// The real settings store, in a folder of the test's own, and the program folder found
// as the program finds it.
class FirstRun : public FormFixture {
protected:
    TempDir config;
    QtSettingsStore store;

    FirstRun() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(config.path()));
        settingsStore = &store;
        ::setenv("VORNAL_HOME", home.path().c_str(), 1);
        programFolder = vornal::programFolder();
    }
    ~FirstRun() override { ::unsetenv("VORNAL_HOME"); }
    QString runValue() {
        QSettings read(QSettings::IniFormat, QSettings::UserScope,
                       QStringLiteral("Vornal Encryption"));
        return read.value(QStringLiteral("SETTINGS/RUN")).toString();
    }
};

TEST_F(FirstRun, MakesTheFoldersWritesTheFilesInOrderAndRemembersIt) {
    fs::remove(home.path());
    load();
    EXPECT_EQ(runValue(), "1");
    EXPECT_TRUE(fs::is_directory(home.file("log")));
    EXPECT_TRUE(fs::is_directory(home.file("text")));
    EXPECT_EQ(firstRunSteps, (std::vector<std::string>{"readme", "about"}));
    EXPECT_EQ(text("Status"), "Ready.");
}

TEST_F(FirstRun, ASecondRunDoesNothingOfIt) {
    load();
    form.reset();
    firstRunSteps.clear();
    fs::remove(home.file("text"));
    load();
    EXPECT_TRUE(firstRunSteps.empty());
    EXPECT_FALSE(fs::exists(home.file("text")));
    EXPECT_EQ(runValue(), "1");
}

TEST_F(FirstRun, FoldersThatExistAlreadyAreNoError) {
    fs::create_directory(home.file("log"));
    fs::create_directory(home.file("text"));
    load();
    EXPECT_EQ(runValue(), "1");
    EXPECT_EQ(firstRunSteps, (std::vector<std::string>{"readme", "about"}));
    EXPECT_TRUE(pauser.looks.empty());
    EXPECT_TRUE(messages.boxes.empty());
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

class PreviousFolder : public FormFixture {
protected:
    void save(const std::string& content) { writeFile(home.file("prevdir.tmp"), content); }
};

TEST_F(PreviousFolder, PresentPutsTheListsOnTheSavedFolderAndItsDrive) {
    fs::create_directory(drive.file("saved"));
    writeFile(drive.file("saved/x.txt"), "");
    save(drive.file("saved") + "\r\nsecond line\r\n");
    load();
    EXPECT_EQ(dirList()->path().toStdString(), drive.file("saved"));
    EXPECT_EQ(fileList()->path().toStdString(), drive.file("saved"));
    EXPECT_EQ(fileList()->count(), 1);
    EXPECT_EQ(driveList()->currentDrive()->root, drive.path());
}

TEST_F(PreviousFolder, AbsentLeavesTheListsOnTheCurrentFolder) {
    load();
    EXPECT_EQ(dirList()->path(), QDir::currentPath());
    EXPECT_EQ(driveList()->currentDrive()->root, "/");
    EXPECT_TRUE(pauser.looks.empty());
}

TEST_F(PreviousFolder, StaleLeavesTheListsOnTheCurrentFolderWithoutAMessage) {
    save(drive.file("deleted") + "\r\n");
    load();
    EXPECT_EQ(dirList()->path(), QDir::currentPath());
    EXPECT_EQ(fileList()->path(), QDir::currentPath());
    EXPECT_TRUE(pauser.looks.empty());
    EXPECT_TRUE(messages.boxes.empty());
}

class CommandLine : public FormFixture {
protected:
    std::string target = drive.file("plain.txt");
    std::u16string path16() const { return utf8ToUtf16(target).value(); }
    CommandLine() { writeFile(target, std::string(2048, 'x')); }
};

TEST_F(CommandLine, UpperCaseDSelectsDecryptionLoadsThePathAndShowsTheSize) {
    load(u"/D " + path16());
    EXPECT_EQ(text("filepath").toStdString(), target);
    EXPECT_TRUE(get<QRadioButton>("decryption")->isChecked());
    EXPECT_EQ(text("btnSTART"), "Decrypt!");
    EXPECT_EQ(text("Label3"), "Enter path of file to decrypt:");
    EXPECT_EQ(text("labelFileSize"), "File size: 2 kb");
    EXPECT_TRUE(pauser.looks.empty());
    EXPECT_TRUE(form->state().FileMode);
}

TEST_F(CommandLine, UpperCaseESelectsEncryptionAndOtherLettersKeepTheDirection) {
    load(u"-E " + path16());
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    form.reset();
    load(u"/x " + path16());
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(text("filepath").toStdString(), target);
    EXPECT_EQ(text("labelFileSize"), "File size: 2 kb");
}

TEST_F(CommandLine, OneToThreeCharactersGiveAnEmptyPathAndTheNotFoundMessage) {
    for (const std::u16string line : {u"/", u"/d", u"/d "}) {
        pauser.looks.clear();
        load(line);
        EXPECT_EQ(text("filepath"), "");
        EXPECT_EQ(pauser.looks, flashLooks(u"The file you selected could not be found."));
        EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
        EXPECT_EQ(text("labelFileSize"), "File size:");
        form.reset();
    }
}

TEST_F(CommandLine, QuotesStayPartOfThePath) {
    load(u"/d \"" + path16() + u"\"");
    EXPECT_EQ(text("filepath").toStdString(), "\"" + target + "\"");
    EXPECT_EQ(pauser.looks, flashLooks(u"The file you selected could not be found."));
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
}

TEST_F(CommandLine, TheWindowIsOnTheScreenBeforeAFailureFlashes) {
    load(u"/e /no/such/file");
    ASSERT_EQ(pauser.shown.size(), 6u);
    for (bool shown : pauser.shown) {
        EXPECT_TRUE(shown);
    }
    EXPECT_EQ(text("Status"), "Ready.");
}

TEST_F(CommandLine, AFileThatCannotBeOpenedForWritingStillCompletesStartUp) {
    files.denied.insert(target);
    load(u"/d " + path16());
    EXPECT_EQ(text("labelFileSize"), "File size: N/A");
    EXPECT_EQ(pauser.looks, flashLooks(u"Error: Access to file is denied."));
    EXPECT_TRUE(get<QRadioButton>("decryption")->isChecked());
    EXPECT_EQ(text("Status"), "Ready.");
}

TEST(CommandLineText, ArgumentsAreJoinedByBlanksAndTrimmed) {
    EXPECT_EQ(commandLineText({}), u"");
    EXPECT_EQ(commandLineText({u"  /e", u"/tmp/a b.txt  "}), u"/e /tmp/a b.txt");
    const auto parsed = parseCommandLine(u"  /e /tmp/a b.txt ");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->path, u"/tmp/a b.txt");
    EXPECT_EQ(parsed->direction, u'e');
    EXPECT_FALSE(parseCommandLine(u"   "));
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

TEST_F(ExitCommand, WritesTheFolderListsFolderAndEndsTheProcess) {
    fs::create_directory(drive.file("work"));
    load();
    dirList()->setPath(QString::fromStdString(drive.file("work")),
                       QString::fromStdString(drive.path()));
    form->Command4_Click();
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

TEST_F(ExitCommand, TheHiddenExitButtonIsTheExitCommand) {
    load();
    get<QPushButton>("Command4")->click();
    EXPECT_EQ(processExit.calls, 1);
    EXPECT_TRUE(fs::exists(home.file("prevdir.tmp")));
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
