// Help over the real launcher, with a desktop made of the test's own scripts: what the
// started programs really receive. (View File's name reaches the editor as one word of a
// Command, which the launcher's own tests show arrives intact.)
#include "platform/Launcher.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/Help.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

class RealDesktopTest : public ::testing::Test {
protected:
    RealDesktopTest() {
        for (const char* folder : {"bin", "tmp", "data/applications", "help"}) {
            fs::create_directories(dir.file(folder));
        }
        writeFile(dir.file("help/index.html"), "<html></html>");
        // xdg-mime as the desktop has it: a copy of the file asked about is kept.
        writeScript(dir.file("bin/xdg-mime"), "case \"$2\" in\n"
                                              "filetype) cp \"$3\" '" +
                                                  dir.file("seen.htm") +
                                                  "'; echo text/html ;;\n"
                                                  "default) echo \"handler-for-$3.desktop\" ;;\n"
                                                  "*) exit 1 ;;\n"
                                                  "esac\n");
        // A program that writes each argument it gets on a line of its own.
        writeScript(dir.file("bin/record"),
                    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + dir.file("args.tmp") +
                        "'\nmv '" + dir.file("args.tmp") + "' '" + dir.file("args") + "'\n");
        env.vars = {{"PATH", dir.file("bin")},
                    {"TMPDIR", dir.file("tmp")},
                    {"HOME", dir.file("home")},
                    {"XDG_DATA_DIRS", dir.file("data")},
                    {"VORNAL_HELP_DIR", dir.file("help")}};
    }

    TempDir dir;
    FakeEnvironment env;
    PosixLauncher launcher{env};
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, ""};
    RecordingWindow window;
};

TEST_F(RealDesktopTest, HelpReachesTheBrowserAndTheScratchFileIsGone) {
    // "handler-for-text/html.desktop": the id the script gives has a "/" in it, which is
    // refused, so the browser is reached through xdg-open.
    writeScript(dir.file("bin/xdg-open"), "exec '" + dir.file("bin/record") + "' \"$@\"\n");

    btnAbout_Click(window, desktop);

    ASSERT_TRUE(waitForFile(dir.file("args")));
    EXPECT_EQ(readFile(dir.file("args")), dir.file("help/index.html") + "\n");
    EXPECT_EQ(readFile(dir.file("seen.htm")), "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    EXPECT_TRUE(window.messages.boxes.empty());
}

} // namespace
} // namespace vornal::test
