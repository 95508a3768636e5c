// A run never loses its file: one run at a time, a file changed under a run, a run that
// fails or dies at any step, files that cannot be rewritten, and the room a run needs.
#include "operations/Engine.h"
#include "operations/Recovery.h"
#include "operations/RunMessages.h"
#include "tests/operations/OperationFixture.h"
#include "tests/support/MemoryFiles.h"

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;

struct Crash {}; // what a run meets when the process dies at that step

struct Way {
    bool exchange; // the new file takes the name; otherwise the file is written over
    bool encrypt;
};
const Way kWays[] = {{true, true}, {true, false}, {false, true}, {false, false}};

class RunSafety : public OperationFixture {
protected:
    const std::string original = "words that must never be lost";
    const std::string encrypted =
        expectedFile({u"words", u"that", u"must", u"never", u"be", u"lost"}, u"k");
    const std::string decrypted = original;

    void SetUp() override {
        selectFile(target);
        keys(u"k");
    }
    // The file with content, and nothing else of a run's beside it or on record.
    void reset(const std::string& content) {
        for (const auto& e : fs::directory_iterator(dir.path())) {
            if (e.path().filename() != "log.html") {
                fs::remove_all(e.path());
            }
        }
        writeFile(target, content);
        window.looks.clear();
        files.calls.clear();
    }
    void run(bool encrypting) { encrypting ? encrypt() : decrypt(); }
    [[nodiscard]] bool succeeded() const {
        return std::any_of(window.looks.begin(), window.looks.end(),
                           [](const auto& l) { return l.panel == Colour::Success; });
    }
    [[nodiscard]] std::u16string lastMessage() const {
        return window.looks.empty() ? u"" : window.looks.back().message;
    }
    // What a run left beside the file.
    [[nodiscard]] std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename();
            if (name != "plain.txt" && name != "log.html" && name != "runs") {
                names.push_back(name);
            }
        }
        return names;
    }
    // Runs as a way goes when nothing goes wrong, for the number of its steps (the second
    // time: the first also starts the log).
    std::size_t stepsOf(const Way& way) {
        files.allowExchange = way.exchange;
        for (int i = 0; i < 2; ++i) {
            reset(way.encrypt ? original : encrypted);
            run(way.encrypt);
        }
        EXPECT_TRUE(succeeded());
        return files.calls.size();
    }
};

TEST_F(RunSafety, AFailureAtAnyStepLeavesTheFileWholeAndExchangedNamesNeedNoRoomToGoBack) {
    for (const Way& way : kWays) {
        const std::string before = way.encrypt ? original : encrypted;
        const std::string after = way.encrypt ? encrypted : decrypted;
        const std::size_t steps = stepsOf(way);
        for (std::size_t n = 1; n <= steps; ++n) {
            reset(before);
            files.beforeCall = [n](std::size_t i, const std::string&) {
                if (i == n) {
                    throw RunError::fromErrno(EIO);
                }
            };
            run(way.encrypt);
            files.beforeCall = nullptr;
            const std::string where = std::to_string(way.exchange) + std::to_string(way.encrypt) +
                                      " failed at " + files.calls[n - 1];
            EXPECT_EQ(readFile(target), succeeded() ? after : before) << where;
            EXPECT_TRUE(journal.records().empty()) << where;
            // Only a backup may stay: after a failure where it is a copy, or when deleting
            // it was what failed.
            for (const std::string& name : leftovers()) {
                EXPECT_EQ(name, "plain.txt.bak") << where;
                EXPECT_EQ(readFile(target + ".bak"), before) << where;
            }
            if (way.exchange) {
                for (std::size_t i = n; i < files.calls.size(); ++i) {
                    const std::string& call = files.calls[i];
                    const bool writes = call.rfind("write", 0) == 0 || call.rfind("copy", 0) == 0 ||
                                        call.rfind("openRewrite", 0) == 0;
                    EXPECT_FALSE(writes && call.find("plain.txt") != std::string::npos)
                        << where << ", then " << call;
                }
            }
        }
    }
}

TEST_F(RunSafety, ACrashAtAnyStepIsRefusedByTheNextRunAndPutBackByRecovery) {
    for (const Way& way : kWays) {
        const std::string before = way.encrypt ? original : encrypted;
        const std::string after = way.encrypt ? encrypted : decrypted;
        const std::size_t steps = stepsOf(way);
        bool afterExchange = false;
        for (std::size_t n = 1; n <= steps; ++n) {
            reset(before);
            files.beforeCall = [n](std::size_t i, const std::string&) {
                if (i == n) {
                    throw Crash{};
                }
            };
            try {
                run(way.encrypt);
            } catch (const Crash&) {
            }
            files.beforeCall = nullptr;
            const std::string where = std::to_string(way.exchange) + std::to_string(way.encrypt) +
                                      " died before " + files.calls[n - 1];
            afterExchange =
                afterExchange || (n > 1 && files.calls[n - 2].rfind("exchange", 0) == 0);
            const std::vector<RunRecord> pending = journal.records();
            if (!pending.empty()) {
                const std::string left = readFile(target);
                window.looks.clear();
                run(way.encrypt);
                EXPECT_EQ(lastMessage(), kInterruptedMessage) << where;
                EXPECT_EQ(readFile(target), left) << where;
                for (const RunRecord& r : pending) {
                    const Recovered outcome = recoverRun(files, journal, r).outcome;
                    EXPECT_TRUE(outcome == Recovered::PutBack || outcome == Recovered::NothingToDo)
                        << where;
                }
            }
            const std::string now = readFile(target);
            EXPECT_TRUE(now == before || now == after) << where;
            EXPECT_TRUE(journal.records().empty()) << where;
            EXPECT_EQ(leftovers(), std::vector<std::string>{}) << where;
        }
        EXPECT_EQ(afterExchange, way.exchange);
    }
}

// Another program writes to the file during the run: by a descriptor it keeps, or opening
// the file by its name each time.
TEST_F(RunSafety, AFileChangedDuringTheRunIsNeverLostNorReportedAsSuccess) {
    const std::string line = "a line from another program\n";
    struct Case {
        bool exchange;
        bool keepsDescriptor;
        std::string when; // the step after which the line comes
        std::u16string message;
        bool lineAfterOurs; // success, with the line after the marker
    };
    const std::string hidden = dir.file(".plain.txt.vornal-new");
    const std::vector<Case> cases = {
        {true, true, "createLike " + hidden, kChangedNotProcessedMessage, false},
        {true, false, "createLike " + hidden, kChangedNotProcessedMessage, false},
        {true, true, "exchange " + hidden + " " + target, kChangedNotProcessedMessage, false},
        {true, true, "remove " + hidden, kChangedNotProcessedMessage, false},
        {true, false, "exchange " + hidden + " " + target, u"File successfully Encrypted.", true},
        {false, true, "copyToNew " + target + " " + target + ".bak", kChangedNotProcessedMessage,
         false},
    };
    for (const Case& c : cases) {
        files.allowExchange = c.exchange;
        reset(original);
        const int kept = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        bool done = false;
        files.afterCall = [&](const std::string& call) {
            if (call == c.when && !std::exchange(done, true)) {
                if (c.keepsDescriptor) {
                    ASSERT_EQ(::write(kept, line.data(), line.size()), ssize_t(line.size()));
                } else {
                    std::ofstream(target, std::ios::app) << line;
                }
            }
        };
        encrypt();
        files.afterCall = nullptr;
        ::close(kept);
        EXPECT_EQ(lastMessage(), c.message) << c.when;
        EXPECT_EQ(readFile(target), c.lineAfterOurs ? encrypted + line : original + line) << c.when;
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << c.when;
        EXPECT_TRUE(journal.records().empty()) << c.when;
        if (!c.lineAfterOurs) {
            EXPECT_EQ(logRows().back().second, "Failure - File Changed") << c.when;
        }
    }
}

TEST_F(RunSafety, NewContentOfAnotherSizeThanWrittenIsNotTakenForTheFile) {
    for (const bool exchange : {true, false}) {
        files.allowExchange = exchange;
        reset(original);
        // A byte more in the new content once it is flushed, wherever it is.
        const std::string newContent = exchange ? dir.file(".plain.txt.vornal-new") : target;
        files.afterCall = [&](const std::string& call) {
            if (call == "close " + newContent) {
                std::ofstream(newContent, std::ios::app) << "x";
            }
        };
        encrypt();
        files.afterCall = nullptr;
        EXPECT_EQ(lastMessage(), exchange ? kChangedNotProcessedMessage : kChangedPutBackMessage);
        EXPECT_EQ(readFile(target), original);
        EXPECT_TRUE(journal.records().empty());
    }
}

// A second run on the file while the first holds it: by the same name, by another name of
// the same file, and after the new file took the name.
TEST_F(RunSafety, ASecondRunIsRefusedAtOnceWhileTheFirstHoldsTheFile) {
    struct Case {
        bool exchange;
        std::string name; // the second run's name for the file
        std::string when;
    };
    const std::string hidden = dir.file(".plain.txt.vornal-new");
    const std::string hardLink = dir.file("hard-link.txt");
    const std::string symbolic = dir.file("symbolic.txt");
    const std::vector<Case> cases = {
        {true, target, "createLike " + hidden},
        {true, target, "exchange " + hidden + " " + target},
        {true, symbolic, "exchange " + hidden + " " + target},
        {false, target, "copyToNew " + target + " " + target + ".bak"},
        {false, hardLink, "copyToNew " + target + " " + target + ".bak"},
    };
    for (const Case& c : cases) {
        files.allowExchange = c.exchange;
        reset(original);
        fs::create_symlink(target, symbolic);
        if (c.name == hardLink) {
            fs::create_hard_link(target, hardLink);
        }
        RecordingWindow second;
        ProcessState secondState;
        InlineBackground secondBackground{second};
        OperationContext other{secondState, second, {files, log, journal}, secondBackground};
        second.setText(Ctl::filepath, utf8ToUtf16(c.name).value());
        second.setText(Ctl::txtPass1, u"k");
        second.setText(Ctl::txtPass2, u"k");
        bool done = false;
        files.afterCall = [&](const std::string& call) {
            if (call == c.when && !std::exchange(done, true)) {
                DecryptCurrent(other);
            }
        };
        encrypt();
        files.afterCall = nullptr;
        EXPECT_EQ(second.looks, flashLooks(kBusyMessage)) << c.name << " " << c.when;
        EXPECT_TRUE(succeeded()) << c.when;
        EXPECT_EQ(readFile(target), encrypted) << c.when;
        fs::remove(symbolic);
        fs::remove(hardLink);
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << c.when;
    }
}

// Each refusal comes before anything is made beside the file: no lock, no backup.
TEST_F(RunSafety, FilesThatCannotBeRewrittenAreRefusedBeforeAnythingIsMade) {
    const bool root = ::geteuid() == 0;
    enum Who { Anyone, Root, NotRoot }; // who can make the case: root passes permissions
    struct Case {
        const char* what;
        Who who;
        std::function<bool()> make;
        std::u16string message;
        std::function<void()> undo = [] {};
    };
    const auto setFlag = [&](int flag) {
        const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        const bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         ::ioctl(fd, FS_IOC_SETFLAGS, &(flags |= flag)) == 0;
        ::close(fd);
        return set;
    };
    const auto clearFlags = [&] {
        const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        (void)::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
    };
    const std::vector<Case> cases = {
        {"read-only", Anyone, [&] { return ::chmod(target.c_str(), 0444) == 0; },
         refusalMessage(RewriteRefusal::ReadOnly)},
        {"immutable", Root, [&] { return setFlag(FS_IMMUTABLE_FL); },
         refusalMessage(RewriteRefusal::Immutable), clearFlags},
        {"append-only", Root, [&] { return setFlag(FS_APPEND_FL); },
         refusalMessage(RewriteRefusal::AppendOnly), clearFlags},
        {"not the owner's to write", NotRoot, [&] { return ::chmod(target.c_str(), 0466) == 0; },
         refusalMessage(RewriteRefusal::NoPermission)},
        {"in a folder of others", NotRoot, [&] { return ::chmod(dir.path().c_str(), 0555) == 0; },
         refusalMessage(RewriteRefusal::FolderNotWritable),
         [&] { ::chmod(dir.path().c_str(), 0755); }},
        {"a folder", Anyone, [&] { return fs::remove(target) && fs::create_directory(target); },
         u"Unable to find the file specified."},
        {"a FIFO", Anyone,
         [&] { return fs::remove(target) && ::mkfifo(target.c_str(), 0644) == 0; },
         u"Unable to find the file specified."},
    };
    int tried = 0;
    for (const Case& c : cases) {
        reset(original);
        if ((c.who == Root && !root) || (c.who == NotRoot && root) || !c.make()) {
            continue; // made in the other run of the suite, as root or as another user
        }
        ++tried;
        encrypt();
        EXPECT_EQ(window.looks, flashLooks(c.message)) << c.what;
        c.undo();
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << c.what;
        if (fs::is_regular_file(target)) {
            EXPECT_EQ(readFile(target), original) << c.what;
        }
        EXPECT_TRUE(journal.records().empty()) << c.what;
    }
    EXPECT_EQ(tried, 5);
}

// The room a run needs is that of the way it takes, asked of the file's own volume.
TEST_F(RunSafety, TheRoomAskedForIsWhatTheWayNeeds) {
    for (const Way& way : kWays) {
        files.allowExchange = way.exchange;
        const std::string before = way.encrypt ? original : encrypted;
        std::uint64_t newSize = encrypted.size();
        if (!way.encrypt) {
            StringReader in(before);
            newSize = scanEncrypted(in, {}).decryptedBound;
        }
        const std::uint64_t needed = way.exchange  ? newSize
                                     : way.encrypt ? std::max(before.size(), newSize)
                                                   : before.size();
        for (const std::uint64_t room : {needed - 1, needed}) {
            reset(before);
            files.freeSpaceAnswer = room;
            run(way.encrypt);
            EXPECT_EQ(succeeded(), room == needed) << way.exchange << way.encrypt << " " << room;
        }
        EXPECT_EQ(readFile(target), way.encrypt ? encrypted : decrypted);
    }
    files.freeSpaceAnswer.reset();
}

TEST_F(RunSafety, AFileAtTheRootOfAFullVolumeIsRefusedWithoutBeingTouched) {
    const std::string volume = dir.file("volume");
    fs::create_directory(volume);
    if (::mount("vornal-test", volume.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "a small volume can be mounted only by root";
    }
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{volume};
    const std::string file = volume + "/big.txt";
    std::string words;
    while (words.size() < 300'000) {
        words += "several words ";
    }
    writeFile(file, words);
    selectFile(file);
    encrypt(); // needs eight times its size, where its folder's parent has plenty
    EXPECT_EQ(lastMessage(), kNoSpaceMessage);
    EXPECT_TRUE(readFile(file) == words);
    EXPECT_EQ(std::distance(fs::directory_iterator(volume), fs::directory_iterator()), 1);
}

} // namespace
} // namespace vornal::test
