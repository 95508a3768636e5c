// Rewriting a file in place: the old content is never lost and never overtaken.
#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace vornal::test {
namespace {

class WritingOver : public ::testing::Test {
protected:
    TempDir dir;
    FaultyFileSystem files;
    RunJournal journal{dir.file("runs")};
    std::string target = dir.file("t.txt");
    std::optional<InPlaceRewrite> run;

    // A decryption's rewrite of the target as it is now, its backup made.
    InPlaceRewrite& start() {
        run.emplace(files, journal, target, files.identify(target), false);
        run->makeBackup(readFile(target).size());
        return *run;
    }

    // Reads n bytes of the old content (fewer at its end).
    static std::string readSome(FileReader& in, std::size_t n) {
        std::string bytes(n, '\0');
        std::size_t got = 0;
        while (got < n) {
            const std::size_t k = in.read(bytes.data() + got, n - got);
            if (k == 0) {
                break;
            }
            got += k;
        }
        bytes.resize(got);
        return bytes;
    }
};

TEST_F(WritingOver, ReadsTheOldContentWhileWritingBehindItAndEndsWhereTheWritingEnds) {
    std::string old;
    for (int i = 0; i < 200000; ++i) {
        old += static_cast<char>('a' + i % 26);
    }
    writeFile(target, old);
    InPlaceRewrite& rewrite = start();
    rewrite.beginOver();
    std::string seen;
    std::string written;
    while (true) {
        const std::string piece = readSome(rewrite.oldContent(), 777);
        if (piece.empty()) {
            break;
        }
        seen += piece;
        // Half as long as what was read for it, like decrypted text.
        const std::string shorter = piece.substr(0, piece.size() / 2);
        rewrite.write(shorter);
        written += shorter;
    }
    rewrite.finish();
    EXPECT_TRUE(seen == old) << "the old content was not read as it was";
    EXPECT_TRUE(readFile(target) == written) << "the new content differs";
    EXPECT_TRUE(readFile(rewrite.backupPath()) == old);
}

TEST_F(WritingOver, AWriteThatWouldPassTheReadingIsRefusedAndTheFileComesBack) {
    const std::string old = "the only words there are";
    writeFile(target, old);
    InPlaceRewrite& rewrite = start();
    rewrite.beginOver();
    ASSERT_EQ(readSome(rewrite.oldContent(), 4), "the ");
    rewrite.write("ab");
    try {
        rewrite.write("cde");
        FAIL() << "the writing passed the reading";
    } catch (const RunError& e) {
        EXPECT_EQ(e.number(), EINVAL);
    }
    EXPECT_TRUE(rewrite.restore());
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(readFile(rewrite.backupPath()), old);
}

// Where names can be exchanged, the original keeps its name until a new file, complete and
// on the disk, takes it in one step.
TEST_F(WritingOver, ANewFileTakesTheNameOnlyOnceItIsOnTheDiskAndTheBackupGoesLast) {
    files.allowExchange = true;
    writeFile(target, "old words here");
    const auto inode = files.identify(target).inode;
    InPlaceRewrite& rewrite = start();
    rewrite.beginOver();
    EXPECT_EQ(readSome(rewrite.oldContent(), 100), "old words here");
    rewrite.write("new, and longer than the old content was");
    EXPECT_EQ(readFile(target), "old words here");
    rewrite.finish();
    EXPECT_EQ(readFile(rewrite.backupPath()), "old words here");
    EXPECT_TRUE(journal.records().size() == 1) << "the run is on record until it ends";
    ASSERT_TRUE(rewrite.discardBackup());
    EXPECT_EQ(readFile(target), "new, and longer than the old content was");
    EXPECT_TRUE(journal.records().empty());
    const std::string hidden = dir.file(".t.txt.vornal-new");
    const std::vector<std::string> expected = {"link " + target + " " + target + ".bak",
                                               "openRead " + target + ".bak",
                                               "createLike " + hidden,
                                               "write " + hidden,
                                               "sync " + hidden,
                                               "close " + hidden,
                                               "exchange " + hidden + " " + target,
                                               "remove " + hidden,
                                               "remove " + target + ".bak"};
    EXPECT_EQ(files.calls, expected);
    EXPECT_NE(files.identify(target).inode, inode);
}

} // namespace
} // namespace vornal::test
