// The System Info command and the registry it reads: settings files over built-in values.
#include "platform/Registry.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using modSysInfo::kToolFolderKey;
using modSysInfo::kToolPathKey;
using ::testing::ElementsAre;

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
// values; a file that exists but cannot be read refuses every key.
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

    fs::remove(admin);
    fs::create_directories(admin); // unreadable as a file, even for root
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
    if (::geteuid() != 0) { // root reads files whatever their permissions
        fs::remove(admin);
        fs::permissions(user, fs::perms::none);
        EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
    }
}

struct LaunchCase {
    std::vector<RegistryEntry> values; // over the built-in ones
    std::set<std::string> programs;
    std::optional<std::string> started; // the message unless it is one of the programs
    bool refused = false;               // the settings file cannot be read
};

// System Info with its inputs locked while the tool is looked up, whatever happens. The
// registered path is read as ReadRegistryValue gives it (a string to its first zero, a
// double word in decimal, nothing for another type) and started without a test, before the
// folder; else the tools in the registered folder, in their order; the built-in folder is
// that of the first tool on PATH.
TEST_F(IniRegistryTest, SystemInfoInEveryOutcomeOfTheTwoLookups) {
    const auto path = [](const std::string& p, std::uint32_t type = kRegString) {
        return value(kToolPathKey, "PATH", p, type);
    };
    const auto folder = [](const char* f) { return value(kToolFolderKey, "MSINFO", sz(f)); };
    const std::string fits = "/" + std::string(1022, 'a'); // with its zero, the whole buffer
    const std::vector<LaunchCase> cases = {
        {{path(std::string("/p/probe\0junk", 13)), folder("/u")},
         {"/p/probe", "/u/hardinfo"},
         "/p/probe"},
        {{path(sz("/p/gone")), folder("/u")}, {"/u/hardinfo"}, "/p/gone"},
        // A zero byte inside the number must not cut it short.
        {{path(std::string("\x10\0\0\x01", 4), kRegDWord)}, {}, "16777232"},
        {{path("\xFF\xFF\xFF\xFF", kRegDWord)}, {}, "4294967295"},
        // A path of another type answers true, so the empty path fails to start.
        {{path("/bin", kRegBinary), folder("/u")}, {"/u/hardinfo"}, ""},
        {{path(sz(fits)), folder("/u")}, {fits}, fits},
        // No room for the zero: as if there were no path.
        {{path(sz(fits + "a")), folder("/u")}, {"/u/hardinfo"}, "/u/hardinfo"},
        // Fills the buffer without a zero: the lookup throws.
        {{path(std::string(1024, 'x'), kRegBinary)}, {}, {}},
        {{folder("/u")}, {"/u/kinfocenter", "/u/hardinfo2", "/u/hardinfo"}, "/u/hardinfo2"},
        {{folder("/u")}, {"/u/kinfocenter"}, "/u/kinfocenter"},
        {{folder("/empty")}, {"/u/hardinfo"}, {}},
        {{}, {"/u/hardinfo"}, {}},
        {{}, {"/opt/kde/bin/kinfocenter", "/usr/bin/hardinfo"}, "/usr/bin/hardinfo"},
        {{}, {}, {}},
        {{path(sz("/u/hardinfo")), folder("/u")}, {"/u/hardinfo"}, {}, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LaunchCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        FakeLauncher launcher;
        launcher.path = {"/opt/kde/bin", "/usr/bin"};
        launcher.programs = c.programs;
        std::string events;
        IniRegistry registry(files, {c.refused ? dir.path() : admin}, [&] {
            events += "l";
            std::vector<RegistryEntry> v = modSysInfo::builtInValues(launcher);
            v.insert(v.end(), c.values.begin(), c.values.end());
            return v;
        });
        RecordingWindow window;
        const InputLock inputs{[&] { events += "["; }, [&] { events += "]"; }};

        btnHelp_Click(window, registry, launcher, inputs);

        EXPECT_TRUE(events.starts_with("[") && events.ends_with("]") &&
                    events.find_first_of("[]", 1) == events.size() - 1)
            << events;
        EXPECT_EQ(launcher.started,
                  c.started ? std::vector<Command>(1, {*c.started, {}}) : std::vector<Command>());
        if (c.started && c.programs.contains(*c.started)) {
            EXPECT_TRUE(window.messages.boxes.empty());
            continue;
        }
        ASSERT_EQ(window.messages.boxes.size(), 1u);
        const auto& box = window.messages.boxes[0];
        EXPECT_EQ(box.prompt, u"System Information Is Unavailable At This Time");
        EXPECT_EQ(box.title, u"Vornal Encryption");
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(box.icon, MsgIcon::None);
    }
}

} // namespace
} // namespace vornal::test
