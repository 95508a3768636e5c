#include "platform/Text.h"
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
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A folder with notes.txt, a home and a system data folder, with a fake launcher.
struct ViewWorld {
    ViewWorld() {
        env.vars = {{"HOME", home.path()}, {"XDG_DATA_DIRS", data.path()}};
        fs::create_directories(data.file("applications"));
        writeFile(notes(), "some notes");
    }
    std::string notes() const { return dir.file("notes.txt"); }
    void textHandler(const std::string& id, const std::string& body) {
        launcher.withXdgMime();
        launcher.answers["xdg-mime query default text/plain"] = id + "\n";
        writeFile(data.file("applications/" + id), body);
    }
    void click(const std::string& path) {
        window.setText(Ctl::filepath, utf8ToUtf16(path).value());
        view_file_Click(window, desktop);
    }

    TempDir dir;
    TempDir home;
    TempDir data;
    FakeEnvironment env;
    FakeLauncher launcher;
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, ""};
    RecordingWindow window;
};

// Names in the test's folder, blanks before them kept: leading blanks are part of the name,
// and a folder is no file to view.
TEST(ViewFileTest, NoFileOrOneThatCannotBeFoundFlashesAndStartsNothing) {
    const std::u16string notFound = u"Unable to find the file specified.";
    for (const auto& [typed, message] :
         std::vector<std::pair<std::string, std::u16string>>{{"", u"No file to view."},
                                                             {"    ", u"No file to view."},
                                                             {"missing.txt", notFound},
                                                             {"  notes.txt", notFound},
                                                             {".", notFound}}) {
        SCOPED_TRACE("\"" + typed + "\"");
        ViewWorld w;
        w.launcher.programs.insert("/usr/bin/gedit");
        w.window.setFocus(Ctl::txtPass1);
        const std::size_t name = typed.find_first_not_of(' ');
        w.click(name == std::string::npos ? typed
                                          : typed.substr(0, name) + w.dir.file(typed.substr(name)));

        EXPECT_EQ(w.window.looks, flashLooks(message));
        EXPECT_EQ(w.window.focus(), message == notFound ? Ctl::filepath : Ctl::txtPass1);
        EXPECT_THAT(w.launcher.started, IsEmpty());
        EXPECT_THAT(w.launcher.captured, IsEmpty());
    }
}

// The desktop's handler of text (unless it runs in a terminal, has no Exec or names a missing
// program), else the known editors in their order, in /usr/bin or elsewhere on PATH.
TEST(ViewFileTest, WhichEditorOpensTheFile) {
    const struct {
        const char* handler; // the text handler's entry, when not null
        std::set<std::string> programs;
        std::vector<std::string> started; // the program, then its arguments before the file
        const char16_t* flashed;
    } cases[] = {
        // Only the entry group's first Exec; \s is a blank, so it must be quoted to stay in
        // its word; \\\\ is one \.
        {"# a comment\n[Desktop Action new]\nExec=/usr/bin/wrong %f\n"
         "[Desktop Entry]\nName=Editor\n"
         "Exec=\"/opt/my editor/edit\" \"--title=My\\sEditor\" a\\sb \"c:\\\\\\\\d\" %F\n"
         "Exec=/usr/bin/wrong %f\n",
         {"/opt/my editor/edit", "/usr/bin/gedit", "/usr/bin/wrong"},
         {"/opt/my editor/edit", "--title=My Editor", "a", "b", "c:\\d"},
         nullptr},
        {"[Desktop Entry]\nExec=vim %F\nTerminal=true\n",
         {"/usr/bin/vim", "/usr/bin/mousepad"},
         {"/usr/bin/mousepad"},
         nullptr},
        {"[Desktop Entry]\nName=Editor\n", {"/usr/bin/kate"}, {"/usr/bin/kate"}, nullptr},
        {"[Desktop Entry]\nExec=/opt/missing %f\n",
         {"/usr/bin/leafpad", "/usr/bin/kate"},
         {"/usr/bin/kate"},
         nullptr},
        {nullptr, {"/opt/tools/bin/pluma"}, {"/opt/tools/bin/pluma"}, nullptr},
        {nullptr, {}, {}, u"Could not locate /usr/bin/gedit"},
        {nullptr, {"/usr/bin/xed"}, {"/usr/bin/xed"}, u"Could not locate /usr/bin/xed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.started.empty() ? "none" : c.started.front());
        ViewWorld w;
        w.launcher.path = {"/opt/tools/bin", "/usr/bin"};
        w.launcher.programs = c.programs;
        if (c.handler != nullptr) {
            w.textHandler("org.example.Editor.desktop", c.handler);
        }
        if (c.flashed != nullptr && !c.started.empty()) {
            w.launcher.refusing.insert(c.started.front());
        }

        w.click(w.notes());

        if (c.started.empty()) {
            EXPECT_THAT(w.launcher.started, IsEmpty());
        } else {
            std::vector<std::string> args(c.started.begin() + 1, c.started.end());
            args.push_back(w.notes());
            EXPECT_THAT(w.launcher.started,
                        ElementsAre(FakeLauncher::Call{c.started.front(), args}));
        }
        EXPECT_EQ(w.window.looks, c.flashed == nullptr ? std::vector<RecordingWindow::Look>{}
                                                       : flashLooks(c.flashed));
    }
}

// Through the known editor and through the desktop's handler (where a code in the name
// could be expanded), whatever the name holds.
TEST(ViewFileTest, EditorGetsTheWholePathAsOneArgument) {
    for (const std::string name :
         {"my notes.txt", "two  blanks .txt", "a;b&c|d.txt", "$(touch pwned).txt", "`id`.txt",
          "quote\"d'.txt", "percent %f %u.txt", "new\nline.txt", "caf\xC3\xA9 \xE2\x82\xAC.txt"}) {
        for (const bool handler : {false, true}) {
            SCOPED_TRACE(name + (handler ? " through the handler" : ""));
            ViewWorld w;
            const std::string path = w.dir.file(name);
            writeFile(path, "text");
            const std::string program = handler ? "/usr/bin/ed-gui" : "/usr/bin/gedit";
            w.launcher.programs.insert(program);
            if (handler) {
                w.textHandler("ed.desktop", "[Desktop Entry]\nExec=ed-gui %f\n");
            }
            w.click(path);
            EXPECT_THAT(w.launcher.started, ElementsAre(FakeLauncher::Call{program, {path}}));
        }
    }
}

TEST(ViewFileTest, RelativeNameStartingWithADashIsNotTakenForAnOption) {
    ViewWorld w;
    writeFile(w.dir.file("-n notes.txt"), "text");
    w.launcher.programs.insert("/usr/bin/gedit");
    const fs::path before = fs::current_path();
    fs::current_path(w.dir.path());
    w.click("-n notes.txt");
    fs::current_path(before);
    EXPECT_THAT(w.launcher.started,
                ElementsAre(FakeLauncher::Call{"/usr/bin/gedit", {"./-n notes.txt"}}));
}

} // namespace
} // namespace vornal::test
