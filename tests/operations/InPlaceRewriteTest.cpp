// Rewriting a file in place: the old content is never lost and never overtaken.
#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace vornal::test
