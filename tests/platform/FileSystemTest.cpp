// The core platform layer on real files: the file system, the program folder, the clock.
#include "platform/FileSystem.h"

#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vornal {
namespace {

using test::readFile;
using test::writeFile;

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path << ": " << std::strerror(errno);
    return st;
}

mode_t permissionsOf(const std::string& path) {
    return statOf(path).st_mode & 07777;
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
int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
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
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
        ::tzset();
    }
    void set(const std::string& name, const std::optional<std::string>& value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

class FileSystemTest : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const std::string& name) const { return dir.file(name); }

    test::TempDir dir;
    PosixFileSystem files;
};

// --- Looking at files.

TEST_F(FileSystemTest, ExistsForAnyNameButOpensForReadingOnlyRegularFiles) {
    writeFile(path("a"), "x");
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(path("nowhere").c_str(), path("link").c_str()), 0);
    EXPECT_TRUE(files.canOpenForReading(path("a")));
    EXPECT_FALSE(files.canOpenForReading(path("missing")));
    EXPECT_FALSE(files.canOpenForReading(path("sub")));
    EXPECT_FALSE(files.canOpenForReading(path("missing/a")));
    EXPECT_TRUE(files.exists(path("link"))); // even a dangling link
    EXPECT_TRUE(files.exists(path("sub")));
    EXPECT_FALSE(files.exists(path("nowhere")));
}

TEST_F(FileSystemTest, UnreadableFilesCannotBeOpenedOrRead) {
    if (::geteuid() == 0) {
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

TEST_F(FileSystemTest, ReadAllAndSizesAreExactEvenPastFourGigabytes) {
    const std::string big = pseudoRandomBytes(3 * 1024 * 1024 + 7, 1);
    writeFile(path("big"), big);
    writeFile(path("empty"), "");
    EXPECT_TRUE(files.readAll(path("big")) == big) << "the bytes read differ";
    EXPECT_EQ(files.readAll(path("empty")), "");
    EXPECT_EQ(files.size(path("big")), big.size());
    EXPECT_EQ(files.sizeOpenForReadWrite(path("big")), big.size());

    const std::uint64_t five = 5ull << 30; // sparse, so it takes no room on the disk
    std::filesystem::resize_file(path("empty"), five);
    EXPECT_EQ(files.size(path("empty")), five);
    EXPECT_EQ(files.sizeOpenForReadWrite(path("empty")), five);
}

TEST_F(FileSystemTest, FoldersAndMissingFilesAreRefusedWithTheSystemsError) {
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    const std::vector<std::pair<std::function<void()>, int>> cases = {
        {[&] { (void)files.readAll(path("sub")); }, EISDIR},
        {[&] { (void)files.size(path("sub")); }, EISDIR},
        {[&] { (void)files.sizeOpenForReadWrite(path("sub")); }, EISDIR},
        {[&] { (void)files.size(path("missing")); }, ENOENT},
        {[&] { (void)files.freeSpace(path("missing/a")); }, ENOENT},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(errorOf(cases[i].first), cases[i].second) << "case " << i;
    }
    try {
        (void)files.readAll(path("missing"));
        ADD_FAILURE() << "no error for a missing file";
    } catch (const RunError& e) {
        EXPECT_EQ(e.number(), ENOENT);
        EXPECT_EQ(e.text(), std::strerror(ENOENT));
        EXPECT_STREQ(e.what(), std::strerror(ENOENT));
    }
}

TEST_F(FileSystemTest, FreeSpaceIsWhatThisUserMayStillUseInTheFolder) {
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &vfs), 0);
    const auto expected = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);
    // The file itself need not exist; others may write to the same disk meanwhile.
    EXPECT_NEAR(static_cast<double>(files.freeSpace(path("not-yet"))), expected,
                256.0 * 1024 * 1024);
}

// --- Backups: copyToNew.

TEST_F(FileSystemTest, CopyToNewCopiesEveryByteOfSeveralBufferfuls) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    bytes += pseudoRandomBytes(5 * 1024 * 1024 + 333, 7);
    writeFile(path("from"), bytes);
    files.copyToNew(path("from"), path("to"));
    EXPECT_TRUE(readFile(path("to")) == bytes) << "the copy differs from the original";
    EXPECT_TRUE(readFile(path("from")) == bytes);
}

TEST_F(FileSystemTest, CopyToNewRefusesAnExistingTargetAndKeepsIt) {
    writeFile(path("from"), "new content");
    writeFile(path("to"), "precious");
    EXPECT_EQ(errorOf([&] { files.copyToNew(path("from"), path("to")); }), EEXIST);
    EXPECT_EQ(readFile(path("to")), "precious");
}

TEST_F(FileSystemTest, CopyToNewGivesTheCopyThePermissionsOfTheOriginalWhateverTheUmask) {
    for (const auto& [mode, mask] : {std::pair<mode_t, mode_t>{0600, 022}, {0754, 077}}) {
        const std::string from = path("f" + std::to_string(mode));
        writeFile(from, "p");
        ASSERT_EQ(::chmod(from.c_str(), mode), 0);
        const UmaskGuard guard(mask);
        files.copyToNew(from, from + ".bak");
        EXPECT_EQ(permissionsOf(from + ".bak"), mode);
    }
}

TEST_F(FileSystemTest, CopyToNewWorksWithABareNameInTheCurrentFolder) {
    writeFile(path("from"), "here");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const int error = errorOf([&] { files.copyToNew("from", "to"); });
    std::filesystem::current_path(previous);
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

// Every way of copying gives the same backup: past the page cache, by the kernel, and
// through a buffer of our own, each taken only where the file system allows it.
class CopyWays : public ::testing::TestWithParam<TransferWays> {
protected:
    [[nodiscard]] std::string path(const std::string& name) const { return dir.file(name); }
    test::TempDir dir;
    PosixFileSystem files{GetParam()};
};

TEST_P(CopyWays, EverySizeIsCopiedExactlyWithItsPermissionsAndNothingIsReplaced) {
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
          std::size_t{(4 << 20) + 1}, std::size_t{(9 << 20) + 333}}) {
        const std::string from = path("f" + std::to_string(size));
        const std::string bytes = pseudoRandomBytes(size, static_cast<std::uint32_t>(size));
        writeFile(from, bytes);
        ASSERT_EQ(::chmod(from.c_str(), 0640), 0);
        const UmaskGuard guard(077);
        files.copyToNew(from, from + ".bak");
        EXPECT_TRUE(readFile(from + ".bak") == bytes) << "the copy of " << size << " differs";
        EXPECT_EQ(permissionsOf(from + ".bak"), 0640u) << size;
        EXPECT_EQ(errorOf([&] { files.copyToNew(path("f0"), from + ".bak"); }), EEXIST);
        EXPECT_TRUE(readFile(from + ".bak") == bytes) << size;
    }
}

TEST_P(CopyWays, AFailedCopyLeavesNothingBehind) {
    const std::string unreadable = "/proc/self/mem";
    if (!files.canOpenForReading(unreadable)) {
        GTEST_SKIP() << unreadable << " is not available";
    }
    EXPECT_NE(errorOf([&] { files.copyToNew(unreadable, path("to")); }), 0);
    EXPECT_FALSE(files.exists(path("to")));
}

// A long stream written in uneven pieces, with a flush in the middle, ends up exactly as
// written, in the same file, whatever was there before.
TEST_P(CopyWays, RewritesGiveExactlyTheBytesWrittenInTheSameFile) {
    using Rewrite = FileSystem::Rewrite;
    for (const Rewrite how : {Rewrite::Empty, Rewrite::Overwrite}) {
        for (const std::size_t oldSize : {std::size_t{10}, std::size_t{12 << 20}}) {
            for (const std::size_t size :
                 {std::size_t{0}, std::size_t{4097}, std::size_t{(8 << 20) + 4096},
                  std::size_t{(9 << 20) + 77}}) {
                const std::string target = path("t");
                writeFile(target, std::string(oldSize, 'E'));
                ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
                const ino_t inode = statOf(target).st_ino;
                const std::string bytes = pseudoRandomBytes(size, 5);
                auto out = files.openRewrite(target, how);
                if (how == Rewrite::Empty) {
                    EXPECT_EQ(readFile(target), "");
                }
                std::size_t at = 0;
                for (std::size_t step = 1; at < size; step = step * 3 + 1) {
                    const std::size_t n = std::min(step % (3 << 20), size - at);
                    out->write(std::string_view(bytes).substr(at, n));
                    at += n;
                    if (at > size / 2 && at - n <= size / 2) {
                        out->sync();
                        EXPECT_TRUE(readFile(target) == bytes.substr(0, at));
                    }
                }
                out->sync();
                out->close();
                const std::string what = std::to_string(static_cast<int>(how)) + " " +
                                         std::to_string(oldSize) + " " + std::to_string(size);
                EXPECT_TRUE(readFile(target) == bytes) << what;
                EXPECT_EQ(statOf(target).st_ino, inode) << what;
                EXPECT_EQ(permissionsOf(target), 0600u) << what;
                EXPECT_EQ(errorOf([&] { out->write("late"); }), EBADF);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FileSystemTest, CopyWays,
                         ::testing::Values(TransferWays{true, true}, TransferWays{false, true},
                                           TransferWays{false, false}));

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

TEST_F(FileSystemTest, CopyOverRefusesAMissingTargetAndToEmptyItsOwnSource) {
    writeFile(path("only"), "the one copy");
    ASSERT_EQ(::link(path("only").c_str(), path("alias").c_str()), 0);
    EXPECT_EQ(errorOf([&] { files.copyOver(path("only"), path("missing")); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
    EXPECT_NE(errorOf([&] { files.copyOver(path("only"), path("only")); }), 0);
    EXPECT_NE(errorOf([&] { files.copyOver(path("only"), path("alias")); }), 0);
    EXPECT_EQ(readFile(path("only")), "the one copy");
}

// --- Writers.

TEST_F(FileSystemTest, WritersOpenOnlyWhatTheyShould) {
    EXPECT_EQ(errorOf([&] { (void)files.openTruncated(path("missing")); }), ENOENT);
    EXPECT_EQ(
        errorOf([&] { (void)files.openRewrite(path("missing"), FileSystem::Rewrite::Overwrite); }),
        ENOENT);
    EXPECT_EQ(errorOf([&] { (void)files.openAppend(path("missing"), false); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
    writeFile(path("a"), "keep");
    EXPECT_EQ(errorOf([&] { (void)files.createNew(path("a")); }), EEXIST);
    EXPECT_EQ(readFile(path("a")), "keep");
}

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

TEST_F(FileSystemTest, OpenAppendWritesAtTheEndAndCreatesWhenAsked) {
    writeFile(path("log"), "first\n");
    auto out = files.openAppend(path("log"), false);
    out->write("second\n");
    out->close();
    EXPECT_EQ(readFile(path("log")), "first\nsecond\n");

    const UmaskGuard mask(027);
    out = files.openAppend(path("new"), true);
    out->write("line");
    out->close();
    EXPECT_EQ(readFile(path("new")), "line");
    EXPECT_EQ(permissionsOf(path("new")), 0640u);
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

// --- Removing and making folders.

TEST_F(FileSystemTest, RemoveAndCreateDirectory) {
    writeFile(path("a"), "x");
    files.remove(path("a"));
    EXPECT_FALSE(files.exists(path("a")));
    EXPECT_EQ(errorOf([&] { files.remove(path("a")); }), ENOENT);

    files.createDirectory(path("log"));
    EXPECT_TRUE(S_ISDIR(statOf(path("log")).st_mode));
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("log")); }), 0); // already there
    writeFile(path("file"), "x");
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("file")); }), EEXIST);
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("missing/log")); }), ENOENT);
}

TEST_F(FileSystemTest, PrivateFoldersAndFilesAreTheOwnersAlone) {
    const mode_t savedMask = ::umask(0);
    files.createDirectory(path("new"));
    ::umask(savedMask);
    EXPECT_EQ(permissionsOf(path("new")), 0700u);

    // Missing folders on the way are made private, an existing one above is left alone.
    ::mkdir(path("shared").c_str(), 0755);
    makePrivateFolder(files, path("shared/home/vornal"));
    EXPECT_EQ(permissionsOf(path("shared")), 0755u);
    EXPECT_EQ(permissionsOf(path("shared/home")), 0700u);
    EXPECT_EQ(permissionsOf(path("shared/home/vornal")), 0700u);
    // An existing folder is tightened, keeping the owner's bits.
    makePrivateFolder(files, path("shared"));
    EXPECT_EQ(permissionsOf(path("shared")), 0700u);

    writeFile(path("log.html"), "x");
    ::chmod(path("log.html").c_str(), 0664);
    files.restrictToOwner(path("log.html"));
    EXPECT_EQ(permissionsOf(path("log.html")), 0600u);
    ::chmod(path("log.html").c_str(), 0444);
    files.restrictToOwner(path("log.html"));
    EXPECT_EQ(permissionsOf(path("log.html")), 0400u);
    EXPECT_EQ(errorOf([&] { files.restrictToOwner(path("missing")); }), ENOENT);
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

TEST(BufferedWriter, HandsBytesOnWhenFullOrFlushedAndLargePiecesStraightThrough) {
    RecordingWriter out;
    BufferedWriter buffered(out, 8);
    buffered.write("abc");
    EXPECT_TRUE(out.pieces.empty());
    buffered.write("defgh");
    buffered.write("ij");
    buffered.flush();
    buffered.flush();
    buffered.write("k");
    const std::string large(20, 'x');
    buffered.write(large);
    EXPECT_EQ(out.pieces, (std::vector<std::string>{"abcdefgh", "ij", "k", large}));
}

TEST_F(FileSystemTest, BufferedWritesGiveTheSameBytesAsDirectOnesInFewerWrites) {
    test::FaultyFileSystem counting;
    std::vector<std::string> pieces;
    std::string all;
    for (std::uint32_t i = 0; i < 4000; ++i) {
        // Mostly small, some past the capacity of the buffer, some empty.
        pieces.push_back(pseudoRandomBytes(i % 400 == 0 ? 5000 : i % 53, i));
        all += pieces.back();
    }
    auto target = counting.createNew(path("buffered"));
    BufferedWriter buffered(*target, 1000);
    for (const auto& piece : pieces) {
        buffered.write(piece);
    }
    buffered.flush();
    target->close();
    EXPECT_TRUE(readFile(path("buffered")) == all) << "buffered bytes differ";
    EXPECT_LT(static_cast<std::size_t>(counting.writes) * 10, pieces.size());
}

// --- folderOf and the program folder.

TEST(FolderOf, TakesEverythingBeforeTheLastSeparator) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a/b.txt", "a"},  {"/home/u/b.txt", "/home/u"},
        {"b.txt", ""},     {"/b.txt", "/"},
        {"a//b.txt", "a"}, {"//b.txt", "/"}};
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(folderOf(path), folder) << path;
    }
}

TEST(ProgramFolderTest, VornalHomeThenAbsoluteXdgDataHomeThenTheHomeFolder) {
    using Env = std::optional<std::string>;
    struct Case {
        Env vornalHome, xdgDataHome;
        std::string home, folder;
    };
    const std::string share = "/home/someone/.local/share/vornal-encryption";
    const std::vector<Case> cases = {
        {"/srv/vornal/", "/data", "/home/someone", "/srv/vornal"},
        {"/", std::nullopt, "/home/someone", "/"},
        {"", "/data/", "/home/someone", "/data/vornal-encryption"},
        {std::nullopt, std::nullopt, "/home/someone", share},
        {std::nullopt, "relative/data", "/home/someone", share},
        {std::nullopt, std::nullopt, "/home/someone/", share},
    };
    for (const Case& c : cases) {
        EnvironmentGuard env;
        env.set("VORNAL_HOME", c.vornalHome);
        env.set("XDG_DATA_HOME", c.xdgDataHome);
        env.set("HOME", c.home);
        EXPECT_EQ(programFolder(), c.folder);
        if (c.folder != "/") {
            EXPECT_EQ(logFolder(), c.folder + "/log");
            EXPECT_EQ(logPath(), c.folder + "/log/log.html");
        }
    }
}

TEST(ProgramFolderTest, AskingCreatesNothing) {
    test::TempDir dir;
    EnvironmentGuard env;
    env.set("VORNAL_HOME", dir.file("home"));
    EXPECT_EQ(logPath(), dir.file("home/log/log.html"));
    EXPECT_FALSE(test::fileExists(dir.file("home")));
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
        env.set("LC_TIME", std::nullopt);
        env.set("LANG", std::nullopt);
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
