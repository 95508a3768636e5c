#include "platform/RunError.h"
#include "tests/support/RecordingWindow.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vornal::test {
namespace {

using modSysInfo::kToolFolderKey;
using modSysInfo::kToolPathKey;
using modSysInfo::LaunchSystemInfo;
using modSysInfo::ReadRegistryValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SysInfoTest : public ::testing::Test {
protected:
    std::vector<std::string> keysOpened() const {
        std::vector<std::string> keys;
        for (const auto& o : registry.opens) {
            keys.push_back(o.keyPath);
        }
        return keys;
    }

    void expectUnavailableBox() const {
        ASSERT_EQ(window.messages.boxes.size(), 1u);
        const auto& box = window.messages.boxes[0];
        EXPECT_EQ(box.prompt, u"System Information Is Unavailable At This Time");
        EXPECT_EQ(box.title, u"Vornal Encryption");
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(box.icon, MsgIcon::None);
    }

    FakeRegistry registry;
    FakeLauncher launcher;
    RecordingWindow window;
};

// --- The two lookups -------------------------------------------------------------------

TEST_F(SysInfoTest, RegisteredPathIsStartedWithoutTestAndTheFolderIsNotRead) {
    registry.setString(kToolPathKey, "PATH", "/opt/sysinfo/bin/probe");
    registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
    launcher.programs.insert("/opt/sysinfo/bin/probe");
    launcher.programs.insert("/usr/bin/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/sysinfo/bin/probe", {}}));
    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey));
    EXPECT_THAT(launcher.checked, IsEmpty());
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(SysInfoTest, RegisteredPathThatDoesNotStartShowsTheMessageWithoutTryingTheFolder) {
    registry.setString(kToolPathKey, "PATH", "/opt/gone/probe");
    registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
    launcher.programs.insert("/usr/bin/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/gone/probe", {}}));
    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey));
    expectUnavailableBox();
}

TEST_F(SysInfoTest, FolderHoldingTheToolStartsIt) {
    registry.setString(kToolFolderKey, "MSINFO", "/opt/si");
    launcher.programs.insert("/opt/si/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey, kToolFolderKey));
    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/si/hardinfo", {}}));
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(SysInfoTest, ToolsInTheFolderAreTakenInTheirOrder) {
    registry.setString(kToolFolderKey, "MSINFO", "/opt/si");
    launcher.programs.insert("/opt/si/kinfocenter");
    launcher.programs.insert("/opt/si/hardinfo2");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/si/hardinfo2", {}}));
}

TEST_F(SysInfoTest, KdeInfoCenterAloneIsFound) {
    registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
    launcher.programs.insert("/usr/bin/kinfocenter");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/kinfocenter", {}}));
}

TEST_F(SysInfoTest, FolderWithoutTheToolShowsTheMessageAndStartsNothing) {
    registry.setString(kToolFolderKey, "MSINFO", "/opt/empty");
    launcher.programs.insert("/usr/bin/hardinfo"); // elsewhere: not where the value points

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.checked, ElementsAre("/opt/empty/hardinfo2", "/opt/empty/hardinfo",
                                              "/opt/empty/kinfocenter"));
    EXPECT_THAT(launcher.started, IsEmpty());
    expectUnavailableBox();
}

TEST_F(SysInfoTest, BothValuesAbsentShowTheMessage) {
    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey, kToolFolderKey));
    EXPECT_THAT(launcher.started, IsEmpty());
    expectUnavailableBox();
}

TEST_F(SysInfoTest, KeyPresentWithoutTheValueCountsAsAbsent) {
    registry.keys[{HKEY_LOCAL_MACHINE, kToolPathKey}];
    registry.setString(kToolFolderKey, "MSINFO", "/opt/si");
    launcher.programs.insert("/opt/si/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/opt/si/hardinfo", {}}));
}

TEST_F(SysInfoTest, PathOfAnotherTypeAnswersTrueSoTheEmptyPathFailsToStart) {
    registry.set(kToolPathKey, "PATH", {kRegBinary, "\x2F\x62\x69\x6E"});
    registry.setString(kToolFolderKey, "MSINFO", "/opt/si");
    launcher.programs.insert("/opt/si/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey));
    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"", {}}));
    expectUnavailableBox();
}

TEST_F(SysInfoTest, RefusedAccessToBothKeysShowsTheMessage) {
    registry.setString(kToolPathKey, "PATH", "/usr/bin/hardinfo");
    registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
    registry.refused = {kToolPathKey, kToolFolderKey};
    launcher.programs.insert("/usr/bin/hardinfo");

    LaunchSystemInfo(window, registry, launcher);

    EXPECT_THAT(keysOpened(), ElementsAre(kToolPathKey, kToolFolderKey));
    EXPECT_THAT(launcher.started, IsEmpty());
    expectUnavailableBox();
}

TEST_F(SysInfoTest, KeysAreOpenedForReadingOnly) {
    LaunchSystemInfo(window, registry, launcher);
    ASSERT_EQ(registry.opens.size(), 2u);
    for (const auto& o : registry.opens) {
        EXPECT_EQ(o.root, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(o.access, kKeyRead);
    }
}

TEST_F(SysInfoTest, ValueThatCannotBeCutEndsInTheMessage) {
    registry.set(kToolPathKey, "PATH", {kRegString, std::string(1024, 'x')});
    LaunchSystemInfo(window, registry, launcher);
    EXPECT_THAT(launcher.started, IsEmpty());
    expectUnavailableBox();
}

TEST_F(SysInfoTest, RegistryThatThrowsEndsInTheMessage) {
    registry.onOpen = [](const std::string&) { throw std::runtime_error("broken"); };
    LaunchSystemInfo(window, registry, launcher);
    expectUnavailableBox();
}

// --- Reading one value -----------------------------------------------------------------

TEST(ReadRegistryValueTest, StringGivesItsTextUpToTheZero) {
    FakeRegistry registry;
    registry.set("K", "V", {kRegString, std::string("/usr/bin\0junk", 13)});
    std::string value = "before";
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "V", value));
    EXPECT_EQ(value, "/usr/bin");
}

TEST(ReadRegistryValueTest, DoubleWordGivesItsNumberInDecimal) {
    FakeRegistry registry;
    registry.set("K", "small", {kRegDWord, std::string("\x2A\0\0\0", 4)});
    // A zero byte inside the number must not cut it short.
    registry.set("K", "large", {kRegDWord, std::string("\x10\0\0\x01", 4)});
    registry.set("K", "max", {kRegDWord, std::string("\xFF\xFF\xFF\xFF", 4)});
    std::string value;
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "small", value));
    EXPECT_EQ(value, "42");
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "large", value));
    EXPECT_EQ(value, "16777232");
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "max", value));
    EXPECT_EQ(value, "4294967295");
}

TEST(ReadRegistryValueTest, AnotherTypeAnswersTrueAndLeavesTheValueAsGiven) {
    FakeRegistry registry;
    registry.set("K", "expand", {kRegExpandString, std::string("$HOME/x\0", 8)});
    registry.set("K", "bytes", {kRegBinary, "abc"});
    std::string value = "as given";
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "expand", value));
    EXPECT_EQ(value, "as given");
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "bytes", value));
    EXPECT_EQ(value, "as given");
}

TEST(ReadRegistryValueTest, MissingKeyOrValueAnswersFalseAndEmpty) {
    FakeRegistry registry;
    registry.setString("K", "V", "x");
    std::string value = "before";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "other", "V", value));
    EXPECT_EQ(value, "");
    value = "before";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "other", value));
    EXPECT_EQ(value, "");
    value = "before";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_CURRENT_USER, "K", "V", value));
    EXPECT_EQ(value, "");
}

TEST(ReadRegistryValueTest, RefusedAccessAnswersFalseAndEmpty) {
    FakeRegistry registry;
    registry.setString("K", "V", "x");
    registry.refused.insert("K");
    std::string value = "before";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "V", value));
    EXPECT_EQ(value, "");
}

TEST(ReadRegistryValueTest, BufferHoldsAtMost1024BytesWithTheZero) {
    FakeRegistry registry;
    registry.setString("K", "fits", std::string(1023, 'a'));
    registry.setString("K", "long", std::string(1024, 'a'));
    registry.set("K", "full", {kRegBinary, std::string(1024, 'b')});
    std::string value;
    EXPECT_TRUE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "fits", value));
    EXPECT_EQ(value, std::string(1023, 'a'));
    value = "before";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "long", value));
    EXPECT_EQ(value, "");
    EXPECT_THROW((void)ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "full", value),
                 RunError);
}

// --- The button ------------------------------------------------------------------------

class SystemInfoButtonTest : public SysInfoTest {
protected:
    SystemInfoButtonTest() {
        registry.onOpen = [this](const std::string& key) {
            events.push_back(std::string(locked ? "locked" : "UNLOCKED") + " open " + key);
        };
        launcher.onStart = [this](const std::string& program, const std::vector<std::string>&) {
            events.push_back(std::string(locked ? "locked" : "UNLOCKED") + " start " + program);
        };
    }

    InputLock inputs{[this] {
                         locked = true;
                         events.emplace_back("lock");
                     },
                     [this] {
                         locked = false;
                         events.emplace_back("unlock");
                     }};
    bool locked = false;
    std::vector<std::string> events;
};

TEST_F(SystemInfoButtonTest, InputsAreLockedWhileTheToolIsStarted) {
    registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
    launcher.programs.insert("/usr/bin/hardinfo");

    btnHelp_Click(window, registry, launcher, inputs);

    EXPECT_THAT(events, ElementsAre("lock", std::string("locked open ") + kToolPathKey,
                                    std::string("locked open ") + kToolFolderKey,
                                    "locked start /usr/bin/hardinfo", "unlock"));
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(SystemInfoButtonTest, InputsAreUnlockedAfterTheMessage) {
    btnHelp_Click(window, registry, launcher, inputs);

    EXPECT_THAT(events, ElementsAre("lock", std::string("locked open ") + kToolPathKey,
                                    std::string("locked open ") + kToolFolderKey, "unlock"));
    expectUnavailableBox();
}

TEST_F(SystemInfoButtonTest, InputsAreUnlockedWhenTheRegistryThrows) {
    registry.onOpen = [this](const std::string&) {
        events.emplace_back("throw");
        throw std::runtime_error("broken");
    };

    btnHelp_Click(window, registry, launcher, inputs);

    EXPECT_THAT(events, ElementsAre("lock", "throw", "unlock"));
    EXPECT_FALSE(locked);
    expectUnavailableBox();
}

} // namespace
} // namespace vornal::test
