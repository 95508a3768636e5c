#include "platform/Registry.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/FakeDesktop.h"
#include "tools/modSysInfo.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The value's data, or the answer's name when it cannot be read.
std::string read(Registry& registry, const std::string& key, const std::string& name,
                 std::uint32_t* type = nullptr) {
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
    if (k->query(name, v) != RegistryAnswer::Ok) {
        return "<no value>";
    }
    if (type != nullptr) {
        *type = v.type;
    }
    return v.data;
}

std::string sz(const std::string& text) {
    return text + '\0';
}

// --- The file format -------------------------------------------------------------------

TEST(RegistryFileFormatTest, ValuesOfEachKindAreRead) {
    const auto entries =
        parseRegistryFile("; a comment\r\n"
                          "# another\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                          "PATH = /usr/bin/hardinfo \n"
                          "Quoted=\"  spaced  \"\n"
                          "Count=dword:0000002a\n"
                          "Blob=hex:01, 02,ff\n"
                          "Expand=hex(2):41,00\n"
                          "broken=dword:xyz\n"
                          "no equals sign\n");
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].valueName, "");
    EXPECT_EQ(entries[0].keyPath, "software\\microsoft\\shared tools\\msinfo");
    EXPECT_EQ(entries[1].valueName, "PATH");
    EXPECT_EQ(entries[1].value.type, kRegString);
    EXPECT_EQ(entries[1].value.data, sz("/usr/bin/hardinfo"));
    EXPECT_EQ(entries[2].value.data, sz("  spaced  "));
    EXPECT_EQ(entries[3].value.type, kRegDWord);
    EXPECT_EQ(entries[3].value.data, std::string("\x2A\0\0\0", 4));
    EXPECT_EQ(entries[4].value.type, kRegBinary);
    EXPECT_EQ(entries[4].value.data, std::string("\x01\x02\xFF", 3));
    EXPECT_EQ(entries[5].value.type, kRegExpandString);
    EXPECT_EQ(entries[5].value.data, std::string("A\0", 2));
}

TEST(RegistryFileFormatTest, ValuesOutsideAKnownRootAreSkipped) {
    const auto entries = parseRegistryFile("orphan=1\n"
                                           "[NOT_A_ROOT\\Key]\n"
                                           "lost=2\n"
                                           "[HKLM/SOFTWARE/Key/]\n"
                                           "kept=3\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(entries[1].keyPath, "software\\key");
    EXPECT_EQ(entries[1].valueName, "kept");
}

// --- Layers ----------------------------------------------------------------------------

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
    writeFile(user(), "[HKEY_LOCAL_MACHINE\\Tools]\nPATH=/user/tool\nOnlyUser=mine\n");
    IniRegistry registry(files, {admin(), user()}, [] {
        return std::vector<RegistryEntry>{
            {HKEY_LOCAL_MACHINE, "Tools", "PATH", {kRegString, sz("/builtin/tool")}},
            {HKEY_LOCAL_MACHINE, "Tools", "OnlyBuiltIn", {kRegString, sz("default")}}};
    });

    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/admin/tool"));
    EXPECT_EQ(read(registry, "Tools", "OnlyUser"), sz("mine"));
    EXPECT_EQ(read(registry, "Tools", "OnlyBuiltIn"), sz("default"));
}

TEST_F(IniRegistryTest, NamesCompareWithoutRegardToCase) {
    writeFile(user(), "[hkey_local_machine\\software\\TOOLS]\nPath=/x\n");
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "SOFTWARE\\Tools", "PATH"), sz("/x"));
}

TEST_F(IniRegistryTest, MissingFilesLeaveTheBuiltInValues) {
    IniRegistry registry(files, {admin(), user()}, [] {
        return std::vector<RegistryEntry>{
            {HKEY_LOCAL_MACHINE, "Tools", "MSINFO", {kRegString, sz("/usr/bin")}}};
    });
    EXPECT_EQ(read(registry, "Tools", "MSINFO"), sz("/usr/bin"));
    EXPECT_EQ(read(registry, "Other", "MSINFO"), "<no key>");
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<no value>");
}

TEST_F(IniRegistryTest, FilesAreReadAfreshAtEveryOpen) {
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<no key>");
    writeFile(admin(), "[HKLM\\Tools]\nPATH=/now/there\n");
    EXPECT_EQ(read(registry, "Tools", "PATH"), sz("/now/there"));
}

TEST_F(IniRegistryTest, FileThatCannotBeReadRefusesEveryKey) {
    // A folder where the file should be: unreadable as a file, even for root.
    fs::create_directories(admin());
    writeFile(user(), "[HKLM\\Tools]\nPATH=/user/tool\n");
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
}

TEST_F(IniRegistryTest, FileWithoutReadPermissionRefusesEveryKey) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads files whatever their permissions";
    }
    writeFile(user(), "[HKLM\\Tools]\nPATH=/user/tool\n");
    fs::permissions(user(), fs::perms::none);
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<denied>");
}

TEST_F(IniRegistryTest, AskingToChangeAKeyIsRefused) {
    writeFile(user(), "[HKLM\\Tools]\nPATH=/user/tool\n");
    IniRegistry registry(files, {admin(), user()});
    std::unique_ptr<RegistryKey> key;
    // The access an old-style caller asks for: read plus set value, create sub-key and more.
    EXPECT_EQ(registry.open(HKEY_LOCAL_MACHINE, "Tools", 0x2003F, key),
              RegistryAnswer::AccessDenied);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(registry.open(HKEY_LOCAL_MACHINE, "Tools", kKeyRead, key), RegistryAnswer::Ok);
}

TEST_F(IniRegistryTest, OtherRootsAreKeptApart) {
    writeFile(user(), "[HKEY_CURRENT_USER\\Tools]\nPATH=/user/tool\n");
    IniRegistry registry(files, {admin(), user()});
    EXPECT_EQ(read(registry, "Tools", "PATH"), "<no key>");
}

TEST(RegistryFilesTest, AdministratorsFileFirstThenTheUsersConfigFolder) {
    FakeEnvironment env;
    env.vars["HOME"] = "/home/u";
    EXPECT_THAT(registryFiles(env), ElementsAre("/etc/vornal-encryption/registry.ini",
                                                "/home/u/.config/vornal-encryption/registry.ini"));
    env.vars["XDG_CONFIG_HOME"] = "/cfg";
    EXPECT_THAT(registryFiles(env), ElementsAre("/etc/vornal-encryption/registry.ini",
                                                "/cfg/vornal-encryption/registry.ini"));
    env.vars["XDG_CONFIG_HOME"] = "relative/cfg";
    EXPECT_THAT(registryFiles(env), ElementsAre("/etc/vornal-encryption/registry.ini",
                                                "/home/u/.config/vornal-encryption/registry.ini"));
}

// --- The built-in values and the launcher over files -----------------------------------

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

class SystemInfoOverFilesTest : public IniRegistryTest {
protected:
    IniRegistry registry{
        files, {admin(), user()}, [this] { return modSysInfo::builtInValues(launcher); }};
    FakeLauncher launcher;
    RecordingWindow window;
};

TEST_F(SystemInfoOverFilesTest, BuiltInFolderFindsTheToolOnPath) {
    launcher.programs.insert("/usr/bin/hardinfo");
    modSysInfo::LaunchSystemInfo(window, registry, launcher);
    EXPECT_THAT(launcher.started, ElementsAre(FakeLauncher::Call{"/usr/bin/hardinfo", {}}));
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(SystemInfoOverFilesTest, NoToolAnywhereShowsTheMessage) {
    modSysInfo::LaunchSystemInfo(window, registry, launcher);
    EXPECT_THAT(launcher.started, IsEmpty());
    ASSERT_EQ(window.messages.boxes.size(), 1u);
    EXPECT_EQ(window.messages.boxes[0].prompt, u"System Information Is Unavailable At This Time");
}

TEST_F(SystemInfoOverFilesTest, AdministratorCanPointThePathElsewhere) {
    launcher.programs = {"/usr/bin/hardinfo", "/opt/inventory/inventory-gui"};
    writeFile(admin(), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                       "PATH=/opt/inventory/inventory-gui\n");
    modSysInfo::LaunchSystemInfo(window, registry, launcher);
    EXPECT_THAT(launcher.started,
                ElementsAre(FakeLauncher::Call{"/opt/inventory/inventory-gui", {}}));
}

TEST_F(SystemInfoOverFilesTest, UnreadableSettingsRefuseBothLookups) {
    launcher.programs.insert("/usr/bin/hardinfo");
    fs::create_directories(admin());
    modSysInfo::LaunchSystemInfo(window, registry, launcher);
    EXPECT_THAT(launcher.started, IsEmpty());
    EXPECT_EQ(window.messages.boxes.size(), 1u);
}

} // namespace
} // namespace vornal::test
