// The System Info command and the registry it reads: settings files over built-in values.
#include "platform/Registry.h"
#include "platform/RunError.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using modSysInfo::kToolFolderKey;
using modSysInfo::kToolPathKey;
using modSysInfo::ReadRegistryValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string sz(const std::string& text) {
    return text + '\0';
}
RegistryEntry value(const char* key, const char* name, const std::string& data,
                    std::uint32_t type = kRegString) {
    return {HKEY_LOCAL_MACHINE, key, name, {type, data}};
}

// The value's data, or the answer's name when it cannot be read.
std::string read(Registry& registry, const std::string& key, const std::string& name) {
    std::unique_ptr<RegistryKey> k;
    switch (registry.open(HKEY_LOCAL_MACHINE, key, kKeyRead, k)) {
    case RegistryAnswer::NotFound:
        return "<no key>";
    case RegistryAnswer::AccessDenied:
        return "<denied>";
    case RegistryAnswer::Ok:
        break;
    }
    RegistryValue v;
    return k->query(name, v) == RegistryAnswer::Ok ? v.data : "<no value>";
}

TEST(RegistryFileFormatTest, ValuesOfEachKindAreReadAndOthersSkipped) {
    const auto entries =
        parseRegistryFile("orphan=1\n"
                          "; a comment\r\n"
                          "# another\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                          "PATH = /usr/bin/hardinfo \n"
                          "Quoted=\"  spaced  \"\n"
                          "Count=dword:0000002a\n"
                          "Blob=hex:01, 02,ff\n"
                          "Expand=hex(2):41,00\n"
                          "broken=dword:xyz\n"
                          "no equals sign\n"
                          "[NOT_A_ROOT\\Key]\n"
                          "lost=2\n"
                          "[HKLM/SOFTWARE/Key/]\n"
                          "kept=3\n");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].keyPath, "software\\microsoft\\shared tools\\msinfo");
    EXPECT_EQ(entries[0].valueName, "");
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"PATH", {kRegString, sz("/usr/bin/hardinfo")}},
        {"Quoted", {kRegString, sz("  spaced  ")}},
        {"Count", {kRegDWord, std::string("\x2A\0\0\0", 4)}},
        {"Blob", {kRegBinary, "\x01\x02\xFF"}},
        {"Expand", {kRegExpandString, std::string("A\0", 2)}},
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(entries[i + 1].valueName, values[i].first);
        EXPECT_EQ(entries[i + 1].value.type, values[i].second.type) << values[i].first;
        EXPECT_EQ(entries[i + 1].value.data, values[i].second.data) << values[i].first;
    }
    EXPECT_EQ(entries[7].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(entries[7].keyPath, "software\\key");
    EXPECT_EQ(entries[7].valueName, "kept");
}

TEST(RegistryFilesTest, AdministratorsFileFirstThenTheUsersConfigFolder) {
    FakeEnvironment env;
    env.vars["HOME"] = "/home/u";
    const std::string admin = "/etc/vornal-encryption/registry.ini";
    const std::string home = "/home/u/.config/vornal-encryption/registry.ini";
    EXPECT_THAT(registryFiles(env), ElementsAre(admin, home));
    env.vars["XDG_CONFIG_HOME"] = "/cfg";
    EXPECT_THAT(registryFiles(env), ElementsAre(admin, "/cfg/vornal-encryption/registry.ini"));
    env.vars["XDG_CONFIG_HOME"] = "relative/cfg";
    EXPECT_THAT(registryFiles(env), ElementsAre(admin, home));
}

class IniRegistryTest : public ::testing::Test {
protected:
    TempDir dir;
    PosixFileSystem files;
    std::string admin = dir.file("admin.ini");
    std::string user = dir.file("user.ini");
};

// Read afresh at every open; the administrator's file wins over the user's and the built-in
// values; only read access is given.
TEST_F(IniRegistryTest, AdministratorsValueWinsOverTheUsersAndBuiltIns) {
    IniRegistry registry(files, {admin, user}, [] {
        return std::vector<RegistryEntry>{value("Tools", "PATH", sz("/builtin/tool")),
                                          value("Tools", "OnlyBuiltIn", sz("default"))};
    });
    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/builtin/tool"));
    writeFile(admin, "[HKEY_LOCAL_MACHINE\\Tools]\nPATH=/admin/tool\n");
    writeFile(user, "[hkey_local_machine\\TOOLS]\nPATH=/user/tool\nOnlyUser=mine\n"
                    "[HKEY_CURRENT_USER\\Other]\nPATH=/elsewhere\n");
    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/admin/tool"));
    EXPECT_EQ(read(registry, "tools", "onlyuser"), sz("mine")); // names ignore case
    EXPECT_EQ(read(registry, "Tools", "OnlyBuiltIn"), sz("default"));
    EXPECT_EQ(read(registry, "Other", "PATH"), "<no key>"); // other roots are kept apart
    EXPECT_EQ(read(registry, "Tools", "Missing"), "<no value>");
    std::unique_ptr<RegistryKey> key;
    // The access an old-style caller asks for: read plus set value, create sub-key and more.
    EXPECT_EQ(registry.open(HKEY_LOCAL_MACHINE, "Tools", 0x2003F, key),
              RegistryAnswer::AccessDenied);
    EXPECT_EQ(key, nullptr);
}

TEST_F(IniRegistryTest, FileThatCannotBeReadRefusesEveryKey) {
    writeFile(user, "[HKLM\\Tools]\nPATH=/user/tool\n");
    // A folder where the file should be: unreadable as a file, even for root.
    fs::create_directories(admin);
    IniRegistry registry(files, {admin, user});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");

    if (::geteuid() != 0) { // root reads files whatever their permissions
        fs::remove(admin);
        fs::permissions(user, fs::perms::none);
        EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
    }
}

TEST_F(IniRegistryTest, ReadRegistryValueGivesEveryKindOfValue) {
    IniRegistry registry(files, {}, [] {
        return std::vector<RegistryEntry>{
            value("K", "string", std::string("/usr/bin\0junk", 13)),
            // A zero byte inside the number must not cut it short.
            value("K", "large", std::string("\x10\0\0\x01", 4), kRegDWord),
            value("K", "max", std::string("\xFF\xFF\xFF\xFF", 4), kRegDWord),
            value("K", "expand", std::string("$HOME/x\0", 8), kRegExpandString),
            value("K", "bytes", "abc", kRegBinary), value("K", "fits", sz(std::string(1023, 'a'))),
            value("K", "long", sz(std::string(1024, 'a'))),
            value("K", "full", std::string(1024, 'b'), kRegBinary)};
    });
    IniRegistry refusing(files, {dir.path()}); // a folder for a file: every key refused
    const struct {
        Registry& registry;
        RegistryRoot root;
        std::string key, name;
        bool found;
        std::string value;
    } cases[] = {
        {registry, HKEY_LOCAL_MACHINE, "K", "string", true, "/usr/bin"},
        {registry, HKEY_LOCAL_MACHINE, "K", "large", true, "16777232"},
        {registry, HKEY_LOCAL_MACHINE, "K", "max", true, "4294967295"},
        {registry, HKEY_LOCAL_MACHINE, "K", "expand", true, "as given"}, // others left alone
        {registry, HKEY_LOCAL_MACHINE, "K", "bytes", true, "as given"},
        {registry, HKEY_LOCAL_MACHINE, "K", "fits", true, std::string(1023, 'a')},
        {registry, HKEY_LOCAL_MACHINE, "K", "long", false, ""}, // no room for the zero
        {registry, HKEY_LOCAL_MACHINE, "other", "string", false, ""},
        {registry, HKEY_LOCAL_MACHINE, "K", "other", false, ""},
        {registry, HKEY_CURRENT_USER, "K", "string", false, ""},
        {refusing, HKEY_LOCAL_MACHINE, "K", "string", false, ""},
    };
    for (const auto& c : cases) {
        std::string got = "as given";
        EXPECT_EQ(ReadRegistryValue(c.registry, c.root, c.key, c.name, got), c.found) << c.name;
        EXPECT_EQ(got, c.value) << c.name;
    }
    std::string got;
    EXPECT_THROW((void)ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, "K", "full", got), RunError);
}

void expectUnavailableBox(const RecordingWindow& window) {
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    const auto& box = window.messages.boxes[0];
    EXPECT_EQ(box.prompt, u"System Information Is Unavailable At This Time");
    EXPECT_EQ(box.title, u"Vornal Encryption");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
}

struct LaunchCase {
    std::vector<RegistryEntry> values; // over the built-in ones
    std::set<std::string> programs;
    const char* started;  // nothing when null; the message unless it is one of the programs
    bool refused = false; // the settings file cannot be read
};

// The registered path is started without a test, and short-circuits the folder; else the
// tools in the registered folder, in their order; the built-in folder is that of the first
// tool on PATH.
TEST_F(IniRegistryTest, SystemInfoInEveryOutcomeOfTheTwoLookups) {
    const auto path = [](const char* p) { return value(kToolPathKey, "PATH", sz(p)); };
    const auto folder = [](const char* f) { return value(kToolFolderKey, "MSINFO", sz(f)); };
    const std::vector<LaunchCase> cases = {
        {{path("/p/probe"), folder("/u")}, {"/p/probe", "/u/hardinfo"}, "/p/probe"},
        {{path("/p/gone"), folder("/u")}, {"/u/hardinfo"}, "/p/gone"},
        // A path of another type answers true, so the empty path fails to start.
        {{value(kToolPathKey, "PATH", "/bin", kRegBinary), folder("/u")}, {"/u/hardinfo"}, ""},
        // Fills the buffer without a zero: the lookup throws.
        {{value(kToolPathKey, "PATH", std::string(1024, 'x'), kRegBinary)}, {}, nullptr},
        {{folder("/u")}, {"/u/kinfocenter", "/u/hardinfo2", "/u/hardinfo"}, "/u/hardinfo2"},
        {{folder("/u")}, {"/u/kinfocenter"}, "/u/kinfocenter"},
        {{folder("/empty")}, {"/u/hardinfo"}, nullptr},
        {{}, {"/u/hardinfo"}, nullptr},
        {{}, {"/opt/kde/bin/kinfocenter", "/usr/bin/hardinfo"}, "/usr/bin/hardinfo"},
        {{}, {}, nullptr},
        {{path("/u/hardinfo"), folder("/u")}, {"/u/hardinfo"}, nullptr, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LaunchCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        FakeLauncher launcher;
        launcher.path = {"/opt/kde/bin", "/usr/bin"};
        launcher.programs = c.programs;
        IniRegistry registry(files, {c.refused ? dir.path() : admin}, [&] {
            std::vector<RegistryEntry> v = modSysInfo::builtInValues(launcher);
            v.insert(v.end(), c.values.begin(), c.values.end());
            return v;
        });
        RecordingWindow window;

        modSysInfo::LaunchSystemInfo(window, registry, launcher);

        if (c.started != nullptr) {
            EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{c.started, {}}));
        } else {
            EXPECT_THAT(launcher.started, IsEmpty());
        }
        if (c.started == nullptr || !c.programs.contains(c.started)) {
            expectUnavailableBox(window);
        } else {
            EXPECT_THAT(window.messages.boxes, IsEmpty());
        }
    }
}

// The inputs are locked before the lookups and unlocked after them, even when they throw.
TEST_F(IniRegistryTest, SystemInfoButtonLocksTheInputsWhileTheToolIsLookedUp) {
    std::vector<std::string> events;
    IniRegistry registry(files, {}, [&]() -> std::vector<RegistryEntry> {
        events.push_back("lookup");
        throw std::runtime_error("broken");
    });
    FakeLauncher launcher;
    RecordingWindow window;
    InputLock inputs{[&] { events.push_back("lock"); }, [&] { events.push_back("unlock"); }};

    btnHelp_Click(window, registry, launcher, inputs);

    EXPECT_EQ(events, (std::vector<std::string>{"lock", "lookup", "unlock"}));
    expectUnavailableBox(window);
}

} // namespace
} // namespace vornal::test
