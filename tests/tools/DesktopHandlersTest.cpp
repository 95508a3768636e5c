#include "tools/DesktopHandlers.h"

#include "tests/tools/FakeDesktop.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;

const std::string kFile = "/home/u/my file.txt";

TEST(ExecCommandTest, TheFileIsOneWordAndNoCodeOfItsNameIsExpanded) {
    const struct {
        std::string exec;
        std::string file;
        std::optional<Command> command;
    } cases[] = {
        {"viewer --new %f", kFile, Command{"viewer", {"--new", kFile}}},
        {"viewer --new %F", kFile, Command{"viewer", {"--new", kFile}}},
        {"viewer --new %u", kFile, Command{"viewer", {"--new", kFile}}},
        {"viewer --new %U", kFile, Command{"viewer", {"--new", kFile}}},
        {"viewer", kFile, Command{"viewer", {kFile}}}, // no file code: the file goes last
        {"viewer %i %c %k --zoom=100%% %u", kFile, Command{"viewer", {"--zoom=100%", kFile}}},
        {R"("/opt/My App/run" "say \"hi\" \$HOME \\ \`x\`" %f)", kFile,
         Command{"/opt/My App/run", {R"(say "hi" $HOME \ `x`)", kFile}}},
        {"viewer %u", "/tmp/100%u %f.txt", Command{"viewer", {"/tmp/100%u %f.txt"}}},
        {"flatpak run --branch=stable org.example.Web @@u %u @@", kFile,
         Command{"flatpak", {"run", "--branch=stable", "org.example.Web", "@@u", kFile, "@@"}}},
        {"", kFile, std::nullopt},
        {"   ", kFile, std::nullopt},
        {"\"unclosed %u", kFile, std::nullopt},
        {"%i", kFile, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(execCommand(c.exec, c.file), c.command) << c.exec;
    }
}

TEST(ApplicationFoldersTest, UsersFolderFirstThenTheAbsoluteDataFolders) {
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

TEST(FileTypeTest, OnlyOneWordWithASlashIsAType) {
    FakeEnvironment env;
    FakeLauncher launcher;
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, ""};
    launcher.withXdgMime();
    launcher.answers["xdg-mime query filetype /x.htm"] = "text/html\n";
    launcher.answers["xdg-mime query filetype /y.htm"] = "error: no such file\n";
    EXPECT_EQ(fileType(desktop, "/x.htm"), "text/html");
    EXPECT_FALSE(fileType(desktop, "/y.htm"));
    EXPECT_FALSE(fileType(desktop, "/z.htm"));
}

// The entry the desktop names for text may be this program's own (it opens text files):
// it must not be taken for an editor, even reached through a link.
TEST(HandlerForTypeTest, ThisProgramsOwnEntryIsNoEditor) {
    TempDir dir;
    FakeEnvironment env;
    env.vars["XDG_DATA_HOME"] = dir.file("home");
    env.vars["XDG_DATA_DIRS"] = dir.file("sys");
    std::filesystem::create_directories(dir.file("sys/applications"));
    std::filesystem::create_directories(dir.file("bin"));
    writeFile(dir.file("bin/vornal"), "");
    std::filesystem::create_symlink(dir.file("bin/vornal"), dir.file("bin/link"));
    writeFile(dir.file("sys/applications/ed.desktop"),
              "[Desktop Entry]\nExec=" + dir.file("bin/link") + " %f\n");
    FakeLauncher launcher;
    launcher.withXdgMime();
    launcher.answers["xdg-mime query default text/plain"] = "ed.desktop\n";
    launcher.programs.insert(dir.file("bin/link"));
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, dir.file("bin/vornal")};
    EXPECT_FALSE(handlerForType(desktop, "text/plain", kFile));
}

} // namespace
} // namespace vornal::test
