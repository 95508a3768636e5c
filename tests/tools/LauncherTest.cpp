#include "platform/Launcher.h"

#include "platform/RunError.h"
#include "platform/ScratchFile.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A shell script of the test's own, executable.
std::string script(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.file(name);
    writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// Waits up to five seconds for a file that a started program writes.
bool waitForFile(const std::string& path) {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < until) {
        if (fileExists(path)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let it finish writing
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class PosixLauncherTest : public ::testing::Test {
protected:
    SystemEnvironment system;
    PosixLauncher launcher{system};
    TempDir dir;
};

// --- Starting --------------------------------------------------------------------------

TEST_F(PosixLauncherTest, StartsAProgramByPathAndByName) {
    EXPECT_TRUE(launcher.start("/bin/true", {}));
    EXPECT_TRUE(launcher.start("true", {}));
}

TEST_F(PosixLauncherTest, MissingProgramFailsToStart) {
    EXPECT_FALSE(launcher.start(dir.file("no-such-program"), {}));
    EXPECT_FALSE(launcher.start("vornal-no-such-program-anywhere", {}));
    EXPECT_FALSE(launcher.start("", {}));
}

TEST_F(PosixLauncherTest, FileThatCannotBeExecutedFailsToStart) {
    // Executable bits but no format the system runs: only exec itself can tell.
    const std::string junk = dir.file("junk");
    writeFile(junk, std::string("\x7F\x45\x4C\x46garbage", 11));
    fs::permissions(junk, fs::perms::owner_all);
    EXPECT_FALSE(launcher.start(junk, {}));

    const std::string plain = dir.file("plain");
    writeFile(plain, "#!/bin/sh\n");
    EXPECT_FALSE(launcher.start(plain, {})); // no execute permission
}

TEST_F(PosixLauncherTest, ArgumentsArriveIntactAndRunNothing) {
    const std::string echo = script(dir, "echo-arg", "printf '%s' \"$1\" > \"$2\"\n");
    const std::string planted = dir.file("planted");
    const std::string awkward =
        "a b  $(touch " + planted + ") `touch " + planted + "` ; | & 'q' \"d\" *";
    const std::string out = dir.file("out");

    ASSERT_TRUE(launcher.start(echo, {awkward, out}));

    ASSERT_TRUE(waitForFile(out));
    EXPECT_EQ(readFile(out), awkward);
    EXPECT_FALSE(fileExists(planted));
}

TEST_F(PosixLauncherTest, ArgumentWithAZeroByteIsRefused) {
    EXPECT_FALSE(launcher.start("/bin/true", {std::string("a\0b", 3)}));
}

TEST_F(PosixLauncherTest, ReturnsWithoutWaitingForTheProgram) {
    const std::string slow = script(dir, "slow", "sleep 3\n");
    const auto before = Clock::now();
    ASSERT_TRUE(launcher.start(slow, {}));
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(1500));
}

TEST_F(PosixLauncherTest, StartedProgramIsNoChildOfOursSoLeavesNoZombie) {
    ASSERT_TRUE(launcher.start("/bin/true", {}));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixLauncherTest, StartedProgramHasNothingToReadOnItsInput) {
    const std::string reader = script(dir, "reader", "cat > \"$1\"\n");
    const std::string out = dir.file("input");
    ASSERT_TRUE(launcher.start(reader, {out}));
    ASSERT_TRUE(waitForFile(out));
    EXPECT_EQ(readFile(out), "");
}

// --- Capturing -------------------------------------------------------------------------

TEST_F(PosixLauncherTest, CaptureAnswersTheStandardOutput) {
    const auto out = launcher.capture("/bin/echo", {"text/html", "x y"}, std::chrono::seconds(5));
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "text/html x y\n");
}

TEST_F(PosixLauncherTest, CaptureOfAFailingProgramAnswersNothing) {
    const std::string failing = script(dir, "failing", "echo partial\nexit 3\n");
    EXPECT_FALSE(launcher.capture(failing, {}, std::chrono::seconds(5)));
    EXPECT_FALSE(launcher.capture(dir.file("missing"), {}, std::chrono::seconds(5)));
}

TEST_F(PosixLauncherTest, CaptureGivesUpAtItsTimeLimit) {
    // The script's child keeps the output open: the whole group has to go.
    const std::string hanging = script(dir, "hanging", "echo start\nsleep 30\n");
    const auto before = Clock::now();
    EXPECT_FALSE(launcher.capture(hanging, {}, std::chrono::milliseconds(300)));
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(3));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "the killed program was reaped";
}

// --- Finding ---------------------------------------------------------------------------

TEST_F(PosixLauncherTest, ProgramsAreFoundInThePathsFoldersInOrder) {
    FakeEnvironment env;
    TempDir first;
    TempDir second;
    script(second, "tool", "");
    env.vars["PATH"] = "relative/bin::" + first.path() + ":" + second.path() + "/";
    PosixLauncher local(env);

    EXPECT_EQ(local.findProgram("tool"), second.file("tool"));
    script(first, "tool", "");
    EXPECT_EQ(local.findProgram("tool"), first.file("tool"));
    EXPECT_FALSE(local.findProgram("other"));
    EXPECT_EQ(local.findProgram(second.file("tool")), second.file("tool"));
}

TEST_F(PosixLauncherTest, RelativePathEntriesAreNotSearched) {
    FakeEnvironment env;
    script(dir, "here", "");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    env.vars["PATH"] = ".:";
    PosixLauncher local(env);
    const bool found = local.findProgram("here").has_value();
    fs::current_path(before);
    EXPECT_FALSE(found);
}

TEST_F(PosixLauncherTest, OnlyExecutableRegularFilesArePrograms) {
    script(dir, "runs", "");
    writeFile(dir.file("data"), "x");
    EXPECT_TRUE(launcher.isProgram(dir.file("runs")));
    EXPECT_FALSE(launcher.isProgram(dir.file("data")));
    EXPECT_FALSE(launcher.isProgram(dir.path()));
    EXPECT_FALSE(launcher.isProgram(dir.file("missing")));
}

TEST(ExecutablePathTest, IsThisTestProgram) {
    const std::string path = executablePath();
    EXPECT_EQ(fs::path(path).filename(), "tools_tests");
}

// --- Scratch files ---------------------------------------------------------------------

TEST(ScratchFileTest, FreshPrivateFileInTheTemporaryFolderRemovedAfterwards) {
    TempDir dir;
    FakeEnvironment env;
    env.vars["TMPDIR"] = dir.path() + "/";
    std::string firstPath;
    {
        ScratchFile a(env, "p-", ".htm", "abc\r\n");
        ScratchFile b(env, "p-", ".htm", "abc\r\n");
        firstPath = a.path();
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(fs::path(a.path()).parent_path(), dir.path());
        EXPECT_TRUE(fs::path(a.path()).filename().string().starts_with("p-"));
        EXPECT_EQ(fs::path(a.path()).extension(), ".htm");
        EXPECT_EQ(readFile(a.path()), "abc\r\n");
        struct stat st {};
        ASSERT_EQ(::lstat(a.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(st.st_uid, ::geteuid());
    }
    EXPECT_FALSE(fileExists(firstPath));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ScratchFileTest, RelativeOrMissingTmpdirMeansSlashTmp) {
    FakeEnvironment env;
    EXPECT_EQ(temporaryFolder(env), "/tmp");
    env.vars["TMPDIR"] = "relative";
    EXPECT_EQ(temporaryFolder(env), "/tmp");
}

TEST(ScratchFileTest, FolderThatDoesNotExistThrows) {
    TempDir dir;
    FakeEnvironment env;
    env.vars["TMPDIR"] = dir.file("missing");
    EXPECT_THROW(ScratchFile(env, "p-", ".htm", "x"), RunError);
}

} // namespace
} // namespace vornal::test
