// The history and tool buttons reach their commands through the window.
#include "log/OperationLog.h"
#include "platform/Environment.h"
#include "platform/Launcher.h"
#include "platform/Shell.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingShell.h"
#include "tests/window/FormFixture.h"
#include "tools/DesktopHandlers.h"
#include "tools/modSysInfo.h"

namespace vornal::test {
namespace {

class AuxButtons : public FormFixture {
protected:
    SystemEnvironment environment;
    PosixLauncher launcher{environment};
    Desktop desktop{launcher, files, environment, "/nonexistent/vornal"};
    std::unique_ptr<Registry> registry = modSysInfo::systemRegistry(files, environment, launcher);
    RecordingShell shell;
    ToolServices tools{desktop, *registry, launcher, log, shell};

    frmVornal& loadWithTools() {
        form = std::make_unique<frmVornal>(
            FormServices{files, settings, drives, messages, pauser, processExit, log,
                         FirstRunSteps{[] {}, [] {}}, home.path(), &tools});
        form->Form_Load({});
        pauser.looks.clear();
        return *form;
    }
    void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
};

// What each command does is its own suite's; here, that each button reaches it.
TEST_F(AuxButtons, EachButtonReachesItsCommand) {
    loadWithTools();
    click("view_file");
    EXPECT_EQ(pauser.looks, flashLooks(u"No file to view."));
    pauser.looks.clear();
    click("btnViewHistory");
    EXPECT_EQ(pauser.looks, flashLooks(u"Log file not found!"));

    ASSERT_FALSE(log.AppendLogRow(u"Encrypting \"x\"", u"Success"));
    click("btnViewHistory");
    EXPECT_EQ(shell.opened, std::vector<std::string>{log.path()});
    pauser.looks.clear();
    click("btnClearHis");
    EXPECT_EQ(readFile(log.path()), HtmlLog::headerBlock());
    ASSERT_FALSE(pauser.looks.empty());
    EXPECT_EQ(pauser.looks.front(), successLook(u"History cleared."));
}

} // namespace
} // namespace vornal::test
