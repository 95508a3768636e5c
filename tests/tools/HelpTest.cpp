// The Help and View File buttons: the browser or editor they start, what they show when
// they cannot, and where the help page is.
#include "tools/Help.h"

#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

enum class Twist { None, NoTmp, Refuse, NoPage };

struct ClickCase {
    Twist twist;
    const char* browser; // $BROWSER, unset when null
    const char* handler; // with xdg-mime installed, the HTML handler it names when not empty
    const char* type;    // what xdg-mime gives as the scratch file's type; nothing when null
    std::set<std::string> programs;
    const char* started; // the program started with the page; none when null
    const char* title;   // of the box shown; none when null
};

// Every way the click can end, with the page in a folder whose name a URL must escape; the
// scratch file is in the temporary folder while the browser is looked for, gone afterwards.
TEST(HelpTest, EveryWayTheClickCanEnd) {
    using enum Twist;
    const char* open = "/usr/bin/xdg-open";
    const char* web = "/usr/bin/web";
    const std::set<std::string> both = {web, "/usr/bin/lynx"};
    const std::vector<ClickCase> cases = {
        {None, "lynx:w3m", "web.desktop", nullptr, both, "/usr/bin/lynx", nullptr},
        {None, "not-installed", "web.desktop", nullptr, both, web, nullptr},
        {None, nullptr, "web.desktop", nullptr, both, web, nullptr},
        {None, nullptr, "", "application/xhtml+xml", {"/opt/x/viewer"}, "/opt/x/viewer", nullptr},
        {None, nullptr, "web.desktop", "error: no such file", both, web, nullptr},
        {NoTmp, nullptr, "web.desktop", nullptr, both, web, nullptr},
        {None, nullptr, nullptr, nullptr, {open}, open, nullptr}, // without xdg-mime
        {None, nullptr, "", nullptr, {}, nullptr, "Browser Not Found"},
        {Refuse, nullptr, "", nullptr, {open}, open, "URL Failed"},
        {NoPage, nullptr, "web.desktop", nullptr, both, nullptr, "URL Failed"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ClickCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        TempDir dir;
        for (const char* folder : {"tmp", "my help", "data/applications"}) {
            fs::create_directories(dir.file(folder));
        }
        const std::string page = dir.file("my help/index.html");
        if (c.twist != NoPage) {
            writeFile(page, "<html></html>");
        }
        writeFile(dir.file("data/applications/web.desktop"), "[Desktop Entry]\nExec=web %U\n");
        writeFile(dir.file("data/applications/x.desktop"), "[Desktop Entry]\nExec=/opt/x/viewer\n");
        FakeEnvironment env;
        env.vars = {{"VORNAL_HELP_DIR", dir.file("my help")},
                    {"TMPDIR", dir.file(c.twist == NoTmp ? "no-such-folder" : "tmp")},
                    {"HOME", dir.file("home")},
                    {"XDG_DATA_DIRS", dir.file("data")}};
        if (c.browser != nullptr) {
            env.vars["BROWSER"] = c.browser;
        }
        FakeLauncher launcher;
        launcher.programs = c.programs;
        if (c.twist == Refuse) {
            launcher.refusing.insert(open);
        }
        if (c.handler != nullptr) {
            launcher.withXdgMime();
            launcher.answers["xdg-mime query default application/xhtml+xml"] = "x.desktop\n";
            if (*c.handler != '\0') {
                launcher.answers["xdg-mime query default text/html"] =
                    c.handler + std::string("\n");
            }
        }
        launcher.onCapture = [&](const std::vector<std::string>& a) {
            if (a[1] == "filetype") {
                EXPECT_EQ(fs::path(a[2]).parent_path(), dir.file("tmp"));
                EXPECT_TRUE(a[2].ends_with(".htm")) << a[2];
                EXPECT_EQ(readFile(a[2]), "\"<HTML> <\\HTML>\"\r\n");
                if (c.type != nullptr) {
                    launcher.answers["xdg-mime query filetype " + a[2]] =
                        c.type + std::string("\n");
                }
            }
        };
        PosixFileSystem files;
        Desktop desktop{launcher, files, env, "/opt/vornal/bin/vornal"};
        RecordingWindow window;

        btnAbout_Click(window, desktop);

        EXPECT_EQ(launcher.started, c.started ? std::vector<Command>(1, {c.started, {page}})
                                              : std::vector<Command>());
        ASSERT_EQ(window.messages.boxes.size(), c.title == nullptr ? 0u : 1u);
        if (c.title != nullptr) {
            const auto& box = window.messages.boxes[0];
            EXPECT_EQ(box.title, ascii(c.title));
            EXPECT_EQ(box.prompt, std::string(c.title) == "URL Failed"
                                      ? u"Help file not Opened"
                                      : u"Could not find associated Browser to Get to help.\r\n "
                                        u"Visit file://" +
                                            ascii(dir.path()) +
                                            u"/my%20help/index.html for the latest help and "
                                            u"information.");
            EXPECT_EQ(box.buttons, MsgButtons::Ok);
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        }
        EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    }
}

// Installed beside the program, else in the configured folder.
TEST(HelpPageTest, InstalledBesideTheProgramThenTheConfiguredFolder) {
    struct Case {
        const char* executable;
        std::set<std::string> pages; // the index.html files there are
        const char* configured;      // VORNAL_HELP_DIR; unset when null
        const char* found;           // none when null
    };
    const char* installed = "usr/share/vornal/help";
    const Case cases[] = {
        {"usr/bin/vornal", {installed, "mine"}, "mine", installed},
        {"usr/bin/vornal", {"mine"}, "mine", "mine"},
        {"usr/bin/vornal", {"mine"}, "mine/", "mine"},
        {"", {installed, "mine"}, "mine", "mine"},
        {"usr/bin/vornal", {installed}, nullptr, installed},
        {"usr/bin/vornal", {}, "mine", nullptr},
        {"usr/bin/vornal", {}, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.executable) + " " + (c.configured ? c.configured : "-"));
        TempDir dir;
        FakeEnvironment env;
        PosixFileSystem files;
        for (const std::string& folder : c.pages) {
            fs::create_directories(dir.file(folder));
            writeFile(dir.file(folder + "/index.html"), "<html></html>");
        }
        if (c.configured != nullptr) {
            env.vars["VORNAL_HELP_DIR"] = dir.file(c.configured);
        }
        const std::string executable = *c.executable ? dir.file(c.executable) : "";
        EXPECT_EQ(helpPagePath(env, files, executable),
                  c.found == nullptr
                      ? std::nullopt
                      : std::optional(dir.file(std::string(c.found) + "/index.html")));
    }
}

TEST(HelpPageTest, FileUrlEscapesWhatAUrlCannotHold) {
    EXPECT_EQ(fileUrl("/usr/share/vornal/help/index.html"),
              "file:///usr/share/vornal/help/index.html");
    EXPECT_EQ(fileUrl("/a b/#1?x%/\xC3\xBC.html"), "file:///a%20b/%231%3Fx%25/%C3%BC.html");
}

// Names typed in the test's folder, the current one: leading blanks are part of a name, a
// folder is no file to view, and a name starting with "-" is not taken for an option; the
// name reaches the editor whole (the launcher's tests show that it arrives intact). The
// desktop's handler of text unless it cannot serve, else the known editors in their order,
// in /usr/bin or elsewhere on PATH.
TEST(ViewFileTest, WhichEditorStartsOrWhatIsFlashed) {
    const TempDir dir;
    for (const char* name : {"notes.txt", "-n notes.txt", "caf\xC3\xA9 \xE2\x82\xAC.txt"}) {
        writeFile(dir.file(name), "some notes");
    }
    const std::u16string notFound = u"Unable to find the file specified.";
    const struct {
        std::string typed;
        const char* handler; // the text handler's entry, when not null
        std::set<std::string> programs;
        std::string started; // the program, a blank and its argument; "" for none
        std::u16string flashed = u"";
    } cases[] = {
        {"", nullptr, {"/usr/bin/gedit"}, "", u"No file to view."},
        {"    ", nullptr, {"/usr/bin/gedit"}, "", u"No file to view."},
        {"missing.txt", nullptr, {"/usr/bin/gedit"}, "", notFound},
        {"  notes.txt", nullptr, {"/usr/bin/gedit"}, "", notFound},
        {".", nullptr, {"/usr/bin/gedit"}, "", notFound},
        {"notes.txt", "Exec=ed %f\n", {"/usr/bin/ed", "/usr/bin/gedit"}, "/usr/bin/ed notes.txt"},
        {"notes.txt", nullptr, {"/usr/bin/leafpad", "/usr/bin/kate"}, "/usr/bin/kate notes.txt"},
        {"-n notes.txt", nullptr, {"/opt/tools/bin/pluma"}, "/opt/tools/bin/pluma ./-n notes.txt"},
        {"caf\xC3\xA9 \xE2\x82\xAC.txt",
         nullptr,
         {"/usr/bin/gedit"},
         "/usr/bin/gedit caf\xC3\xA9 \xE2\x82\xAC.txt"},
        {"notes.txt", nullptr, {}, "", u"Could not locate /usr/bin/gedit"},
        // Found, but it does not start.
        {"notes.txt",
         nullptr,
         {"/usr/bin/xed"},
         "/usr/bin/xed notes.txt",
         u"Could not locate /usr/bin/xed"},
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.typed + "\" " + c.started);
        const TempDir data; // a system data folder
        FakeEnvironment env;
        env.vars = {{"XDG_DATA_HOME", data.file("none")}, {"XDG_DATA_DIRS", data.path()}};
        FakeLauncher launcher;
        launcher.path = {"/opt/tools/bin", "/usr/bin"};
        launcher.programs = c.programs;
        if (c.handler != nullptr) {
            launcher.withXdgMime();
            launcher.answers["xdg-mime query default text/plain"] = "ed.desktop\n";
            fs::create_directories(data.file("applications"));
            writeFile(data.file("applications/ed.desktop"),
                      "[Desktop Entry]\n" + std::string(c.handler));
        }
        launcher.refusing.insert("/usr/bin/xed");
        PosixFileSystem files;
        Desktop desktop{launcher, files, env, ""};
        RecordingWindow window;
        window.setFocus(Ctl::txtPass1);
        window.setText(Ctl::filepath, utf8ToUtf16(c.typed).value());
        view_file_Click(window, desktop);

        std::vector<Command> started;
        if (const std::size_t blank = c.started.find(' '); blank != std::string::npos) {
            started.push_back({c.started.substr(0, blank), {c.started.substr(blank + 1)}});
        }
        EXPECT_EQ(launcher.started, started);
        EXPECT_EQ(window.looks,
                  c.flashed.empty() ? std::vector<RecordingWindow::Look>{} : flashLooks(c.flashed));
        EXPECT_EQ(window.focus(), c.flashed == notFound ? Ctl::filepath : Ctl::txtPass1);
    }
    fs::current_path(before);
}

} // namespace
} // namespace vornal::test
