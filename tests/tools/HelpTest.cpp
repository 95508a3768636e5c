#include "tools/Help.h"

#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// A help page, a temporary folder, a home and a system data folder, with a fake launcher.
struct HelpWorld {
    HelpWorld() {
        for (const char* folder : {"tmp", "help", "home", "data/applications"}) {
            fs::create_directories(dir.file(folder));
        }
        writeFile(page(), "<html></html>");
        env.vars = {{"VORNAL_HELP_DIR", dir.file("help")},
                    {"TMPDIR", tmp()},
                    {"HOME", dir.file("home")},
                    {"XDG_DATA_DIRS", dir.file("data")}};
    }
    std::string page() const { return dir.file("help/index.html"); }
    std::string tmp() const { return dir.file("tmp"); }
    void click() { btnAbout_Click(window, desktop); }

    TempDir dir;
    FakeEnvironment env;
    FakeLauncher launcher;
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, "/opt/vornal/bin/vornal"};
    RecordingWindow window;
};

enum class Twist { None, BrowserVar, BadBrowserVar, ScratchType, UserEntry, NoTmp, Refuse, NoPage };

struct ClickCase {
    Twist twist;         // what else the case needs
    const char* handler; // with xdg-mime installed, the handler of HTML it names when not empty
    const char* exec;    // the Exec line and more of its system entry
    std::set<std::string> programs;
    const char* started;       // started with the page; nothing when null
    const char* title;         // the title of the box shown; none when null
    const char* queries = "?"; // the xdg-mime calls, "T" asking the type, "H" the HTML handler
};

// Every way the click can end, and in each the scratch file is gone afterwards.
TEST(HelpTest, EveryWayTheClickCanEnd) {
    using enum Twist;
    const char* xdgOpen = "/usr/bin/xdg-open";
    const std::vector<ClickCase> cases = {
        {BrowserVar,
         "web.desktop",
         "Exec=/opt/web %u",
         {"/usr/bin/lynx", "/opt/web"},
         "/usr/bin/lynx",
         nullptr,
         ""},
        {BadBrowserVar,
         "web.desktop",
         "Exec=web --new-window %u",
         {"/usr/bin/web"},
         "/usr/bin/web --new-window",
         nullptr},
        {ScratchType, nullptr, nullptr, {"/opt/x/viewer"}, "/opt/x/viewer", nullptr},
        {None, "web.desktop", "Exec=web %U", {"/usr/bin/web"}, "/usr/bin/web", nullptr, "TH"},
        {NoTmp, "web.desktop", "Exec=web %u", {"/usr/bin/web"}, "/usr/bin/web", nullptr, "H"},
        {UserEntry,
         "web.desktop",
         "Exec=/usr/bin/system-web %u",
         {"/usr/bin/system-web", "/usr/bin/my-web"},
         "/usr/bin/my-web",
         nullptr},
        {None,
         "tty.desktop",
         "Exec=tty-browser %u\nTerminal=true",
         {"/usr/bin/tty-browser", xdgOpen},
         xdgOpen,
         nullptr},
        {None, "gone.desktop", "Exec=/opt/gone/browser %u", {xdgOpen}, xdgOpen, nullptr},
        {None, nullptr, nullptr, {xdgOpen}, xdgOpen, nullptr}, // without xdg-mime
        // A handler reaching out of the application folders.
        {None,
         "../evil.desktop",
         "Exec=/usr/bin/evil %u",
         {"/usr/bin/evil"},
         nullptr,
         "Browser Not Found"},
        {None, "", nullptr, {}, nullptr, "Browser Not Found"},
        {Refuse, "", nullptr, {xdgOpen}, xdgOpen, "URL Failed"},
        {NoPage, "web.desktop", "Exec=web %u", {"/usr/bin/web"}, nullptr, "URL Failed", ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ClickCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        HelpWorld w;
        FakeLauncher& launcher = w.launcher;
        launcher.programs = c.programs;
        if (c.handler != nullptr) {
            launcher.withXdgMime();
            if (*c.handler != '\0') {
                launcher.answers["xdg-mime query default text/html"] =
                    c.handler + std::string("\n");
            }
        }
        if (c.exec != nullptr) {
            writeFile(w.dir.file("data/applications/") + c.handler,
                      "[Desktop Entry]\nType=Application\n" + std::string(c.exec) + "\n");
        }
        bool scratchDuringLookup = false;
        bool scratchAtStart = true;
        launcher.onCapture = [&](const std::string&, const std::vector<std::string>& a) {
            scratchDuringLookup = scratchDuringLookup || !fs::is_empty(w.tmp());
            if (c.twist == ScratchType && a[1] == "filetype") {
                launcher.answers["xdg-mime query filetype " + a[2]] = "application/xhtml+xml\n";
            }
        };
        launcher.onStart = [&](const std::string&, const std::vector<std::string>&) {
            scratchAtStart = !fs::is_empty(w.tmp());
        };
        switch (c.twist) {
        case None:
            break;
        case BrowserVar:
            w.env.vars["BROWSER"] = "lynx:w3m";
            break;
        case BadBrowserVar:
            w.env.vars["BROWSER"] = "not-installed";
            break;
        case ScratchType:
            launcher.withXdgMime();
            launcher.answers["xdg-mime query default application/xhtml+xml"] = "x.desktop\n";
            writeFile(w.dir.file("data/applications/x.desktop"),
                      "[Desktop Entry]\nType=Application\nExec=/opt/x/viewer %f\n");
            break;
        case UserEntry: // hides the system entry of the same name
            fs::create_directories(w.dir.file("home/.local/share/applications"));
            writeFile(w.dir.file("home/.local/share/applications/web.desktop"),
                      "[Desktop Entry]\nExec=/usr/bin/my-web %u\n");
            break;
        case NoTmp:
            w.env.vars["TMPDIR"] = w.dir.file("no-such-folder");
            break;
        case Refuse:
            launcher.refusing.insert(xdgOpen);
            break;
        case NoPage:
            fs::remove(w.page());
            break;
        }

        w.click();

        if (c.started == nullptr) {
            EXPECT_THAT(launcher.started, IsEmpty());
        } else {
            std::istringstream words(c.started);
            FakeLauncher::Call call;
            words >> call.program;
            for (std::string word; words >> word;) {
                call.args.push_back(word);
            }
            call.args.push_back(w.page());
            EXPECT_THAT(launcher.started, ElementsAre(call));
            EXPECT_FALSE(scratchAtStart) << "removed once the browser is found";
        }
        if (c.title == nullptr) {
            EXPECT_THAT(w.window.messages.boxes, IsEmpty());
        } else {
            ASSERT_EQ(w.window.messages.boxes.size(), 1u);
            const auto& box = w.window.messages.boxes[0];
            const std::u16string notFound = u"Could not find associated Browser to Get to help."
                                            u"\r\n Visit file://" +
                                            ascii(w.page()) +
                                            u" for the latest help and information.";
            EXPECT_EQ(box.title, ascii(c.title));
            EXPECT_EQ(box.prompt,
                      std::string(c.title) == "URL Failed" ? u"Help file not Opened" : notFound);
            EXPECT_EQ(box.buttons, MsgButtons::Ok);
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        }
        std::string queries;
        for (const auto& call : launcher.captured) {
            const bool type = call.args[1] == "filetype";
            queries += type ? "T" : "H";
            EXPECT_TRUE(type ||
                        call.args == (std::vector<std::string>{"query", "default", "text/html"}) ||
                        c.twist == ScratchType);
            EXPECT_TRUE(!type || scratchDuringLookup);
        }
        if (std::string(c.queries) != "?") {
            EXPECT_EQ(queries, c.queries);
        }
        EXPECT_TRUE(fs::is_empty(w.tmp()));
    }
}

TEST(HelpTest, MessageCarriesTheEscapedAddressAndTheBrowserGetsThePlainPath) {
    HelpWorld w;
    fs::create_directories(w.dir.file("my help"));
    writeFile(w.dir.file("my help/index.html"), "<html></html>");
    w.env.vars["VORNAL_HELP_DIR"] = w.dir.file("my help");

    w.click();
    w.launcher.programs.insert("/usr/bin/xdg-open");
    w.click();

    ASSERT_EQ(w.window.messages.boxes.size(), 1u);
    const std::string url = fileUrl(w.dir.file("my help/index.html"));
    EXPECT_NE(url.find("my%20help"), std::string::npos);
    EXPECT_NE(w.window.messages.boxes[0].prompt.find(ascii(url)), std::u16string::npos);
    EXPECT_THAT(w.launcher.started, ElementsAre(FakeLauncher::Call{
                                        "/usr/bin/xdg-open", {w.dir.file("my help/index.html")}}));
}

TEST(HelpTest, ScratchFileIsFreshPrivateAndAPlantedFileIsLeftAlone) {
    HelpWorld w;
    w.launcher.withXdgMime();
    std::vector<std::string> seen;
    w.launcher.onCapture = [&](const std::string&, const std::vector<std::string>& args) {
        if (args.size() == 3 && args[1] == "filetype") {
            struct stat st {};
            ASSERT_EQ(::lstat(args[2].c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, 0600u);
            EXPECT_EQ(fs::path(args[2]).parent_path().string(), w.tmp());
            EXPECT_EQ(fs::path(args[2]).extension().string(), ".htm");
            EXPECT_EQ(readFile(args[2]), "\"<HTML> <\\HTML>\"\r\n");
            seen.push_back(args[2]);
        }
    };

    w.click();
    ASSERT_EQ(seen.size(), 1u);
    // Someone else puts a file where the last one was; it is neither used nor deleted.
    writeFile(seen[0], "someone else's");
    w.click();

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[0], seen[1]) << "the name must not be a fixed one";
    EXPECT_EQ(readFile(seen[0]), "someone else's");
    EXPECT_THAT(namesIn(w.tmp()), ElementsAre(fs::path(seen[0]).filename().string()));
}

// --- The help page -----------------------------------------------------------------------

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
        const std::optional<std::string> page = helpPagePath(env, files, executable);
        if (c.found == nullptr) {
            EXPECT_EQ(page, std::nullopt);
        } else {
            EXPECT_EQ(page, dir.file(std::string(c.found) + "/index.html"));
        }
    }
}

TEST(HelpPageTest, ThePageThatShipsCoversWhatUsersComeToItFor) {
    const std::string html = readFile(VORNAL_SOURCE_DIR "/docs/help/index.html");
    for (const char* topic : {"<html", "first 16 characters", "FILE.bak", "log/log.html",
                              "vornal-cli", "Decryption", "String"}) {
        EXPECT_NE(html.find(topic), std::string::npos) << topic;
    }
}

TEST(HelpPageTest, FileUrlEscapesWhatAUrlCannotHold) {
    EXPECT_EQ(fileUrl("/usr/share/vornal/help/index.html"),
              "file:///usr/share/vornal/help/index.html");
    EXPECT_EQ(fileUrl("/a b/#1?x%/\xC3\xBC.html"), "file:///a%20b/%231%3Fx%25/%C3%BC.html");
}

} // namespace
} // namespace vornal::test
