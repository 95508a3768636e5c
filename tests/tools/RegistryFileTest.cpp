#include "platform/Registry.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

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

std::string sz(const std::string& text) {
    return text + '\0';
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

class IniRegistryTest : public ::testing::Test {
protected:
    IniRegistryTest() {
        fs::create_directories(dir.file("etc"));
        fs::create_directories(dir.file("user"));
    }
    std::string admin() const { return dir.file("etc/registry.ini"); }
    std::string user() const { return dir.file("user/registry.ini"); }

    TempDir dir;
    PosixFileSystem files;
};

TEST_F(IniRegistryTest, AdministratorsValueWinsOverTheUsersAndBuiltIns) {
    writeFile(admin(), "[HKEY_LOCAL_MACHINE\\Tools]\nPATH=/admin/tool\n");
    writeFile(user(), "[hkey_local_machine\\TOOLS]\nPATH=/user/tool\nOnlyUser=mine\n"
                      "[HKEY_CURRENT_USER\\Other]\nPATH=/elsewhere\n");
    IniRegistry registry(files, {admin(), user()}, [] {
        return std::vector<RegistryEntry>{
            {HKEY_LOCAL_MACHINE, "Tools", "PATH", {kRegString, sz("/builtin/tool")}},
            {HKEY_LOCAL_MACHINE, "Tools", "OnlyBuiltIn", {kRegString, sz("default")}}};
    });
    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/admin/tool"));
    EXPECT_EQ(read(registry, "tools", "onlyuser"), sz("mine")); // names ignore case
    EXPECT_EQ(read(registry, "Tools", "OnlyBuiltIn"), sz("default"));
    EXPECT_EQ(read(registry, "Other", "PATH"), "<no key>"); // other roots are kept apart
    EXPECT_EQ(read(registry, "Tools", "Missing"), "<no value>");
}

TEST_F(IniRegistryTest, FilesAreReadAfreshAtEveryOpen) {
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<no key>");
    writeFile(admin(), "[HKLM\\Tools]\nPATH=/now/there\n");
    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/now/there"));
}

TEST_F(IniRegistryTest, FileThatCannotBeReadRefusesEveryKey) {
    writeFile(user(), "[HKLM\\Tools]\nPATH=/user/tool\n");
    // A folder where the file should be: unreadable as a file, even for root.
    fs::create_directories(admin());
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");

    if (::geteuid() != 0) { // root reads files whatever their permissions
        fs::remove(admin());
        fs::permissions(user(), fs::perms::none);
        EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
    }
}

TEST_F(IniRegistryTest, AskingToChangeAKeyIsRefused) {
    writeFile(user(), "[HKLM\\Tools]\nPATH=/user/tool\n");
    IniRegistry registry(files, {admin(), user()});
    std::unique_ptr<RegistryKey> key;
    // The access an old-style caller asks for: read plus set value, create sub-key and more.
    EXPECT_EQ(registry.open(HKEY_LOCAL_MACHINE, "Tools", 0x2003F, key),
              RegistryAnswer::AccessDenied);
    EXPECT_EQ(key, nullptr);
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

// --- The built-in values and System Info over files --------------------------------------

TEST(BuiltInValuesTest, FolderOfTheFirstToolOnPath) {
    FakeLauncher launcher;
    launcher.path = {"/opt/kde/bin", "/usr/bin"};
    launcher.programs = {"/opt/kde/bin/kinfocenter", "/usr/bin/hardinfo"};
    const auto values = modSysInfo::builtInValues(launcher);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[1].keyPath, modSysInfo::kToolFolderKey);
    EXPECT_EQ(values[1].valueName, "MSINFO");
    EXPECT_EQ(values[1].value.data, sz("/usr/bin")); // hardinfo comes before kinfocenter
}

TEST_F(IniRegistryTest, SystemInfoOverTheFiles) {
    struct Case {
        const char* name;
        std::function<void(const std::string& admin)> setUp;
        std::set<std::string> programs;
        const char* started; // nothing, and the message, when null
    };
    const std::vector<Case> cases = {
        {"built-in folder finds the tool on PATH",
         [](const std::string&) {},
         {"/usr/bin/hardinfo"},
         "/usr/bin/hardinfo"},
        {"no tool anywhere", [](const std::string&) {}, {}, nullptr},
        {"administrator points the path elsewhere",
         [](const std::string& admin) {
             writeFile(admin, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared "
                              "Tools\\MSINFO]\nPATH=/opt/inventory/inventory-gui\n");
         },
         {"/usr/bin/hardinfo", "/opt/inventory/inventory-gui"},
         "/opt/inventory/inventory-gui"},
        {"unreadable settings refuse both lookups",
         [](const std::string& admin) { fs::create_directories(admin); },
         {"/usr/bin/hardinfo"},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(admin());
        c.setUp(admin());
        FakeLauncher launcher;
        launcher.programs = c.programs;
        IniRegistry registry{
            files, {admin(), user()}, [&] { return modSysInfo::builtInValues(launcher); }};
        RecordingWindow window;

        modSysInfo::LaunchSystemInfo(window, registry, launcher);

        if (c.started != nullptr) {
            EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{c.started, {}}));
            EXPECT_THAT(window.messages.boxes, IsEmpty());
        } else {
            EXPECT_THAT(launcher.started, IsEmpty());
            ASSERT_EQ(window.messages.boxes.size(), 1u);
            EXPECT_EQ(window.messages.boxes[0].prompt,
                      u"System Information Is Unavailable At This Time");
        }
    }
}

} // namespace
} // namespace vornal::test
