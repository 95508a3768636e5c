#include "tools/Help.h"

#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The names in a folder.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class HelpTest : public ::testing::Test {
protected:
    HelpTest() {
        fs::create_directories(help.file("pages"));
        writeFile(help.file("pages/index.html"), "<html></html>");
        env.vars["VORNAL_HELP_DIR"] = help.file("pages");
        env.vars["TMPDIR"] = temp.path();
        env.vars["HOME"] = home.path();
        env.vars["XDG_DATA_DIRS"] = data.path();
        fs::create_directories(data.file("applications"));
    }

    // A desktop entry in the system's application folder.
    void entry(const std::string& id, const std::string& body) {
        writeFile(data.file("applications/" + id), "[Desktop Entry]\nType=Application\n" + body);
    }

    // xdg-mime installed, naming id as the handler of HTML.
    void htmlHandler(const std::string& id) {
        launcher.withXdgMime();
        launcher.answers["xdg-mime query default text/html"] = id + "\n";
    }

    std::string page() const { return help.file("pages/index.html"); }

    TempDir temp; // the temporary folder the scratch file goes into
    TempDir help;
    TempDir home;
    TempDir data;
    FakeEnvironment env;
    FakeLauncher launcher;
    PosixFileSystem files;
    Desktop desktop{launcher, files, env, "/opt/vornal/bin/vornal"};
    RecordingWindow window;
};

// --- Finding the browser ---------------------------------------------------------------

TEST_F(HelpTest, BrowserVariableIsHonouredBeforeTheDesktop) {
    env.vars["BROWSER"] = "lynx:w3m";
    launcher.programs.insert("/usr/bin/lynx");
    htmlHandler("web.desktop");
    entry("web.desktop", "Exec=/opt/web/web %u\n");
    launcher.programs.insert("/opt/web/web");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/lynx", {page()}}));
    EXPECT_THAT(launcher.captured, IsEmpty());
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(HelpTest, BrowserVariableNamingNoInstalledProgramFallsBackToTheDesktop) {
    env.vars["BROWSER"] = "not-installed";
    htmlHandler("web.desktop");
    entry("web.desktop", "Exec=web --new-window %u\n");
    launcher.programs.insert("/usr/bin/web");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/usr/bin/web", {"--new-window", page()}}));
}

TEST_F(HelpTest, DesktopHandlerOfTheScratchFilesTypeOpensTheHelpPage) {
    launcher.withXdgMime();
    launcher.onCapture = [&](const std::string&, const std::vector<std::string>& args) {
        if (args.size() == 3 && args[1] == "filetype") {
            launcher.answers["xdg-mime query filetype " + args[2]] = "application/xhtml+xml\n";
        }
    };
    launcher.answers["xdg-mime query default application/xhtml+xml"] = "xhtml.desktop\n";
    entry("xhtml.desktop", "Exec=/opt/x/viewer %f\n");
    launcher.programs.insert("/opt/x/viewer");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/x/viewer", {page()}}));
}

TEST_F(HelpTest, NoTypeForTheScratchFileAsksForTheHandlerOfHtml) {
    htmlHandler("web.desktop");
    entry("web.desktop", "Exec=web %U\n");
    launcher.programs.insert("/usr/bin/web");

    btnAbout_Click(window, desktop);

    ASSERT_EQ(launcher.captured.size(), 2u);
    EXPECT_EQ(launcher.captured[0].args[1], "filetype");
    EXPECT_EQ(launcher.captured[1].args,
              (std::vector<std::string>{"query", "default", "text/html"}));
    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/web", {page()}}));
}

TEST_F(HelpTest, UserEntryHidesTheSystemEntryOfTheSameName) {
    htmlHandler("web.desktop");
    entry("web.desktop", "Exec=/usr/bin/system-web %u\n");
    fs::create_directories(home.file(".local/share/applications"));
    writeFile(home.file(".local/share/applications/web.desktop"),
              "[Desktop Entry]\nExec=/usr/bin/my-web %u\n");
    launcher.programs.insert("/usr/bin/system-web");
    launcher.programs.insert("/usr/bin/my-web");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/my-web", {page()}}));
}

TEST_F(HelpTest, HandlerRunningInATerminalIsPassedOverForXdgOpen) {
    htmlHandler("tty-browser.desktop");
    entry("tty-browser.desktop", "Exec=tty-browser %u\nTerminal=true\n");
    launcher.programs.insert("/usr/bin/tty-browser");
    launcher.programs.insert("/usr/bin/xdg-open");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/xdg-open", {page()}}));
}

TEST_F(HelpTest, WithoutXdgMimeXdgOpenIsUsed) {
    launcher.programs.insert("/usr/bin/xdg-open");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/xdg-open", {page()}}));
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(HelpTest, HandlerWhoseProgramIsMissingFallsBackToXdgOpen) {
    htmlHandler("gone.desktop");
    entry("gone.desktop", "Exec=/opt/gone/browser %u\n");
    launcher.programs.insert("/usr/bin/xdg-open");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/xdg-open", {page()}}));
}

TEST_F(HelpTest, HandlerNameReachingOutOfTheApplicationFoldersIsRefused) {
    launcher.withXdgMime();
    launcher.answers["xdg-mime query default text/html"] = "../evil.desktop\n";
    writeFile(data.file("evil.desktop"), "[Desktop Entry]\nExec=/usr/bin/evil %u\n");
    launcher.programs.insert("/usr/bin/evil");

    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, IsEmpty());
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    EXPECT_EQ(window.messages.boxes[0].title, u"Browser Not Found");
}

// --- The two boxes ---------------------------------------------------------------------

TEST_F(HelpTest, NoBrowserShowsWhereTheHelpIs) {
    btnAbout_Click(window, desktop);

    EXPECT_THAT(launcher.started, IsEmpty());
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    const auto& box = window.messages.boxes[0];
    EXPECT_EQ(box.title, u"Browser Not Found");
    EXPECT_EQ(box.prompt, u"Could not find associated Browser to Get to help.\r\n Visit file://" +
                              ascii(page()) + u" for the latest help and information.");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
}

TEST_F(HelpTest, BrowserThatFailsToStartShowsUrlFailed) {
    launcher.programs.insert("/usr/bin/xdg-open");
    launcher.refusing.insert("/usr/bin/xdg-open");

    btnAbout_Click(window, desktop);

    ASSERT_EQ(launcher.started.size(), 1u);
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    const auto& box = window.messages.boxes[0];
    EXPECT_EQ(box.title, u"URL Failed");
    EXPECT_EQ(box.prompt, u"Help file not Opened");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
}

TEST_F(HelpTest, MessageCarriesTheAddressInFullAndTheBrowserGetsItWithoutScheme) {
    fs::create_directories(help.file("my help"));
    writeFile(help.file("my help/index.html"), "<html></html>");
    env.vars["VORNAL_HELP_DIR"] = help.file("my help");

    btnAbout_Click(window, desktop);
    launcher.programs.insert("/usr/bin/xdg-open");
    btnAbout_Click(window, desktop);

    ASSERT_EQ(window.messages.boxes.size(), 1u);
    const std::string url = fileUrl(help.file("my help/index.html"));
    EXPECT_NE(window.messages.boxes[0].prompt.find(ascii(url)), std::u16string::npos);
    EXPECT_NE(url.find("my%20help"), std::string::npos);
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].args, std::vector<std::string>{help.file("my help/index.html")});
}

// --- The scratch file ------------------------------------------------------------------

struct ScratchSeen {
    std::string path;
    std::string content;
    unsigned mode = 0;
};

TEST_F(HelpTest, ScratchFileIsFreshPrivateAndInTheTemporaryFolder) {
    launcher.withXdgMime();
    std::vector<ScratchSeen> seen;
    launcher.onCapture = [&](const std::string&, const std::vector<std::string>& args) {
        if (args.size() == 3 && args[1] == "filetype") {
            struct stat st {};
            ASSERT_EQ(::lstat(args[2].c_str(), &st), 0);
            ASSERT_TRUE(S_ISREG(st.st_mode));
            seen.push_back({args[2], readFile(args[2]), static_cast<unsigned>(st.st_mode & 07777)});
        }
    };

    btnAbout_Click(window, desktop);
    btnAbout_Click(window, desktop);

    ASSERT_EQ(seen.size(), 2u);
    for (const ScratchSeen& s : seen) {
        EXPECT_EQ(fs::path(s.path).parent_path().string(), temp.path());
        EXPECT_EQ(fs::path(s.path).extension().string(), ".htm");
        EXPECT_EQ(s.content, "\"<HTML> <\\HTML>\"\r\n");
        EXPECT_EQ(s.mode, 0600u);
    }
    EXPECT_NE(seen[0].path, seen[1].path) << "the name must not be a fixed one";
}

TEST_F(HelpTest, PlantedFileAtAFormerScratchNameIsLeftAlone) {
    launcher.withXdgMime();
    std::string first;
    launcher.onCapture = [&](const std::string&, const std::vector<std::string>& args) {
        if (args.size() == 3 && args[1] == "filetype" && first.empty()) {
            first = args[2];
        }
    };
    btnAbout_Click(window, desktop);
    ASSERT_FALSE(first.empty());
    // Someone else puts a file where the last one was; it is neither used nor deleted.
    writeFile(first, "someone else's");

    btnAbout_Click(window, desktop);

    EXPECT_EQ(readFile(first), "someone else's");
    EXPECT_THAT(namesIn(temp.path()), ElementsAre(fs::path(first).filename().string()));
}

// Every way the click can end.
enum class Outcome { BrowserVariable, DesktopHandler, XdgOpen, NotFound, StartFails };

class ScratchGoneTest : public HelpTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(ScratchGoneTest, NoScratchFileIsLeftBehind) {
    bool existedDuringLookup = false;
    launcher.onCapture = [&](const std::string&, const std::vector<std::string>&) {
        existedDuringLookup = existedDuringLookup || !namesIn(temp.path()).empty();
    };
    launcher.withXdgMime();
    switch (GetParam()) {
    case Outcome::BrowserVariable:
        env.vars["BROWSER"] = "firefox";
        launcher.programs.insert("/usr/bin/firefox");
        break;
    case Outcome::DesktopHandler:
        htmlHandler("web.desktop");
        entry("web.desktop", "Exec=web %u\n");
        launcher.programs.insert("/usr/bin/web");
        break;
    case Outcome::XdgOpen:
        launcher.programs.insert("/usr/bin/xdg-open");
        break;
    case Outcome::NotFound:
        break;
    case Outcome::StartFails:
        launcher.programs.insert("/usr/bin/xdg-open");
        launcher.refusing.insert("/usr/bin/xdg-open");
        break;
    }
    bool existedAtStart = true;
    launcher.onStart = [&](const std::string&, const std::vector<std::string>&) {
        existedAtStart = !namesIn(temp.path()).empty();
    };

    btnAbout_Click(window, desktop);

    EXPECT_THAT(namesIn(temp.path()), IsEmpty());
    if (GetParam() != Outcome::BrowserVariable) {
        EXPECT_TRUE(existedDuringLookup);
    }
    if (!launcher.started.empty()) {
        EXPECT_FALSE(existedAtStart) << "removed once the browser is found";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOutcome, ScratchGoneTest,
                         ::testing::Values(Outcome::BrowserVariable, Outcome::DesktopHandler,
                                           Outcome::XdgOpen, Outcome::NotFound,
                                           Outcome::StartFails));

TEST_F(HelpTest, UnwritableTemporaryFolderStillOpensTheHelp) {
    env.vars["TMPDIR"] = temp.file("no-such-folder");
    htmlHandler("web.desktop");
    entry("web.desktop", "Exec=web %u\n");
    launcher.programs.insert("/usr/bin/web");

    btnAbout_Click(window, desktop);

    // No file to ask about, so only the handler of HTML is asked for.
    ASSERT_EQ(launcher.captured.size(), 1u);
    EXPECT_EQ(launcher.captured[0].args,
              (std::vector<std::string>{"query", "default", "text/html"}));
    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/web", {page()}}));
}

// --- The help page ---------------------------------------------------------------------

TEST(HelpPageTest, ConfiguredFolderComesFirst) {
    TempDir dir;
    FakeEnvironment env;
    PosixFileSystem files;
    env.vars["VORNAL_HELP_DIR"] = dir.path() + "/";
    EXPECT_EQ(helpPagePath(env, files, "/usr/bin/vornal"), dir.file("index.html"));
}

TEST(HelpPageTest, InstalledPageBesideTheExecutable) {
    TempDir prefix;
    FakeEnvironment env;
    PosixFileSystem files;
    fs::create_directories(prefix.file("share/vornal/help"));
    writeFile(prefix.file("share/vornal/help/index.html"), "<html></html>");
    EXPECT_EQ(helpPagePath(env, files, prefix.file("bin/vornal")),
              prefix.file("share/vornal/help/index.html"));
}

TEST(HelpPageTest, WithoutAnInstalledPageTheSourceTreesPageIsUsedAndIsThere) {
    TempDir prefix;
    FakeEnvironment env;
    PosixFileSystem files;
    const std::string page = helpPagePath(env, files, prefix.file("bin/vornal"));
    EXPECT_TRUE(page.ends_with("/docs/help/index.html")) << page;
    const std::string html = readFile(page);
    // The page that ships: what the user comes to it for.
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
