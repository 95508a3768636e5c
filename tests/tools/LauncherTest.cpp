#include "platform/Launcher.h"

#include "platform/ScratchFile.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// No child of ours is left, running or ended.
void expectNoChild() {
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

class PosixLauncherTest : public ::testing::Test {
protected:
    SystemEnvironment system;
    PosixLauncher launcher{system};
    TempDir dir;
};

TEST_F(PosixLauncherTest, OnlyAProgramThatRunsStarts) {
    // Executable bits but no format the system runs: only exec itself can tell.
    writeFile(dir.file("junk"), std::string("\x7F\x45\x4C\x46garbage", 11));
    fs::permissions(dir.file("junk"), fs::perms::owner_all);
    writeFile(dir.file("plain"), "#!/bin/sh\n"); // no execute permission
    const std::pair<std::string, bool> cases[] = {
        {"/bin/true", true},
        {"true", true},
        {dir.file("missing"), false},
        {"vornal-no-such-program-anywhere", false},
        {"", false},
        {dir.file("junk"), false},
        {dir.file("plain"), false},
    };
    for (const auto& [program, starts] : cases) {
        EXPECT_EQ(launcher.start(program, {}), starts) << program;
    }
    EXPECT_FALSE(launcher.start("/bin/true", {std::string("a\0b", 3)}));
}

TEST_F(PosixLauncherTest, ArgumentsArriveIntactAndRunNothing) {
    const std::string echo = writeScript(dir.file("echo-arg"), "printf '%s' \"$1\" > \"$2\"\n");
    const std::string planted = dir.file("planted");
    const std::string awkward =
        "a b  $(touch " + planted + ") `touch " + planted + "` ; | & 'q' \"d\" *";
    const std::string out = dir.file("out");

    ASSERT_TRUE(launcher.start(echo, {awkward, out}));

    ASSERT_TRUE(waitForFile(out));
    EXPECT_EQ(readFile(out), awkward);
    EXPECT_FALSE(fileExists(planted));
}

// The program reads its input to the end, then runs on: start returns at once, the program
// is no child of ours (so leaves no zombie), and its input is empty rather than ours.
TEST_F(PosixLauncherTest, StartReturnsAtOnceLeavingNoChildAndNoInput) {
    const std::string input = dir.file("input");
    const std::string reader =
        writeScript(dir.file("reader"), "cat > \"$1.tmp\"\nmv \"$1.tmp\" \"$1\"\nsleep 3\n");
    const auto before = Clock::now();
    ASSERT_TRUE(launcher.start(reader, {input}));
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(1500));
    expectNoChild();
    ASSERT_TRUE(waitForFile(input));
    EXPECT_EQ(readFile(input), "");
}

TEST_F(PosixLauncherTest, CaptureAnswersTheOutputOfAProgramThatSucceedsInTime) {
    EXPECT_EQ(launcher.capture("/bin/echo", {"text/html", "x y"}, std::chrono::seconds(5)),
              "text/html x y\n");
    const std::string failing = writeScript(dir.file("failing"), "echo partial\nexit 3\n");
    EXPECT_FALSE(launcher.capture(failing, {}, std::chrono::seconds(5)));
    EXPECT_FALSE(launcher.capture(dir.file("missing"), {}, std::chrono::seconds(5)));
    // The script's child keeps the output open: the whole group has to go, and be reaped.
    const std::string hanging = writeScript(dir.file("hanging"), "echo start\nsleep 30\n");
    const auto before = Clock::now();
    EXPECT_FALSE(launcher.capture(hanging, {}, std::chrono::milliseconds(300)));
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(3));
    expectNoChild();
}

// Through the environment's PATH, for capture too.
TEST_F(PosixLauncherTest, ProgramsAreExecutableFilesFoundInAbsolutePathFoldersInOrder) {
    TempDir first;
    TempDir second;
    writeScript(second.file("tool"), "echo second\n");
    writeScript(dir.file("here"), ""); // in the current folder, which "." names
    writeFile(dir.file("data"), "x");
    FakeEnvironment env;
    env.vars["PATH"] = ".:relative/bin::" + first.path() + ":" + second.path() + "/";
    PosixLauncher local(env);

    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const bool foundHere = local.findProgram("here").has_value();
    fs::current_path(before);
    EXPECT_FALSE(foundHere);
    EXPECT_EQ(local.findProgram("tool"), second.file("tool"));
    EXPECT_EQ(local.capture("tool", {}, std::chrono::seconds(5)), "second\n");
    writeScript(first.file("tool"), "");
    EXPECT_EQ(local.findProgram("tool"), first.file("tool"));
    EXPECT_FALSE(local.findProgram("other"));
    EXPECT_EQ(local.findProgram(second.file("tool")), second.file("tool"));

    EXPECT_TRUE(local.isProgram(dir.file("here")));
    EXPECT_FALSE(local.isProgram(dir.file("data")));
    EXPECT_FALSE(local.isProgram(dir.path()));
    EXPECT_FALSE(local.isProgram(dir.file("missing")));
}

// Where it is, its name, content and removal the Help button's tests show.
TEST(ScratchFileTest, FreshPrivateFileInAnAbsoluteTemporaryFolder) {
    TempDir dir;
    FakeEnvironment env;
    env.vars["TMPDIR"] = "relative";
    EXPECT_EQ(temporaryFolder(env), "/tmp");
    env.vars["TMPDIR"] = dir.path() + "/";
    const ScratchFile a(env, "p-", ".htm", "abc");
    const ScratchFile b(env, "p-", ".htm", "abc");
    EXPECT_NE(a.path(), b.path());
    EXPECT_TRUE(fs::path(a.path()).filename().string().starts_with("p-"));
    struct stat st {};
    ASSERT_EQ(::lstat(a.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

} // namespace
} // namespace vornal::test
