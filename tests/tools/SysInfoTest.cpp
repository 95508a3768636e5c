#include "platform/RunError.h"
#include "tests/support/RecordingWindow.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace vornal::test {
namespace {

using modSysInfo::kToolFolderKey;
using modSysInfo::kToolPathKey;
using modSysInfo::ReadRegistryValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

void expectUnavailableBox(const RecordingWindow& window) {
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    const auto& box = window.messages.boxes[0];
    EXPECT_EQ(box.prompt, u"System Information Is Unavailable At This Time");
    EXPECT_EQ(box.title, u"Vornal Encryption");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
}

// --- Every outcome of the command --------------------------------------------------------

enum class Quirk { None, BinaryPath, KeyWithoutValue, TooLong, Refused, Throws };

struct LaunchCase {
    const char* path;   // the registered PATH, when not null
    const char* folder; // the registered folder, when not null
    std::set<std::string> programs;
    Quirk quirk;
    const char* started; // nothing when null; the message unless it is one of the programs
    bool folderRead;     // the second lookup happened
};

TEST(SysInfoTest, EveryOutcomeOfTheTwoLookups) {
    using enum Quirk;
    const std::vector<LaunchCase> cases = {
        // The registered path is started without a test, and short-circuits the folder.
        {"/p/probe", "/u", {"/p/probe", "/u/hardinfo"}, None, "/p/probe", false},
        {"/p/gone", "/u", {"/u/hardinfo"}, None, "/p/gone", false},
        // A path of another type answers true, so the empty path fails to start.
        {nullptr, "/u", {"/u/hardinfo"}, BinaryPath, "", false},
        {nullptr, nullptr, {}, TooLong, nullptr, false},
        {nullptr, nullptr, {}, Throws, nullptr, false},
        // The tools in the folder are taken in their order.
        {nullptr,
         "/u",
         {"/u/kinfocenter", "/u/hardinfo2", "/u/hardinfo"},
         None,
         "/u/hardinfo2",
         true},
        {nullptr, "/u", {"/u/kinfocenter"}, None, "/u/kinfocenter", true},
        {nullptr, "/u", {"/u/hardinfo"}, KeyWithoutValue, "/u/hardinfo", true},
        {nullptr, "/empty", {"/u/hardinfo"}, None, nullptr, true},
        {nullptr, nullptr, {"/u/hardinfo"}, None, nullptr, true},
        {"/u/hardinfo", "/u", {"/u/hardinfo"}, Refused, nullptr, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LaunchCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        FakeRegistry registry;
        FakeLauncher launcher;
        RecordingWindow window;
        launcher.programs = c.programs;
        if (c.path != nullptr) {
            registry.setString(kToolPathKey, "PATH", c.path);
        }
        if (c.folder != nullptr) {
            registry.setString(kToolFolderKey, "MSINFO", c.folder);
        }
        switch (c.quirk) {
        case Quirk::None:
            break;
        case Quirk::BinaryPath:
            registry.set(kToolPathKey, "PATH", {kRegBinary, "/bin"});
            break;
        case Quirk::KeyWithoutValue:
            registry.keys[{HKEY_LOCAL_MACHINE, kToolPathKey}];
            break;
        case Quirk::TooLong:
            registry.set(kToolPathKey, "PATH", {kRegString, std::string(1024, 'x')});
            break;
        case Quirk::Refused:
            registry.refused = {kToolPathKey, kToolFolderKey};
            break;
        case Quirk::Throws:
            registry.onOpen = [](const std::string&) { throw std::runtime_error("broken"); };
            break;
        }

        modSysInfo::LaunchSystemInfo(window, registry, launcher);

        if (c.started != nullptr) {
            EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{c.started, {}}));
        } else {
            EXPECT_THAT(launcher.started, IsEmpty());
        }
        std::vector<std::string> keys;
        for (const auto& o : registry.opens) {
            keys.push_back(o.keyPath);
            EXPECT_TRUE(o.root == HKEY_LOCAL_MACHINE && o.access == kKeyRead) << o.keyPath;
        }
        if (c.folderRead) {
            EXPECT_THAT(keys, ElementsAre(kToolPathKey, kToolFolderKey));
        } else {
            EXPECT_THAT(keys, ElementsAre(kToolPathKey));
            EXPECT_THAT(launcher.checked, IsEmpty());
        }
        if (c.folder != nullptr && std::string(c.folder) == "/empty") {
            EXPECT_THAT(launcher.checked,
                        ElementsAre("/empty/hardinfo2", "/empty/hardinfo", "/empty/kinfocenter"));
        }
        if (c.started == nullptr || !c.programs.contains(c.started)) {
            expectUnavailableBox(window);
        } else {
            EXPECT_THAT(window.messages.boxes, IsEmpty());
        }
    }
}

// --- Reading one value -------------------------------------------------------------------

TEST(ReadRegistryValueTest, EveryKindOfValue) {
    FakeRegistry registry;
    registry.set("K", "string", {kRegString, std::string("/usr/bin\0junk", 13)});
    // A zero byte inside the number must not cut it short.
    registry.set("K", "large", {kRegDWord, std::string("\x10\0\0\x01", 4)});
    registry.set("K", "max", {kRegDWord, std::string("\xFF\xFF\xFF\xFF", 4)});
    registry.set("K", "expand", {kRegExpandString, std::string("$HOME/x\0", 8)});
    registry.set("K", "bytes", {kRegBinary, "abc"});
    registry.setString("K", "fits", std::string(1023, 'a'));
    registry.setString("K", "long", std::string(1024, 'a'));
    registry.setString("Refused", "V", "x");
    registry.refused.insert("Refused");
    const std::vector<std::tuple<std::string, std::string, bool, std::string>> cases = {
        {"K", "string", true, "/usr/bin"},
        {"K", "large", true, "16777232"},
        {"K", "max", true, "4294967295"},
        {"K", "expand", true, "as given"}, // other types leave it alone
        {"K", "bytes", true, "as given"},
        {"K", "fits", true, std::string(1023, 'a')},
        {"K", "long", false, ""}, // no room for the zero
        {"other", "string", false, ""},
        {"K", "other", false, ""},
        {"Refused", "V", false, ""},
    };
    for (const auto& [key, name, found, expected] : cases) {
        std::string value = "as given";
        EXPECT_EQ(ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, key, name, value), found) << name;
        EXPECT_EQ(value, expected) << name;
    }
    std::string value = "as given";
    EXPECT_FALSE(ReadRegistryValue(registry, HKEY_CURRENT_USER, "K", "string", value));
    EXPECT_EQ(value, "");
    registry.set("K", "full", {kRegBinary, std::string(1024, 'b')});
    EXPECT_THROW((void)ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "full", value),
                 RunError);
}

// --- The button --------------------------------------------------------------------------

TEST(SystemInfoButtonTest, InputsAreLockedWhileTheToolIsLookedUpAndStarted) {
    const std::string path = std::string("open ") + kToolPathKey;
    const std::string folder = std::string("open ") + kToolFolderKey;
    // Found and started; not found, so the message; the registry throws.
    const std::vector<std::vector<std::string>> cases = {
        {"lock", path, folder, "start /usr/bin/hardinfo", "unlock"},
        {"lock", path, folder, "unlock"},
        {"lock", path, "unlock"}};
    for (std::size_t kind = 0; kind < cases.size(); ++kind) {
        FakeRegistry registry;
        FakeLauncher launcher;
        RecordingWindow window;
        bool locked = false;
        std::vector<std::string> events;
        const auto record = [&](const std::string& e) {
            events.push_back(locked ? e : "UNLOCKED " + e);
        };
        const auto lockTo = [&](bool on) {
            locked = locked || on;
            record(on ? "lock" : "unlock");
            locked = on;
        };
        registry.onOpen = [&](const std::string& key) {
            record("open " + key);
            if (kind == 2) {
                throw std::runtime_error("broken");
            }
        };
        launcher.onStart = [&](const std::string& p, const auto&) { record("start " + p); };
        if (kind == 0) {
            registry.setString(kToolFolderKey, "MSINFO", "/usr/bin");
            launcher.programs.insert("/usr/bin/hardinfo");
        }
        InputLock inputs{[&] { lockTo(true); }, [&] { lockTo(false); }};

        btnHelp_Click(window, registry, launcher, inputs);

        EXPECT_EQ(events, cases[kind]);
        EXPECT_EQ(window.messages.boxes.size(), kind == 0 ? 0u : 1u);
    }
}

} // namespace
} // namespace vornal::test
