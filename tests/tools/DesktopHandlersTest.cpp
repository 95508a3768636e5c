#include "tools/DesktopHandlers.h"

#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

const std::string kFile = "/home/u/my file.txt";

// --- Exec lines ------------------------------------------------------------------------

TEST(ExecCommandTest, FileCodesBecomeTheFileAsOneWord) {
    for (const char* code : {"%f", "%F", "%u", "%U"}) {
        EXPECT_EQ(execCommand(std::string("viewer --new ") + code, kFile),
                  (Command{"viewer", {"--new", kFile}}))
            << code;
    }
}

TEST(ExecCommandTest, FileIsAddedWhenTheLineHasNoFileCode) {
    EXPECT_EQ(execCommand("viewer", kFile), (Command{"viewer", {kFile}}));
}

TEST(ExecCommandTest, OtherCodesAreDroppedAndPercentKept) {
    EXPECT_EQ(execCommand("viewer %i %c %k --zoom=100%% %u", kFile),
              (Command{"viewer", {"--zoom=100%", kFile}}));
}

TEST(ExecCommandTest, QuotedWordsKeepTheirBlanksAndEscapes) {
    EXPECT_EQ(execCommand(R"("/opt/My App/run" "say \"hi\" \$HOME \\ \`x\`" %f)", kFile),
              (Command{"/opt/My App/run", {R"(say "hi" $HOME \ `x`)", kFile}}));
}

TEST(ExecCommandTest, CodesInTheFileNameAreNotExpandedAgain) {
    EXPECT_EQ(execCommand("viewer %u", "/tmp/100%u %f.txt"),
              (Command{"viewer", {"/tmp/100%u %f.txt"}}));
}

TEST(ExecCommandTest, WrapperCommandsKeepTheirArguments) {
    EXPECT_EQ(
        execCommand("flatpak run --branch=stable org.example.Web @@u %u @@", kFile),
        (Command{"flatpak", {"run", "--branch=stable", "org.example.Web", "@@u", kFile, "@@"}}));
}

TEST(ExecCommandTest, UnusableLinesGiveNothing) {
    EXPECT_FALSE(execCommand("", kFile));
    EXPECT_FALSE(execCommand("   ", kFile));
    EXPECT_FALSE(execCommand("\"unclosed %u", kFile));
    EXPECT_FALSE(execCommand("%i", kFile));
}

// --- Where entries are found -----------------------------------------------------------

TEST(ApplicationFoldersTest, UsersFolderFirstThenTheDataFolders) {
    FakeEnvironment env;
    env.vars["HOME"] = "/home/u";
    EXPECT_THAT(applicationFolders(env),
                ElementsAre("/home/u/.local/share/applications", "/usr/local/share/applications",
                            "/usr/share/applications"));
    env.vars["XDG_DATA_HOME"] = "/data";
    env.vars["XDG_DATA_DIRS"] = "/a/:relative::/b";
    EXPECT_THAT(applicationFolders(env),
                ElementsAre("/data/applications", "/a/applications", "/b/applications"));
}

class HandlerForTypeTest : public ::testing::Test {
protected:
    HandlerForTypeTest() {
        env.vars["XDG_DATA_HOME"] = dir.file("home");
        env.vars["XDG_DATA_DIRS"] = dir.file("sys");
        fs::create_directories(dir.file("home/applications"));
        fs::create_directories(dir.file("sys/applications"));
        launcher.withXdgMime();
        launcher.answers["xdg-mime query default text/plain"] = "ed.desktop;other.desktop\n";
        launcher.programs.insert("/usr/bin/ed-gui");
    }
    void entry(const std::string& folder, const std::string& text) {
        writeFile(dir.file(folder + "/applications/ed.desktop"), text);
    }

    TempDir dir;
    FakeEnvironment env;
    FakeLauncher launcher;
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, ""};
};

TEST_F(HandlerForTypeTest, ExecOfTheDesktopEntryGroupWithEscapesUndone) {
    entry("sys", "# a comment\n"
                 "[Desktop Action new]\nExec=/usr/bin/wrong %f\n"
                 "[Desktop Entry]\nName=Editor\n"
                 // \s is a blank, so it must be quoted to stay in its word; \\\\ is one \.
                 "Exec=ed-gui \"--title=My\\sEditor\" a\\sb \"c:\\\\\\\\d\" %f\n"
                 "Exec=/usr/bin/second %f\n");
    EXPECT_EQ(handlerForType(desktop, "text/plain", kFile),
              (Command{"/usr/bin/ed-gui", {"--title=My Editor", "a", "b", "c:\\d", kFile}}));
}

TEST_F(HandlerForTypeTest, EntryWithoutExecWithAMissingProgramOrOfThisProgramGivesNothing) {
    entry("sys", "[Desktop Entry]\nName=Editor\n");
    EXPECT_FALSE(handlerForType(desktop, "text/plain", kFile));
    entry("sys", "[Desktop Entry]\nExec=/opt/missing %f\n");
    EXPECT_FALSE(handlerForType(desktop, "text/plain", kFile));
    // This program's own entry, reached through a link.
    fs::create_directories(dir.file("bin"));
    writeFile(dir.file("bin/vornal"), "");
    fs::create_symlink(dir.file("bin/vornal"), dir.file("bin/link"));
    launcher.programs.insert(dir.file("bin/link"));
    desktop.executable = dir.file("bin/vornal");
    entry("sys", "[Desktop Entry]\nExec=" + dir.file("bin/link") + " %f\n");
    EXPECT_FALSE(handlerForType(desktop, "text/plain", kFile));
}

TEST_F(HandlerForTypeTest, NoAnswerOrAnEntryNobodyHasGivesNothing) {
    EXPECT_FALSE(handlerForType(desktop, "text/plain", kFile));
    EXPECT_FALSE(handlerForType(desktop, "image/png", kFile));
}

TEST_F(HandlerForTypeTest, FileTypeIsOneWordWithASlash) {
    launcher.answers["xdg-mime query filetype /x.htm"] = "text/html\n";
    launcher.answers["xdg-mime query filetype /y.htm"] = "error: no such file\n";
    EXPECT_EQ(fileType(desktop, "/x.htm"), "text/html");
    EXPECT_FALSE(fileType(desktop, "/y.htm"));
    EXPECT_FALSE(fileType(desktop, "/z.htm"));
}

} // namespace
} // namespace vornal::test
