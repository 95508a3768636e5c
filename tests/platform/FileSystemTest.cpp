// The core platform layer on real files: the file system, including what runs rely on to
// never lose a file (replacing it whole, one lock per file, the records of runs under way),
// the program folder and the clock.
#include "platform/FileSystem.h"

#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "platform/RunJournal.h"
#include "platform/StreamWriter.h"
#include "platform/Text.h"
#include "tests/support/TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>

namespace vornal {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// The error number a call throws as RunError; 0 when it throws nothing.
int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
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

TEST_F(FileSystemTest, ReadsAndSizesAreExactPastFourGigabytesOrRefusedWithTheSystemsError) {
    const std::string big = pseudoRandomBytes(3 * 1024 * 1024 + 7, 1);
    writeFile(path("big"), big);
    writeFile(path("empty"), "");
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(path("nowhere").c_str(), path("link").c_str()), 0);
    EXPECT_TRUE(files.readAll(path("big")) == big) << "the bytes read differ";
    EXPECT_EQ(files.readAll(path("empty")), "");
    const std::uint64_t five = 5ull << 30; // sparse, so it takes no room on the disk
    fs::resize_file(path("empty"), five);
    EXPECT_EQ(files.size(path("empty")), five);
    EXPECT_EQ(files.sizeOpenForReadWrite(path("empty")), five);

    EXPECT_TRUE(files.canOpenForReading(path("big")));
    for (const char* name : {"missing", "sub", "missing/a", "link"}) {
        EXPECT_FALSE(files.canOpenForReading(path(name))) << name;
    }
    EXPECT_TRUE(files.exists(path("link"))); // even a dangling link
    EXPECT_TRUE(files.exists(path("sub")));
    EXPECT_FALSE(files.exists(path("nowhere")));

    EXPECT_EQ(errorOf([&] { (void)files.readAll(path("sub")); }), EISDIR);
    EXPECT_EQ(errorOf([&] { (void)files.size(path("sub")); }), EISDIR);
    EXPECT_EQ(errorOf([&] { (void)files.sizeOpenForReadWrite(path("sub")); }), EISDIR);
    EXPECT_EQ(errorOf([&] { (void)files.size(path("missing")); }), ENOENT);
    EXPECT_EQ(errorOf([&] { (void)files.freeSpace(path("missing/a")); }), ENOENT);
    EXPECT_EQ(errorOf([&] { (void)files.readAll(path("missing")); }), ENOENT);
    EXPECT_EQ(RunError::fromErrno(ENOENT).text(), std::strerror(ENOENT)); // as messages show it
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

TEST_F(FileSystemTest, FreeSpaceIsWhatThisUserMayStillUseOnTheFilesOwnVolume) {
    // Two volumes with different room, so that asking the wrong one shows.
    for (const std::string& folder : {dir.path(), std::string("/dev/shm")}) {
        struct statvfs vfs {};
        if (::statvfs(folder.c_str(), &vfs) != 0) {
            continue;
        }
        const auto expected = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);
        // The file itself need not exist; others may write to the same disk meanwhile.
        EXPECT_NEAR(static_cast<double>(files.freeSpace(folder + "/not-yet")), expected,
                    256.0 * 1024 * 1024)
            << folder;
    }
}

// --- Copies and rewrites, each way the file system allows: past the page cache, by the
// kernel, and through a buffer of our own. All of them must give the same bytes.

class CopyWays : public FileSystemTest, public ::testing::WithParamInterface<TransferWays> {
protected:
    PosixFileSystem way{GetParam()};
};

TEST_P(CopyWays, CopiesAreExactWithTheOriginalsPermissionsAndNeverReplaceOrLeaveAPart) {
    const UmaskGuard guard(077);
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
          std::size_t{(4 << 20) + 1}, std::size_t{(9 << 20) + 333}}) {
        const std::string from = path("f" + std::to_string(size));
        const std::string bytes = pseudoRandomBytes(size, static_cast<std::uint32_t>(size));
        writeFile(from, bytes);
        ASSERT_EQ(::chmod(from.c_str(), 0640), 0);
        way.copyToNew(from, from + ".bak");
        EXPECT_TRUE(readFile(from + ".bak") == bytes) << "the copy of " << size << " differs";
        EXPECT_EQ(permissionsOf(from + ".bak"), 0640u) << size;
        EXPECT_EQ(errorOf([&] { way.copyToNew(path("f0"), from + ".bak"); }), EEXIST);
        EXPECT_TRUE(readFile(from + ".bak") == bytes) << size;
    }

    // A bare name is in the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(errorOf([&] { way.copyToNew("f1", "bare"); }), 0);
    fs::current_path(previous);
    EXPECT_EQ(readFile(path("bare")), readFile(path("f1")));

    EXPECT_EQ(errorOf([&] { way.copyToNew(path("missing"), path("to")); }), ENOENT);
    EXPECT_FALSE(way.exists(path("to")));
    // A regular file that opens but cannot be read: the copy fails after it was created.
    if (way.canOpenForReading("/proc/self/mem")) {
        EXPECT_EQ(errorOf([&] { way.copyToNew("/proc/self/mem", path("to")); }), EIO);
        EXPECT_FALSE(way.exists(path("to")));
    }
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
                SCOPED_TRACE(std::to_string(static_cast<int>(how)) + " " + std::to_string(oldSize) +
                             " " + std::to_string(size));
                const std::string target = path("t");
                writeFile(target, std::string(oldSize, 'E'));
                ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
                const ino_t inode = statOf(target).st_ino;
                const std::string bytes = pseudoRandomBytes(size, 5);
                auto out = way.openRewrite(target, how);
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
                EXPECT_TRUE(readFile(target) == bytes);
                EXPECT_EQ(statOf(target).st_ino, inode);
                EXPECT_EQ(permissionsOf(target), 0600u);
                EXPECT_EQ(errorOf([&] { out->write("late"); }), EBADF);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FileSystemTest, CopyWays,
                         ::testing::Values(TransferWays{true, true}, TransferWays{false, true},
                                           TransferWays{false, false}));

// Should a run die while it makes a backup, the backup's size alone tells a part of a copy
// from a whole one: written past the page cache, it never grows ahead of what was written.
TEST_F(FileSystemTest, AStreamWrittenAsItsOwnSizeIsNeverLargerThanWhatWasHandedOver) {
    using posix::StreamWriter;
    const std::string name = path("backup");
    posix::Fd fd = posix::openOrThrow(name, O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (!posix::startDirect(fd.get())) {
        GTEST_SKIP() << "no writes past the page cache in " << dir.path();
    }
    StreamWriter out(std::move(fd), true, {}, StreamWriter::Size::AsWritten);
    const std::string piece(3 << 20, 'b');
    std::uint64_t handed = 0;
    for (int i = 0; i < 6; ++i) {
        out.write(piece);
        handed += piece.size();
        EXPECT_LE(static_cast<std::uint64_t>(statOf(name).st_size), handed) << i;
    }
    out.sync();
    out.close();
    EXPECT_EQ(static_cast<std::uint64_t>(statOf(name).st_size), handed);
}

TEST_F(FileSystemTest, CopyOverRestoresInPlaceButNeverEmptiesItsOwnSource) {
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

    ASSERT_EQ(::link(path("backup").c_str(), path("alias").c_str()), 0);
    EXPECT_EQ(errorOf([&] { files.copyOver(path("backup"), path("missing")); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
    EXPECT_NE(errorOf([&] { files.copyOver(path("backup"), path("backup")); }), 0);
    EXPECT_NE(errorOf([&] { files.copyOver(path("backup"), path("alias")); }), 0);
    EXPECT_TRUE(readFile(path("backup")) == original);
}

// --- Writers.

// Emptying for a rewrite shows in the log's clearing and in the rewrites above.
TEST_F(FileSystemTest, WritersOpenOnlyWhatTheyShould) {
    EXPECT_EQ(errorOf([&] { (void)files.openTruncated(path("missing")); }), ENOENT);
    EXPECT_EQ(
        errorOf([&] { (void)files.openRewrite(path("missing"), FileSystem::Rewrite::Overwrite); }),
        ENOENT);
    EXPECT_EQ(errorOf([&] { (void)files.openAppend(path("missing"), false); }), ENOENT);
    EXPECT_FALSE(files.exists(path("missing")));
    writeFile(path("a"), "old content that is long");
    EXPECT_EQ(errorOf([&] { (void)files.createNew(path("a")); }), EEXIST);
    EXPECT_EQ(readFile(path("a")), "old content that is long");
}

TEST_F(FileSystemTest, AFullDeviceIsReportedByTheWriteTheSyncOrTheCloseThatMeetsIt) {
    if (!files.exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    auto out = files.openAppend("/dev/full", false);
    EXPECT_EQ(errorOf([&] { out->write("direct"); }), ENOSPC);

    // A stream writes its pieces in the background: the error comes back by the close. Whole
    // pieces only, so that nothing is left for the close itself to write and fail on.
    auto stream = files.openRewrite("/dev/full", FileSystem::Rewrite::Overwrite);
    EXPECT_EQ(errorOf([&] {
                  stream->write(std::string(8 << 20, 'x'));
                  stream->close();
              }),
              ENOSPC);
    stream = files.openRewrite("/dev/full", FileSystem::Rewrite::Overwrite);
    stream->write("small");
    EXPECT_EQ(errorOf([&] { stream->sync(); }), ENOSPC);
}

// --- The program's private folders and log.

TEST_F(FileSystemTest, FoldersAndTheLogAreMadeTheOwnersAlone) {
    {
        const UmaskGuard open(0);
        files.createDirectory(path("new"));
    }
    EXPECT_EQ(permissionsOf(path("new")), 0700u);
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("new")); }), 0); // already there
    writeFile(path("file"), "x");
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("file")); }), EEXIST);
    EXPECT_EQ(errorOf([&] { files.createDirectory(path("missing/log")); }), ENOENT);

    // Missing folders on the way are made private, an existing one above is left alone;
    // an existing one asked for is tightened, as the command line's terminal test shows.
    ASSERT_EQ(::mkdir(path("shared").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path("shared").c_str(), 0755), 0);
    makePrivateFolder(files, path("shared/home/vornal"));
    EXPECT_EQ(permissionsOf(path("shared")), 0755u);
    EXPECT_EQ(permissionsOf(path("shared/home")), 0700u);
    EXPECT_EQ(permissionsOf(path("shared/home/vornal")), 0700u);

    for (const auto& [before, after] : {std::pair<mode_t, mode_t>{0664, 0600}, {0444, 0400}}) {
        ASSERT_EQ(::chmod(path("file").c_str(), before), 0);
        files.restrictToOwner(path("file"));
        EXPECT_EQ(permissionsOf(path("file")), after);
    }
    EXPECT_EQ(errorOf([&] { files.restrictToOwner(path("missing")); }), ENOENT);
}

// --- Replacing a file whole, one run per file, and the records of runs.

TEST_F(FileSystemTest, AFileIsReplacedWholeOnlyWhereNothingIsLostAndNoNameIsTaken) {
    writeFile(path("plain"), "p");
    writeFile(path("linked"), "l");
    fs::create_hard_link(path("linked"), path("other name"));
    fs::create_symlink(path("plain"), path("symbolic"));
    EXPECT_TRUE(files.canExchange(path("plain")));
    EXPECT_FALSE(files.canExchange(path("linked")));
    EXPECT_FALSE(files.canExchange(path("symbolic")));
    EXPECT_FALSE(files.canExchange(path("missing")));
    EXPECT_FALSE(PosixFileSystem({.exchange = false}).canExchange(path("plain")));
    writeFile(path("marked"), "m");
    if (::setxattr(path("marked").c_str(), "user.vornal", "1", 1, 0) == 0) {
        EXPECT_FALSE(files.canExchange(path("marked")));
    }
    // Trying the volume leaves nothing behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);

    // The way itself: the original kept by a link, the new file made like it; neither takes
    // a name that is there. Exchanging the names shows in the runs' own tests.
    writeFile(path("a"), "original");
    writeFile(path("taken"), "precious");
    files.link(path("a"), path("a.bak"));
    EXPECT_EQ(errorOf([&] { files.link(path("a"), path("taken")); }), EEXIST);
    EXPECT_EQ(readFile(path("taken")), "precious");

    ASSERT_EQ(::chmod(path("a").c_str(), 0640), 0);
    const UmaskGuard mask(077);
    auto out = files.createLike(path(".a.new"), path("a"));
    const std::string content(5 << 20, 'n'); // more than one piece of the stream
    out->write(content);
    out->sync();
    out->close();
    EXPECT_EQ(permissionsOf(path(".a.new")), 0640u);
    EXPECT_EQ(errorOf([&] { (void)files.createLike(path("taken"), path("a")); }), EEXIST);
    EXPECT_TRUE(readFile(path(".a.new")) == content);
}

// Holding a file by any of its names, across its replacement, and letting go show in the
// runs' own tests of a second run; what only the lock file shows is who may take it.
TEST_F(FileSystemTest, OtherUsersRunsCanTakeTheRunLock) {
    writeFile(path("f"), "x");
    const UmaskGuard mask(077);
    const auto held = files.lockForRun(path("f"));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(permissionsOf(path(".f.vornal-lock")), 0644u);
}

TEST_F(FileSystemTest, JournalRecordsComeBackAsWrittenUntilRemoved) {
    RunJournal journal(path("home/runs"));
    EXPECT_TRUE(journal.records().empty());
    RunRecord r;
    r.target = path("odd \\ name\nwith a line end");
    r.backup = r.target + ".bak";
    r.temporary = path(".new");
    r.encrypt = false;
    r.expectedSize = 1234;
    r.original = {1, 2, 3, -4, 999999999};
    journal.write(r);
    EXPECT_FALSE(r.id.empty());
    writeFile(path("home/runs/broken.run"), "vornal-run 1\ntarget x\n"); // never finished

    const auto read = journal.records();
    ASSERT_EQ(read.size(), 1u);
    const auto fields = [](const RunRecord& x) {
        return std::tie(x.id, x.target, x.backup, x.temporary, x.encrypt, x.expectedSize,
                        x.original);
    };
    EXPECT_EQ(fields(read[0]), fields(r));

    journal.remove(r);
    EXPECT_TRUE(journal.records().empty());
}

TEST_F(FileSystemTest, EverySpellingOfAPathNamesOneJournalTarget) {
    fs::create_directory(path("sub"));
    fs::create_directory_symlink(path("sub"), path("link"));
    const std::string name = canonicalTarget(path("sub/f"));
    EXPECT_EQ(canonicalTarget(path("link/f")), name);
    EXPECT_EQ(canonicalTarget(path("sub/../sub//f")), name);
    const fs::path previous = fs::current_path();
    fs::current_path(path("sub"));
    EXPECT_EQ(canonicalTarget("f"), name);
    fs::current_path(previous);
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

TEST(ProgramFolderTest, VornalHomeThenAbsoluteXdgDataHomeThenTheHomeFolderAndNothingMade) {
    using Env = std::optional<std::string>;
    struct Case {
        Env vornalHome, xdgDataHome;
        std::string home, folder;
    };
    const test::TempDir dir;
    const std::string share = "/home/someone/.local/share/vornal-encryption";
    const std::vector<Case> cases = {
        {"/srv/vornal/", "/data", "/home/someone", "/srv/vornal"},
        {"/", std::nullopt, "/home/someone", "/"},
        {"", "/data/", "/home/someone", "/data/vornal-encryption"},
        {std::nullopt, std::nullopt, "/home/someone", share},
        {std::nullopt, "relative/data", "/home/someone", share},
        {std::nullopt, std::nullopt, "/home/someone/", share},
        {dir.file("home"), std::nullopt, "/home/someone", dir.file("home")},
    };
    for (const Case& c : cases) {
        EnvironmentGuard env;
        env.set("VORNAL_HOME", c.vornalHome);
        env.set("XDG_DATA_HOME", c.xdgDataHome);
        env.set("HOME", c.home);
        EXPECT_EQ(programFolder(), c.folder);
    }
    EXPECT_FALSE(test::fileExists(dir.file("home"))) << "asking made the folder";
}

// --- The clock.

TEST(ClockTest, GivesNowInTheLocalesFormatsEvenOneNotInstalledAndFollowsTheTimeZone) {
    EnvironmentGuard env;
    env.set("LC_TIME", std::nullopt);
    env.set("LANG", std::nullopt);
    env.set("LC_ALL", "xx_NOWHERE.UTF-8"); // installed nowhere: the C formats, never empty
    env.set("TZ", "UTC");
    SystemClock clock;
    const std::string date = utf16ToUtf8(clock.dateText());
    const std::string utc = utf16ToUtf8(clock.timeText());
    env.set("TZ", "XXX-5:30"); // five and a half hours east of UTC
    const std::string east = utf16ToUtf8(clock.timeText());
    EXPECT_THAT(date, ::testing::MatchesRegex("[0-9]{2}/[0-9]{2}/[0-9]{2}"));
    EXPECT_THAT(utc, ::testing::MatchesRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}"));
    auto minutesOf = [](const std::string& t) {
        return std::stoi(t.substr(0, 2)) * 60 + std::stoi(t.substr(3, 2));
    };
    const int difference = (minutesOf(east) - minutesOf(utc) + 24 * 60) % (24 * 60);
    // A minute may turn between the two readings.
    EXPECT_TRUE(difference == 330 || difference == 331) << utc << " " << east;
}

} // namespace
} // namespace vornal
