// A run never loses its file: a failure or a crash at any step, a file another program
// changes under the run, a second run on it, and files that cannot be rewritten.
#include "operations/InPlaceRewrite.h"
#include "operations/Recovery.h"
#include "tests/operations/FileRunFixture.h"

#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

struct Crash {}; // what a run meets when the process dies at that step

class RunSafety : public FileRunTest {
protected:
    const std::string original = "words that must never be lost";
    const std::string cipher =
        encrypted({u"words", u"that", u"must", u"never", u"be", u"lost"}, u"k");

    [[nodiscard]] const std::string& before(const Way& way) const {
        return way.encrypt ? original : cipher;
    }
    [[nodiscard]] const std::string& after(const Way& way) const {
        return way.encrypt ? cipher : original;
    }
    // The calls a run of the way makes when nothing goes wrong. Its steps come in this
    // order: the backup on the disk before the file is touched, and gone only once the new
    // content is.
    std::size_t stepsOf(const Way& way) {
        reset(before(way));
        EXPECT_TRUE(run(way).succeeded());
        const Names exchanged = {
            "link plain.txt plain.txt.bak", "createLike .plain.txt.vornal-new",
            "write .plain.txt.vornal-new",  "sync .plain.txt.vornal-new",
            "close .plain.txt.vornal-new",  "exchange .plain.txt.vornal-new plain.txt",
            "remove .plain.txt.vornal-new", "remove plain.txt.bak"};
        const Names copied = {"copyToNew plain.txt plain.txt.bak",
                              "openRewrite plain.txt",
                              "write plain.txt",
                              "sync plain.txt",
                              "close plain.txt",
                              "remove plain.txt.bak"};
        Names steps; // the reads left out, the writes counted once
        for (const std::string& call : files.calls) {
            if (call.rfind("openRead", 0) != 0 && (steps.empty() || steps.back() != local(call))) {
                steps.push_back(local(call));
            }
        }
        EXPECT_EQ(steps, way.exchange ? exchanged : copied) << way.encrypt;
        return files.calls.size();
    }
    // The way's run, meeting thrown at its nth call.
    template <typename Thrown>
    std::optional<FileOutcome> runFailing(const Way& way, std::size_t n, Thrown thrown) {
        reset(before(way));
        files.beforeCall = [n, thrown](std::size_t i, const std::string&) {
            if (i == n) {
                throw thrown;
            }
        };
        std::optional<FileOutcome> o;
        try {
            o = run(way);
        } catch (const Crash&) {
        }
        files.beforeCall = nullptr;
        return o;
    }
    [[nodiscard]] std::string where(const Way& way, std::size_t n) const {
        return std::to_string(way.exchange) + std::to_string(way.encrypt) + " at " +
               local(files.calls[n - 1]);
    }
};

TEST_F(RunSafety, AFailureAtAnyStepLeavesTheFileWholeAndExchangedNamesNeedNoRoomToGoBack) {
    const Row failed{u"Open File \"" + utf8ToUtf16(target).value() + u"\"",
                     u"Failure: " + numberAndText(RunError::fromErrno(EIO))};
    for (const Way& way : kWays) {
        const std::size_t steps = stepsOf(way);
        for (std::size_t n = 1; n <= steps; ++n) {
            const FileOutcome o = runFailing(way, n, RunError::fromErrno(EIO)).value();
            const std::string at = where(way, n);
            EXPECT_EQ(readFile(target), o.succeeded() ? after(way) : before(way)) << at;
            EXPECT_TRUE(o.restored) << at;
            EXPECT_TRUE(o.succeeded() || log.rows.back() == failed) << at;
            EXPECT_TRUE(journal.records().empty()) << at;
            // Only a backup may stay: after a failure where it is a copy, or when deleting
            // it was what failed.
            for (const std::string& name : leftovers()) {
                EXPECT_EQ(name, "plain.txt.bak") << at;
                EXPECT_EQ(readFile(target + ".bak"), before(way)) << at;
            }
            for (std::size_t i = n; way.exchange && i < files.calls.size(); ++i) {
                const std::string call = local(files.calls[i]);
                for (const char* writing : {"write", "copy", "openRewrite"}) {
                    EXPECT_NE(call.rfind(writing, 0), 0u) << at << ", then " << call;
                }
            }
        }
    }
}

TEST_F(RunSafety, ACrashAtAnyStepIsRefusedByTheNextRunAndPutBackByRecovery) {
    for (const Way& way : kWays) {
        const std::size_t steps = stepsOf(way);
        bool afterExchange = false;
        for (std::size_t n = 1; n <= steps; ++n) {
            (void)runFailing(way, n, Crash{});
            const std::string at = where(way, n);
            afterExchange |= n > 1 && files.calls[n - 2].rfind("exchange", 0) == 0;
            const std::vector<RunRecord> pending = journal.records();
            if (!pending.empty()) {
                const std::string left = readFile(target);
                EXPECT_EQ(run(way).status, RunStatus::Interrupted) << at;
                EXPECT_EQ(readFile(target), left) << at;
                for (const RunRecord& r : pending) {
                    const Recovered outcome = recoverRun(files, journal, r).outcome;
                    EXPECT_TRUE(outcome == Recovered::PutBack || outcome == Recovered::NothingToDo)
                        << at;
                }
            }
            const std::string now = readFile(target);
            EXPECT_TRUE(now == before(way) || now == after(way)) << at;
            EXPECT_TRUE(journal.records().empty()) << at;
            EXPECT_EQ(leftovers(), Names{}) << at;
        }
        EXPECT_EQ(afterExchange, way.exchange);
    }
}

// Another program writes to the file during an encryption, by a descriptor it keeps or
// opening the file by its name (the same file until the names are exchanged); or adds to
// the new content once it is flushed.
TEST_F(RunSafety, AFileChangedDuringTheRunIsNeverLostNorTakenForSuccess) {
    const std::string line = "a line from another program\n";
    const std::string hidden = ".plain.txt.vornal-new";
    const struct {
        bool exchange;
        std::string when; // the step after which the line comes
        std::string into; // opened by its name; empty: a descriptor kept on the target
        std::optional<bool> putBackFromBackup; // none: the run succeeds
        std::string result;
    } cases[] = {
        {true, "createLike " + hidden, "", false, original + line},
        {true, "exchange " + hidden + " plain.txt", "", false, original + line},
        {true, "remove " + hidden, "", false, original + line},
        {true, "exchange " + hidden + " plain.txt", "plain.txt", std::nullopt, cipher + line},
        {false, "copyToNew plain.txt plain.txt.bak", "", false, original + line},
        {true, "close " + hidden, hidden, false, original},
        {false, "close plain.txt", "plain.txt", true, original},
    };
    for (const auto& c : cases) {
        reset(original);
        const int kept = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        bool done = false;
        files.afterCall = [&](const std::string& call) {
            if (local(call) == c.when && !std::exchange(done, true)) {
                if (c.into.empty()) {
                    ASSERT_EQ(::write(kept, line.data(), line.size()), ssize_t(line.size()));
                } else {
                    std::ofstream(dir.file(c.into), std::ios::app) << line;
                }
            }
        };
        const FileOutcome o = run(Way{c.exchange, true});
        files.afterCall = nullptr;
        ::close(kept);
        const std::string what = c.when + " into " + c.into;
        EXPECT_EQ(readFile(target), c.result) << what;
        // A backup that put the file back stays, as after any failure of the copied way.
        const bool copyKept = c.putBackFromBackup.value_or(false);
        EXPECT_EQ(leftovers(), copyKept ? Names{"plain.txt.bak"} : Names{}) << what;
        EXPECT_TRUE(journal.records().empty()) << what;
        EXPECT_EQ(o.succeeded(), !c.putBackFromBackup) << what;
        if (c.putBackFromBackup) {
            EXPECT_EQ(o.failure, Failure::Changed) << what;
            EXPECT_EQ(o.putBackFromBackup, *c.putBackFromBackup) << what;
            EXPECT_THAT(log.rows,
                        ::testing::ElementsAre(row(Direction::Encrypt, u"Failure - File Changed")))
                << what;
        }
    }
}

// A second run on the file while the first holds it: by the same name, by another name of
// the same file, and after the new file took the name.
TEST_F(RunSafety, ASecondRunIsRefusedAtOnceWhileTheFirstHoldsTheFile) {
    const struct {
        bool exchange;
        std::string name; // the second run's name for the file
        std::string when;
    } cases[] = {
        {true, "plain.txt", "createLike .plain.txt.vornal-new"},
        {true, "plain.txt", "exchange .plain.txt.vornal-new plain.txt"},
        {true, "symbolic.txt", "exchange .plain.txt.vornal-new plain.txt"},
        {false, "plain.txt", "copyToNew plain.txt plain.txt.bak"},
        {false, "hard-link.txt", "copyToNew plain.txt plain.txt.bak"},
    };
    for (const auto& c : cases) {
        reset(original);
        fs::create_symlink(target, dir.file("symbolic.txt"));
        if (!c.exchange) {
            fs::create_hard_link(target, dir.file("hard-link.txt")); // kept by the copied way
        }
        std::optional<RunStatus> second;
        files.afterCall = [&](const std::string& call) {
            if (local(call) == c.when && !second) {
                second = run(Direction::Decrypt, u"k", dir.file(c.name)).status;
            }
        };
        EXPECT_TRUE(run(Way{c.exchange, true}).succeeded()) << c.when;
        files.afterCall = nullptr;
        EXPECT_EQ(second, RunStatus::Busy) << c.name << " " << c.when;
        EXPECT_EQ(readFile(target), cipher) << c.when;
        fs::remove(dir.file("symbolic.txt"));
        fs::remove(dir.file("hard-link.txt"));
        EXPECT_EQ(leftovers(), Names{}) << c.when;
    }
}

// Each refusal comes before anything is made beside the file: no lock, no backup.
TEST_F(RunSafety, FilesThatCannotBeRewrittenAreRefusedBeforeAnythingIsMade) {
    const bool root = ::geteuid() == 0;
    enum Who { Anyone, Root, NotRoot }; // who can make the case: root passes permissions
    // Sets or clears an attribute flag, where the file system has them.
    const auto setFlag = [&](int flag, bool on) {
        const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a FIFO too
        int flags = 0;
        const bool set =
            ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
            ::ioctl(fd, FS_IOC_SETFLAGS, &(flags = on ? flags | flag : flags & ~flag)) == 0;
        ::close(fd);
        return set;
    };
    const struct {
        Who who;
        std::function<bool()> make;
        RewriteRefusal why; // None: no file that can be read has the name
    } cases[] = {
        {Anyone, [&] { return ::chmod(target.c_str(), 0444) == 0; }, RewriteRefusal::ReadOnly},
        {Root, [&] { return setFlag(FS_IMMUTABLE_FL, true); }, RewriteRefusal::Immutable},
        {Root, [&] { return setFlag(FS_APPEND_FL, true); }, RewriteRefusal::AppendOnly},
        {NotRoot, [&] { return ::chmod(target.c_str(), 0466) == 0; }, RewriteRefusal::NoPermission},
        {NotRoot, [&] { return ::chmod(dir.path().c_str(), 0555) == 0; },
         RewriteRefusal::FolderNotWritable},
        {Anyone, [&] { return fs::remove(target) && fs::create_directory(target); },
         RewriteRefusal::None},
        {Anyone, [&] { return fs::remove(target) && ::mkfifo(target.c_str(), 0644) == 0; },
         RewriteRefusal::None},
    };
    int tried = 0;
    for (const auto& c : cases) {
        reset(original);
        if ((c.who == Root && !root) || (c.who == NotRoot && root) || !c.make()) {
            continue; // made in the other run of the suite, as root or as another user
        }
        ++tried;
        const FileOutcome o = run(Direction::Encrypt);
        (void)setFlag(FS_IMMUTABLE_FL | FS_APPEND_FL, false);
        ::chmod(dir.path().c_str(), 0755);
        const std::string what = std::to_string(&c - cases);
        EXPECT_EQ(o.status,
                  c.why == RewriteRefusal::None ? RunStatus::NotFound : RunStatus::CannotRewrite)
            << what;
        EXPECT_EQ(o.why, c.why) << what;
        EXPECT_EQ(leftovers(), Names{}) << what;
        EXPECT_TRUE(!fs::is_regular_file(target) || readFile(target) == original) << what;
        EXPECT_TRUE(log.rows.empty()) << what;
    }
    EXPECT_EQ(tried, 5);
}

// Decrypted text is shorter than what it was read from, so writing over the file never
// passes the reading; were it to, it would destroy text still to be read.
TEST_F(RunSafety, WritingOverRefusesAWriteThatWouldPassTheReading) {
    reset(original);
    InPlaceRewrite rewrite(files, journal, target, files.identify(target), false);
    rewrite.makeBackup(original.size());
    rewrite.beginOver();
    char head[4];
    ASSERT_EQ(rewrite.oldContent().read(head, sizeof head), sizeof head);
    rewrite.write("abcd");
    EXPECT_THAT([&] { rewrite.write("e"); },
                ::testing::Throws<RunError>(::testing::Property(&RunError::number, EINVAL)));
    EXPECT_TRUE(rewrite.restore());
    EXPECT_EQ(readFile(target), original);
}

} // namespace
} // namespace vornal::test
