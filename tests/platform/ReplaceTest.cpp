// What runs rely on to never lose a file: replacing it whole, one lock per file and the
// records of runs under way.
#include "platform/FileSystem.h"
#include "platform/RunError.h"
#include "platform/RunJournal.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vornal {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

class Replace : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const std::string& name) const { return dir.file(name); }
    test::TempDir dir;
    PosixFileSystem files;
};

TEST_F(Replace, AFileIsReplacedWholeOnlyWhereNothingAboutItWouldBeLost) {
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
}

TEST_F(Replace, LinksNewFilesAndExchangesTakeNoNameThatIsThere) {
    writeFile(path("a"), "original");
    writeFile(path("taken"), "precious");
    files.link(path("a"), path("a.bak"));
    EXPECT_TRUE(files.identify(path("a.bak")).sameFile(files.identify(path("a"))));
    EXPECT_EQ(errorOf([&] { files.link(path("a"), path("taken")); }), EEXIST);
    EXPECT_EQ(readFile(path("taken")), "precious");

    ASSERT_EQ(::chmod(path("a").c_str(), 0640), 0);
    const mode_t mask = ::umask(077);
    auto out = files.createLike(path(".a.new"), path("a"));
    ::umask(mask);
    const std::string content(5 << 20, 'n'); // more than one piece of the stream
    out->write(content);
    out->sync();
    out->close();
    struct stat st {};
    ASSERT_EQ(::stat(path(".a.new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(errorOf([&] { (void)files.createLike(path("taken"), path("a")); }), EEXIST);

    const FileIdentity before = files.identify(path("a"));
    files.exchange(path(".a.new"), path("a"));
    EXPECT_TRUE(readFile(path("a")) == content);
    EXPECT_EQ(readFile(path(".a.new")), "original");
    EXPECT_EQ(files.identify(path(".a.new")), before);
}

TEST_F(Replace, OneRunAtATimeHoldsAFileByAnyOfItsNamesUntilItLetsGo) {
    writeFile(path("f"), "x");
    fs::create_hard_link(path("f"), path("hard"));
    fs::create_symlink(path("f"), path("soft"));
    const mode_t mask = ::umask(077);
    auto held = files.lockForRun(path("f"));
    ::umask(mask);
    ASSERT_NE(held, nullptr);
    for (const char* name : {"f", "hard", "soft"}) {
        EXPECT_EQ(files.lockForRun(path(name)), nullptr) << name;
    }
    struct stat st {};
    ASSERT_EQ(::stat(path(".f.vornal-lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "other users' runs must be able to lock it";

    // Across the replacement: the new file that takes the name is held too.
    writeFile(path("new"), "y");
    held->alsoHold(path("new"));
    files.exchange(path("new"), path("f"));
    EXPECT_EQ(files.lockForRun(path("soft")), nullptr);

    held.reset();
    EXPECT_FALSE(files.exists(path(".f.vornal-lock")));
    EXPECT_NE(files.lockForRun(path("f")), nullptr);
}

TEST(RunJournalTest, RecordsComeBackAsWrittenUntilRemoved) {
    test::TempDir dir;
    RunJournal journal(dir.file("home/runs"));
    EXPECT_TRUE(journal.records().empty());
    RunRecord r;
    r.target = dir.file("odd \\ name\nwith a line end");
    r.backup = r.target + ".bak";
    r.temporary = dir.file(".new");
    r.encrypt = false;
    r.expectedSize = 1234;
    r.original = {1, 2, 3, -4, 999999999};
    journal.write(r);
    EXPECT_FALSE(r.id.empty());
    writeFile(dir.file("home/runs/broken.run"), "vornal-run 1\ntarget x\n"); // never finished

    auto read = journal.records();
    ASSERT_EQ(read.size(), 1u);
    const auto same = [](const RunRecord& a, const RunRecord& b) {
        return a.id == b.id && a.target == b.target && a.backup == b.backup &&
               a.temporary == b.temporary && a.encrypt == b.encrypt &&
               a.expectedSize == b.expectedSize && a.original == b.original;
    };
    EXPECT_TRUE(same(read[0], r));

    r.backup += ".1";
    r.temporary.clear();
    journal.write(r);
    read = journal.records();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_TRUE(same(read[0], r));
    EXPECT_FALSE(read[0].exchanges());

    journal.remove(r);
    EXPECT_TRUE(journal.records().empty());
}

TEST(RunJournalTest, EverySpellingOfAPathNamesOneTarget) {
    test::TempDir dir;
    fs::create_directory(dir.file("sub"));
    fs::create_directory_symlink(dir.file("sub"), dir.file("link"));
    const std::string name = canonicalTarget(dir.file("sub/f"));
    EXPECT_EQ(canonicalTarget(dir.file("link/f")), name);
    EXPECT_EQ(canonicalTarget(dir.file("sub/../sub//f")), name);
    const fs::path previous = fs::current_path();
    fs::current_path(dir.file("sub"));
    EXPECT_EQ(canonicalTarget("f"), name);
    fs::current_path(previous);
}

} // namespace
} // namespace vornal
