// The core platform layer on real files: the file system, the program folder, the clock.
#include "platform/FileSystem.h"

#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vornal {
namespace {

// --- Helpers that reach the files without the code under test.

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path << ": " << std::strerror(errno);
    return st;
}

mode_t permissionsOf(const std::string& path) {
    return statOf(path).st_mode & 07777;
}

std::string everyByteValue() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

// Bytes that no off-by-one or repeated buffer can reproduce by accident.
std::string pseudoRandomBytes(std::size_t count, std::uint32_t seed) {
    std::string bytes(count, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// The error number a call throws as RunError; 0 when it throws nothing.
template <class F>
int errorOf(F&& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : saved_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(saved_); }
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
    mode_t saved_;
};

// Sets environment variables for one test and puts the old values back.
class EnvironmentGuard {
public:
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        ::tzset();
    }
    void set(const std::string& name, const std::string& value) {
        save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        save(name);
        ::unsetenv(name.c_str());
    }

private:
    void save(const std::string& name) {
        if (saved_.count(name) == 0) {
            const char* value = std::getenv(name.c_str());
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

// A fresh folder per test, removed afterwards.
class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string base = ::testing::TempDir();
        if (base.empty() || base.back() != '/') {
            base += '/';
        }
        std::string pattern = base + "vornal-fs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    [[nodiscard]] std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
    PosixFileSystem files;
};

// --- Looking at files.

TEST_F(FileSystemTest, CanOpenForReadingOnlyRegularFilesThatOpen) {
    writeFile(path("a"), "x");
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    EXPECT_TRUE(files.canOpenForReading(path("a")));
    EXPECT_FALSE(files.canOpenForReading(path("missing")));
    EXPECT_FALSE(files.canOpenForReading(path("sub")));
    EXPECT_FALSE(files.canOpenForReading(path("missing/a")));
}

TEST_F(FileSystemTest, UnreadableFilesCannotBeOpenedOrRead) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root reads and writes every file whatever its permissions";
    }
    writeFile(path("secret"), "x");
    ASSERT_EQ(::chmod(path("secret").c_str(), 0), 0);
    EXPECT_FALSE(files.canOpenForReading(path("secret")));
    EXPECT_EQ(errorOf([&] { (void)files.readAll(path("secret")); }), EACCES);

    writeFile(path("readonly"), "abc");
    ASSERT_EQ(::chmod(path("readonly").c_str(), 0444), 0);
    EXPECT_TRUE(files.canOpenForReading(path("readonly")));
    EXPECT_EQ(errorOf([&] { (void)files.sizeOpenForReadWrite(path("readonly")); }), EACCES);
}

TEST_F(FileSystemTest, ExistsForAnythingWithTheNameEvenADanglingLink) {
    ASSERT_EQ(::symlink(path("nowhere").c_str(), path("link").c_str()), 0);
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    EXPECT_TRUE(files.exists(path("link")));
    EXPECT_TRUE(files.exists(path("sub")));
    EXPECT_FALSE(files.exists(path("nowhere")));
}

TEST_F(FileSystemTest, ReadAllReturnsEveryByte) {
    const std::string big = pseudoRandomBytes(3 * 1024 * 1024 + 7, 1);
    writeFile(path("big"), big);
    writeFile(path("empty"), "");
    EXPECT_EQ(files.readAll(path("big")), big);
    EXPECT_EQ(files.readAll(path("empty")), "");
}

TEST_F(FileSystemTest, SizesAreExactAndGoPastFourGigabytes) {
    writeFile(path("bytes"), everyByteValue());
    EXPECT_EQ(files.size(path("bytes")), 256u);
    EXPECT_EQ(files.sizeOpenForReadWrite(path("bytes")), 256u);

    // Sparse, so it takes no room on the disk.
    const std::uint64_t five = 5ull << 30;
    writeFile(path("huge"), "");
    std::filesystem::resize_file(path("huge"), five);
    EXPECT_EQ(files.size(path("huge")), five);
    EXPECT_EQ(files.sizeOpenForReadWrite(path("huge")), five);
}

TEST_F(FileSystemTest, FoldersAreRefusedWithEISDIR) {
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    EXPECT_EQ(errorOf([&] { (void)files.readAll(path("sub")); }), EISDIR);
    EXPECT_EQ(errorOf([&] { (void)files.size(path("sub")); }), EISDIR);
    EXPECT_EQ(errorOf([&] { (void)files.sizeOpenForReadWrite(path("sub")); }), EISDIR);
}

TEST_F(FileSystemTest, ErrorsCarryTheSystemNumberAndItsText) {
    try {
        (void)files.readAll(path("missing"));
        FAIL() << "no error for a missing file";
    } catch (const RunError& e) {
        EXPECT_EQ(e.number(), ENOENT);
        EXPECT_EQ(e.text(), std::strerror(ENOENT));
        EXPECT_STREQ(e.what(), std::strerror(ENOENT));
    }
    EXPECT_EQ(errorOf([&] { (void)files.size(path("missing")); }), ENOENT);
}

TEST_F(FileSystemTest, FreeSpaceIsWhatThisUserMayStillUseInTheFolder) {
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(folder_.c_str(), &vfs), 0);
    const auto expected = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);

    // The file itself need not exist: it is the folder that counts.
    const auto free = static_cast<double>(files.freeSpace(path("not-yet")));
    // Others may write to the same disk meanwhile.
    EXPECT_NEAR(free, expected, 256.0 * 1024 * 1024);
    EXPECT_EQ(errorOf([&] { (void)files.freeSpace(path("missing/a")); }), ENOENT);
}

// --- Backups: copyToNew.

TEST_F(FileSystemTest, CopyToNewRefusesAnExistingTargetAndKeepsIt) {
    writeFile(path("from"), "new content");
    writeFile(path("to"), "precious");
    EXPECT_EQ(errorOf([&] { files.copyToNew(path("from"), path("to")); }), EEXIST);
    EXPECT_EQ(readFile(path("to")), "precious");
}

TEST_F(FileSystemTest, CopyToNewCopiesEveryByteValueExactly) {
    writeFile(path("from"), everyByteValue());
    files.copyToNew(path("from"), path("to"));
    EXPECT_EQ(readFile(path("to")), everyByteValue());
    EXPECT_EQ(readFile(path("from")), everyByteValue());
}

TEST_F(FileSystemTest, CopyToNewCopiesAFileOfSeveralBufferfuls) {
    const std::string big = pseudoRandomBytes(5 * 1024 * 1024 + 333, 7);
    writeFile(path("from"), big);
    files.copyToNew(path("from"), path("to"));
    EXPECT_TRUE(readFile(path("to")) == big) << "the copy differs from the original";
}

TEST_F(FileSystemTest, CopyToNewGivesTheCopyThePermissionsOfTheOriginal) {
    {
        writeFile(path("private"), "p");
        ASSERT_EQ(::chmod(path("private").c_str(), 0600), 0);
        const UmaskGuard mask(022);
        files.copyToNew(path("private"), path("private.bak"));
        EXPECT_EQ(permissionsOf(path("private.bak")), 0600u);
    }
    {
        // Even where the umask would have taken bits away.
        writeFile(path("shared"), "s");
        ASSERT_EQ(::chmod(path("shared").c_str(), 0754), 0);
        const UmaskGuard mask(077);
        files.copyToNew(path("shared"), path("shared.bak"));
        EXPECT_EQ(permissionsOf(path("shared.bak")), 0754u);
    }
}

TEST_F(FileSystemTest, CopyToNewWorksWithABareNameInTheCurrentFolder) {
    writeFile(path("from"), "here");
    std::string previous(4096, '\0');
    ASSERT_NE(::getcwd(previous.data(), previous.size()), nullptr);
    ASSERT_EQ(::chdir(folder_.c_str()), 0);
    const int error = errorOf([&] { files.copyToNew("from", "to"); });
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(readFile(path("to")), "here");
}

TEST_F(FileSystemTest, CopyToNewLeavesNothingBehindWhenItFails) {
    EXPECT_EQ(errorOf([&] { files.copyToNew(path("missing"), path("to")); }), ENOENT);
    EXPECT_FALSE(files.exists(path("to")));

    // A regular file that opens but cannot be read: the copy fails after it was created.
    const std::string unreadable = "/proc/self/mem";
    if (!files.canOpenForReading(unreadable)) {
        GTEST_SKIP() << unreadable << " is not available";
    }
    EXPECT_EQ(errorOf([&] { files.copyToNew(unreadable, path("to")); }), EIO);
    EXPECT_FALSE(files.exists(path("to")));
}

// --- Restores: copyOver.

TEST_F(FileSystemTest, CopyOverRestoresTheContentExactlyInPlace) {
    const std::string original = pseudoRandomBytes(2 * 1024 * 1024 + 5, 3);
    writeFile(path("backup"), original);
    // Longer than the original, so that anything left over shows.
    writeFile(path("target"), std::string(3 * 1024 * 1024, 'E'));
    ASSERT_EQ(::chmod(path("target").c_str(), 0600), 0);
    const ino_t inode = statOf(path("target")).st_ino;

    files.copyOver(path("backup"), path("target"));

    EXPECT_TRUE(readFile(path("target")) == original) << "the restored file differs";
    EXPECT_EQ(statOf(path("target")).st_ino, inode);
    EXPECT_EQ(permissionsOf(path("target")), 0600u);
}

TEST_F(FileSystemTest, CopyOverNeedsAnExistingTarget) {
    writeFile(path("backup"), "b");
    EXPECT_EQ(errorOf([&] { files.copyOver(path("backup"), path("missing")); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
}

TEST_F(FileSystemTest, CopyOverRefusesToEmptyTheFileItCopiesFrom) {
    writeFile(path("only"), "the one copy");
    ASSERT_EQ(::link(path("only").c_str(), path("alias").c_str()), 0);
    EXPECT_NE(errorOf([&] { files.copyOver(path("only"), path("only")); }), 0);
    EXPECT_NE(errorOf([&] { files.copyOver(path("only"), path("alias")); }), 0);
    EXPECT_EQ(readFile(path("only")), "the one copy");
}

// --- Writers.

TEST_F(FileSystemTest, OpenTruncatedEmptiesTheSameFile) {
    writeFile(path("a"), "old content that is long");
    const ino_t inode = statOf(path("a")).st_ino;
    auto out = files.openTruncated(path("a"));
    EXPECT_EQ(readFile(path("a")), "");
    out->write("new");
    out->sync();
    out->close();
    EXPECT_EQ(readFile(path("a")), "new");
    EXPECT_EQ(statOf(path("a")).st_ino, inode);
}

TEST_F(FileSystemTest, OpenTruncatedDoesNotCreateAMissingFile) {
    EXPECT_EQ(errorOf([&] { (void)files.openTruncated(path("missing")); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
}

TEST_F(FileSystemTest, OpenAppendWritesAtTheEnd) {
    writeFile(path("log"), "first\n");
    {
        auto out = files.openAppend(path("log"), false);
        out->write("second\n");
        out->close();
    }
    EXPECT_EQ(readFile(path("log")), "first\nsecond\n");
}

TEST_F(FileSystemTest, OpenAppendCreatesOnlyWhenAsked) {
    EXPECT_EQ(errorOf([&] { (void)files.openAppend(path("log"), false); }), ENOENT);
    EXPECT_FALSE(files.exists(path("log")));

    const UmaskGuard mask(027);
    auto out = files.openAppend(path("log"), true);
    out->write("line");
    out->close();
    EXPECT_EQ(readFile(path("log")), "line");
    EXPECT_EQ(permissionsOf(path("log")), 0640u);
}

TEST_F(FileSystemTest, CreateNewRefusesAnExistingFile) {
    writeFile(path("a"), "keep");
    EXPECT_EQ(errorOf([&] { (void)files.createNew(path("a")); }), EEXIST);
    EXPECT_EQ(readFile(path("a")), "keep");

    auto out = files.createNew(path("b"));
    out->write("made");
    out->close();
    EXPECT_EQ(readFile(path("b")), "made");
}

TEST_F(FileSystemTest, AClosedWriterRefusesToWrite) {
    auto out = files.createNew(path("a"));
    out->close();
    EXPECT_EQ(errorOf([&] { out->write("late"); }), EBADF);
    EXPECT_EQ(readFile(path("a")), "");
}

TEST_F(FileSystemTest, AWriteOnAFullDeviceThrowsENOSPC) {
    if (!files.exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    auto out = files.openAppend("/dev/full", false);
    BufferedWriter buffered(*out);
    buffered.write("held in memory so far");
    EXPECT_EQ(errorOf([&] { buffered.flush(); }), ENOSPC);
    EXPECT_EQ(errorOf([&] { out->write("direct"); }), ENOSPC);
}

TEST_F(FileSystemTest, AWriteThatRunsOutOfSpaceThrows) {
    test::FaultyFileSystem faulty;
    faulty.failWrite = 2;
    auto out = faulty.createNew(path("a"));
    out->write("one");
    EXPECT_EQ(errorOf([&] { out->write("two-two"); }), ENOSPC);
    out->close();
    // The disk filled up half-way through the second piece.
    EXPECT_EQ(readFile(path("a")), "onetwo");
    EXPECT_EQ(faulty.writes, 2);
}

// --- Removing and making folders.

TEST_F(FileSystemTest, RemoveDeletesAFileAndReportsAMissingOne) {
    writeFile(path("a"), "x");
    files.remove(path("a"));
    EXPECT_FALSE(files.exists(path("a")));
    EXPECT_EQ(errorOf([&] { files.remove(path("a")); }), ENOENT);
}

TEST_F(FileSystemTest, CreateDirectoryAcceptsAnExistingFolderButNotAFile) {
    files.createDirectory(path("log"));
    EXPECT_TRUE(S_ISDIR(statOf(path("log")).st_mode));
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("log")); }), 0);

    writeFile(path("file"), "x");
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("file")); }), EEXIST);
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("missing/log")); }), ENOENT);
}

// --- BufferedWriter.

// Keeps every piece it is handed.
class RecordingWriter : public FileWriter {
public:
    void write(std::string_view bytes) override { pieces.emplace_back(bytes); }
    void sync() override {}
    void close() override {}
    std::vector<std::string> pieces;
};

TEST(BufferedWriter, HandsBytesOnWhenFullOrFlushed) {
    RecordingWriter out;
    BufferedWriter buffered(out, 8);
    buffered.write("abc");
    EXPECT_TRUE(out.pieces.empty());
    buffered.write("defgh");
    EXPECT_EQ(out.pieces, std::vector<std::string>{"abcdefgh"});
    buffered.write("ij");
    buffered.flush();
    buffered.flush();
    EXPECT_EQ(out.pieces, (std::vector<std::string>{"abcdefgh", "ij"}));
}

TEST(BufferedWriter, APieceLargerThanTheBufferGoesStraightThroughInOrder) {
    RecordingWriter out;
    BufferedWriter buffered(out, 8);
    buffered.write("k");
    const std::string large(20, 'x');
    buffered.write(large);
    EXPECT_EQ(out.pieces, (std::vector<std::string>{"k", large}));
}

TEST_F(FileSystemTest, BufferedWritesGiveTheSameBytesAsDirectOnes) {
    test::FaultyFileSystem counting;
    std::vector<std::string> pieces;
    std::string all;
    for (std::uint32_t i = 0; i < 4000; ++i) {
        // Mostly small, some past the capacity of the buffer, some empty.
        const std::size_t size = i % 400 == 0 ? 5000 : i % 53;
        pieces.push_back(pseudoRandomBytes(size, i));
        all += pieces.back();
    }

    auto direct = counting.createNew(path("direct"));
    for (const auto& piece : pieces) {
        direct->write(piece);
    }
    direct->close();
    const int directWrites = counting.writes;

    auto target = counting.createNew(path("buffered"));
    BufferedWriter buffered(*target, 1000);
    for (const auto& piece : pieces) {
        buffered.write(piece);
    }
    buffered.flush();
    target->close();
    const int bufferedWrites = counting.writes - directWrites;

    EXPECT_TRUE(readFile(path("direct")) == all);
    EXPECT_TRUE(readFile(path("buffered")) == all) << "buffered bytes differ";
    EXPECT_LT(bufferedWrites * 10, directWrites);
}

// --- The faulty file system used by the tests of the operations.

TEST_F(FileSystemTest, FaultyFileSystemRecordsTheOrderOfCalls) {
    test::FaultyFileSystem faulty;
    writeFile(path("a"), "data");
    faulty.copyToNew(path("a"), path("b"));
    auto out = faulty.openTruncated(path("a"));
    out->write("x");
    out->sync();
    out->close();
    faulty.remove(path("b"));
    const std::string a = path("a");
    const std::string b = path("b");
    EXPECT_EQ(faulty.calls,
              (std::vector<std::string>{"copyToNew " + a + " " + b, "openTruncated " + a,
                                        "write " + a, "sync " + a, "close " + a, "remove " + b}));
    EXPECT_EQ(faulty.copies, 1);
    EXPECT_EQ(faulty.syncs, 1);
}

TEST_F(FileSystemTest, FaultyFileSystemFailsCopiesOnlyForTheSuffix) {
    test::FaultyFileSystem faulty;
    faulty.failCopyToNew = true;
    faulty.copyToNewFailSuffix = ".bak";
    writeFile(path("a"), "data");
    EXPECT_EQ(errorOf([&] { faulty.copyToNew(path("a"), path("a.bak")); }), EACCES);
    EXPECT_FALSE(files.exists(path("a.bak")));
    EXPECT_EQ(errorOf([&] { faulty.copyToNew(path("a"), path("a.tmp")); }), 0);
    EXPECT_EQ(readFile(path("a.tmp")), "data");
}

TEST_F(FileSystemTest, FaultyFileSystemFailsOnlyTheChosenSync) {
    test::FaultyFileSystem faulty;
    faulty.failSync = 2;
    auto out = faulty.createNew(path("a"));
    EXPECT_EQ(errorOf([&] { out->sync(); }), 0);
    EXPECT_EQ(errorOf([&] { out->sync(); }), EIO);
    EXPECT_EQ(errorOf([&] { out->sync(); }), 0);
    EXPECT_EQ(faulty.syncs, 3);
}

// --- folderOf.

TEST(FolderOf, TakesEverythingBeforeTheLastSeparator) {
    EXPECT_EQ(folderOf("a/b.txt"), "a");
    EXPECT_EQ(folderOf("/home/u/b.txt"), "/home/u");
    EXPECT_EQ(folderOf("b.txt"), "");
    EXPECT_EQ(folderOf("/b.txt"), "/");
    EXPECT_EQ(folderOf("a//b.txt"), "a");
    EXPECT_EQ(folderOf("//b.txt"), "/");
}

// --- The program folder.

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.unset("VORNAL_HOME");
        env.unset("XDG_DATA_HOME");
        env.set("HOME", "/home/someone");
    }
    EnvironmentGuard env;
};

TEST_F(ProgramFolderTest, VornalHomeComesFirst) {
    env.set("VORNAL_HOME", "/srv/vornal/");
    env.set("XDG_DATA_HOME", "/data");
    EXPECT_EQ(programFolder(), "/srv/vornal");
    EXPECT_EQ(logFolder(), "/srv/vornal/log");
    EXPECT_EQ(logPath(), "/srv/vornal/log/log.html");

    env.set("VORNAL_HOME", "/");
    EXPECT_EQ(programFolder(), "/");
}

TEST_F(ProgramFolderTest, AnEmptyVornalHomeFallsBackToXdgDataHome) {
    env.set("VORNAL_HOME", "");
    env.set("XDG_DATA_HOME", "/data/");
    EXPECT_EQ(programFolder(), "/data/vornal-encryption");
}

TEST_F(ProgramFolderTest, OtherwiseTheHomeFolderUnlessXdgDataHomeIsAbsolute) {
    EXPECT_EQ(programFolder(), "/home/someone/.local/share/vornal-encryption");
    env.set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(programFolder(), "/home/someone/.local/share/vornal-encryption");
    env.set("HOME", "/home/someone/");
    EXPECT_EQ(logPath(), "/home/someone/.local/share/vornal-encryption/log/log.html");
}

TEST_F(ProgramFolderTest, AskingCreatesNothing) {
    std::string pattern = ::testing::TempDir() + "/vornal-home-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    env.set("VORNAL_HOME", pattern + "/home");
    EXPECT_EQ(logPath(), pattern + "/home/log/log.html");
    EXPECT_FALSE(PosixFileSystem().exists(pattern + "/home"));
    ::rmdir(pattern.c_str());
}

// --- The clock.

std::string narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

// What the C library's own strftime gives in the C locale, to compare with.
std::string cFormat(const char* format, std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.unset("LC_TIME");
        env.unset("LANG");
        env.set("TZ", "UTC");
        ::tzset();
    }
    EnvironmentGuard env;
    SystemClock clock;
};

TEST_F(ClockTest, GivesTheDateAndTimeOfNowInTheFormatsOfTheLocale) {
    // The second is not installed anywhere, and must not leave the texts empty.
    for (const char* locale : {"C", "xx_NOWHERE.UTF-8"}) {
        env.set("LC_ALL", locale);
        const std::time_t before = std::time(nullptr);
        const std::string date = narrow(clock.dateText());
        const std::string time = narrow(clock.timeText());
        const std::time_t after = std::time(nullptr);
        bool dateMatches = false;
        bool timeMatches = false;
        for (std::time_t t = before; t <= after; ++t) {
            dateMatches = dateMatches || date == cFormat("%x", t);
            timeMatches = timeMatches || time == cFormat("%X", t);
        }
        EXPECT_TRUE(dateMatches) << locale << ": " << date;
        EXPECT_TRUE(timeMatches) << locale << ": " << time;
    }
}

TEST_F(ClockTest, FollowsTheTimeZone) {
    env.set("LC_ALL", "C");
    const std::string utc = narrow(clock.timeText());
    env.set("TZ", "XXX-5:30"); // five and a half hours east of UTC
    const std::string east = narrow(clock.timeText());
    auto minutesOf = [](const std::string& t) {
        return std::stoi(t.substr(0, 2)) * 60 + std::stoi(t.substr(3, 2));
    };
    const int difference = (minutesOf(east) - minutesOf(utc) + 24 * 60) % (24 * 60);
    // A minute may turn between the two readings.
    EXPECT_TRUE(difference == 330 || difference == 331) << utc << " " << east;
}

} // namespace
} // namespace vornal
