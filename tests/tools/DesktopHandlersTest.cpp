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

// The entry xdg-mime names, from the first application folder that holds it. Passed over:
// an entry that runs in a terminal, has no Exec in its own group or names a missing program;
// an id reaching out of the folders; and this program's own entry (it opens text files),
// even reached through a link.
TEST(HandlerForTypeTest, TheNamedEntryOfTheFirstFolderUnlessItCannotServe) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("home/applications"));
    std::filesystem::create_directories(dir.file("sys/applications"));
    writeFile(dir.file("vornal"), "");
    std::filesystem::create_symlink(dir.file("vornal"), dir.file("link"));
    const struct {
        std::string id, system, user;
        std::optional<Command> command;
    } cases[] = {
        {"ed.desktop",
         "# a comment\n[Desktop Action new]\nExec=/usr/bin/wrong %f\n[Desktop Entry]\n"
         "Exec=\"/opt/my editor/edit\" \"--title=My\\sEditor\" a\\sb \"c:\\\\\\\\d\" %F\n"
         "Exec=/usr/bin/wrong %f\n",
         "", Command{"/opt/my editor/edit", {"--title=My Editor", "a", "b", "c:\\d", kFile}}},
        {"ed.desktop", "Exec=/usr/bin/sys %u\n", "Exec=/usr/bin/mine\n",
         Command{"/usr/bin/mine", {kFile}}},
        {"ed.desktop", "Exec=/usr/bin/sys %u\n", "Exec=/usr/bin/sys\nTerminal=true\n", {}},
        {"ed.desktop", "Name=Editor\n", "", {}},
        {"ed.desktop", "Exec=/opt/missing %f\n", "", {}},
        {"../evil.desktop", "Exec=/usr/bin/sys %u\n", "", {}},
        {"ed.desktop", "Exec=" + dir.file("link") + " %f\n", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system + c.user);
        std::filesystem::remove(dir.file("home/applications/ed.desktop"));
        writeFile(dir.file("sys/applications/" + c.id), "[Desktop Entry]\n" + c.system);
        if (!c.user.empty()) {
            writeFile(dir.file("home/applications/" + c.id), "[Desktop Entry]\n" + c.user);
        }
        FakeEnvironment env;
        env.vars = {{"XDG_DATA_HOME", dir.file("home")}, {"XDG_DATA_DIRS", dir.file("sys")}};
        FakeLauncher launcher;
        launcher.withXdgMime();
        launcher.answers["xdg-mime query default text/plain"] = c.id + "\n";
        launcher.programs.insert({"/opt/my editor/edit", "/usr/bin/wrong", "/usr/bin/sys",
                                  "/usr/bin/mine", dir.file("link")});
        PosixFileSystem files;
        Desktop desktop{launcher, files, env, dir.file("vornal")};
        EXPECT_EQ(handlerForType(desktop, "text/plain", kFile), c.command);
    }
}

} // namespace
} // namespace vornal::test
