#include "platform/Text.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/Help.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ViewFileTest : public ::testing::Test {
protected:
    ViewFileTest() {
        env.vars["HOME"] = home.path();
        env.vars["XDG_DATA_DIRS"] = data.path();
        fs::create_directories(data.file("applications"));
        writeFile(dir.file("notes.txt"), "some notes");
    }

    void show(const std::string& path) { window.setText(Ctl::filepath, ascii(path)); }
    void showUtf8(const std::string& path) {
        window.setText(Ctl::filepath, utf8ToUtf16(path).value());
    }

    void textHandler(const std::string& id, const std::string& body) {
        launcher.withXdgMime();
        launcher.answers["xdg-mime query default text/plain"] = id + "\n";
        writeFile(data.file("applications/" + id), "[Desktop Entry]\n" + body);
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

// --- What is refused -------------------------------------------------------------------

TEST_F(ViewFileTest, EmptyPathBoxFlashesNoFileAndStartsNothing) {
    show("");
    view_file_Click(window, desktop);
    EXPECT_EQ(window.looks, flashLooks(u"No file to view."));
    EXPECT_THAT(launcher.started, IsEmpty());
    EXPECT_THAT(launcher.captured, IsEmpty());
}

TEST_F(ViewFileTest, PathBoxOfBlanksOnlyFlashesNoFile) {
    show("    ");
    view_file_Click(window, desktop);
    EXPECT_EQ(window.looks, flashLooks(u"No file to view."));
    EXPECT_THAT(launcher.started, IsEmpty());
}

TEST_F(ViewFileTest, MissingFileFlashesAndPutsTheFocusInThePathBox) {
    launcher.programs.insert("/usr/bin/gedit");
    show(dir.file("missing.txt"));
    window.setFocus(Ctl::txtPass1);

    view_file_Click(window, desktop);

    EXPECT_EQ(window.looks, flashLooks(u"Unable to find the file specified."));
    EXPECT_EQ(window.focus(), Ctl::filepath);
    EXPECT_THAT(launcher.started, IsEmpty());
}

TEST_F(ViewFileTest, LeadingBlanksBeforeAnExistingFileCountAsPartOfItsName) {
    launcher.programs.insert("/usr/bin/gedit");
    show("  " + dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_EQ(window.looks, flashLooks(u"Unable to find the file specified."));
    EXPECT_THAT(launcher.started, IsEmpty());
}

TEST_F(ViewFileTest, FolderIsNotAFileToView) {
    launcher.programs.insert("/usr/bin/gedit");
    show(dir.path());
    view_file_Click(window, desktop);
    EXPECT_EQ(window.looks, flashLooks(u"Unable to find the file specified."));
}

// --- Which editor ----------------------------------------------------------------------

TEST_F(ViewFileTest, DesktopsTextHandlerOpensTheFileWithoutAnythingShown) {
    textHandler("org.example.Editor.desktop", "Exec=\"/opt/my editor/edit\" --new %F\n");
    launcher.programs.insert("/opt/my editor/edit");
    launcher.programs.insert("/usr/bin/gedit");
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{
                                      "/opt/my editor/edit", {"--new", dir.file("notes.txt")}}));
    EXPECT_THAT(window.looks, IsEmpty());
}

TEST_F(ViewFileTest, TextHandlerInATerminalIsPassedOverForAKnownEditor) {
    textHandler("vim.desktop", "Exec=vim %F\nTerminal=true\n");
    launcher.programs.insert("/usr/bin/vim");
    launcher.programs.insert("/usr/bin/mousepad");
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/usr/bin/mousepad", {dir.file("notes.txt")}}));
}

TEST_F(ViewFileTest, KnownEditorsAreTakenInTheirOrder) {
    launcher.programs.insert("/usr/bin/leafpad");
    launcher.programs.insert("/usr/bin/kate");
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/usr/bin/kate", {dir.file("notes.txt")}}));
}

TEST_F(ViewFileTest, KnownEditorElsewhereOnPathIsFound) {
    launcher.path = {"/opt/tools/bin", "/usr/bin"};
    launcher.programs.insert("/opt/tools/bin/pluma");
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/opt/tools/bin/pluma", {dir.file("notes.txt")}}));
}

TEST_F(ViewFileTest, NoEditorFlashesThePathLookedFor) {
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_EQ(GetWindowsDir(), "/usr/bin");
    EXPECT_EQ(window.looks, flashLooks(u"Could not locate /usr/bin/gedit"));
    EXPECT_THAT(launcher.started, IsEmpty());
}

TEST_F(ViewFileTest, EditorThatFailsToStartIsReported) {
    launcher.programs.insert("/usr/bin/xed");
    launcher.refusing.insert("/usr/bin/xed");
    show(dir.file("notes.txt"));

    view_file_Click(window, desktop);

    EXPECT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(window.looks, flashLooks(u"Could not locate /usr/bin/xed"));
}

// --- The file reaches the editor as one argument ---------------------------------------

class AwkwardNameTest : public ViewFileTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(AwkwardNameTest, EditorGetsTheWholePathAsOneArgument) {
    const std::string path = dir.file(GetParam());
    writeFile(path, "text");
    launcher.programs.insert("/usr/bin/gedit");
    showUtf8(path);

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/gedit", {path}}));
}

TEST_P(AwkwardNameTest, DesktopHandlerGetsTheWholePathAsOneArgument) {
    const std::string path = dir.file(GetParam());
    writeFile(path, "text");
    textHandler("ed.desktop", "Exec=ed-gui %f\n");
    launcher.programs.insert("/usr/bin/ed-gui");
    showUtf8(path);

    view_file_Click(window, desktop);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/ed-gui", {path}}));
}

INSTANTIATE_TEST_SUITE_P(Names, AwkwardNameTest,
                         ::testing::Values("my notes.txt", "two  blanks .txt", "a;b&c|d.txt",
                                           "$(touch pwned).txt", "`id`.txt", "quote\"d'.txt",
                                           "percent %f %u.txt", "new\nline.txt",
                                           "caf\xC3\xA9 \xE2\x82\xAC.txt"));

TEST_F(ViewFileTest, RelativeNameStartingWithADashIsNotTakenForAnOption) {
    writeFile(dir.file("-n notes.txt"), "text");
    launcher.programs.insert("/usr/bin/gedit");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    show("-n notes.txt");

    view_file_Click(window, desktop);

    fs::current_path(before);
    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/usr/bin/gedit", {"./-n notes.txt"}}));
}

} // namespace
} // namespace vornal::test
