// Rewriting a file in place: the old content is never lost and never overtaken.
#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vornal::test {
namespace {

class WritingOver : public ::testing::Test {
protected:
    TempDir dir;
    FaultyFileSystem files;
    std::string target = dir.file("t.txt");

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
    InPlaceRewrite rewrite(files, target);
    rewrite.makeBackup();
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
    InPlaceRewrite rewrite(files, target);
    rewrite.makeBackup();
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

// Where the file can simply be renamed, it is its own backup and a new file takes its name.
class MovedAside : public WritingOver {
protected:
    MovedAside() { files.allowMoveAside = true; }
};

TEST_F(MovedAside, TheNewFileIsFlushedBeforeTheBackupGoes) {
    writeFile(target, "old words here");
    InPlaceRewrite rewrite(files, target);
    rewrite.makeBackup();
    rewrite.beginOver();
    EXPECT_EQ(readSome(rewrite.oldContent(), 100), "old words here");
    rewrite.write("new, and longer than the old content was");
    rewrite.finish();
    ASSERT_TRUE(rewrite.discardBackup());
    EXPECT_EQ(readFile(target), "new, and longer than the old content was");
    EXPECT_FALSE(fileExists(rewrite.backupPath()));
    const std::vector<std::string> expected = {"moveAside " + target + " " + target + ".bak",
                                               "openRead " + target + ".bak",
                                               "openReplacement " + target,
                                               "write " + target,
                                               "sync " + target,
                                               "close " + target,
                                               "remove " + target + ".bak"};
    EXPECT_EQ(files.calls, expected);
}

TEST_F(MovedAside, AFailureAtAnyPointBringsTheOldContentBackAndKeepsTheBackup) {
    for (const int writes : {-1, 0, 2}) { // -1: failed before the new file was made
        writeFile(target, "the old content");
        InPlaceRewrite rewrite(files, target);
        rewrite.makeBackup();
        if (writes >= 0) {
            rewrite.begin();
            for (int i = 0; i < writes; ++i) {
                rewrite.write("partial ");
            }
        }
        EXPECT_TRUE(rewrite.restore());
        EXPECT_EQ(readFile(target), "the old content") << writes;
        EXPECT_EQ(readFile(rewrite.backupPath()), "the old content") << writes;
        std::filesystem::remove(rewrite.backupPath());
    }
}

} // namespace
} // namespace vornal::test
