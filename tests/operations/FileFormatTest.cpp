// The encrypted file format: parts, sizes, the marker line and blank trimming. How a text
// splits into fields shows in the exact bytes a file run writes.
#include "operations/FileFormat.h"

#include "cipher/modAES.h"
#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {
namespace {

using ::testing::ElementsAre;

// The piece the real cipher gives for a field: its hexadecimal ciphertext, ":" and CR.
std::string pieceOf(std::string_view field) {
    return utf16ToUtf8(modAES::EncryptString(decodeWindows1252(field), u"piece key")) + ":\r";
}

TEST(SplitParts, OnlyAColonFollowedByACarriageReturnSplits) {
    EXPECT_THAT(splitParts("AB:\rCD:\r"), ElementsAre("AB", "CD", ""));
    EXPECT_THAT(splitParts(":\r:\r"), ElementsAre("", "", ""));
    EXPECT_THAT(splitParts("AB:\rtail"), ElementsAre("AB", "tail"));
    EXPECT_THAT(splitParts("A::\r"), ElementsAre("A:", ""));
    EXPECT_THAT(splitParts("A:B\rC\r:D:\n"), ElementsAre("A:B\rC\r:D:\n"));
    EXPECT_THAT(splitParts(""), ElementsAre(""));
}

// Fourteen characters still fit one block with the framing; fifteen need two.
TEST(PieceSize, IsTheSizeOfWhatTheRealCipherWrites) {
    for (std::size_t n : {0u, 1u, 14u, 15u, 30u, 31u}) {
        EXPECT_EQ(pieceSize(n), pieceOf(std::string(n, 'x')).size()) << n << " characters";
    }
}

TEST(WithoutMarker, RemovesEveryMarkerInOnePassFromTheStartThenTrimsBlanks) {
    const std::string m(kMarkerLine);
    EXPECT_EQ(withoutMarker("  head " + m + " mid" + m + m + "tail  " + m + "  "), "head  midtail");
    EXPECT_EQ(withoutMarker(m), "");
    EXPECT_EQ(withoutMarker(" \r\tA:\r" + m + "\r\n "), "\r\tA:\r\r\n");
    // Removing the inner marker joins its two halves into a marker that stays.
    EXPECT_EQ(withoutMarker(m.substr(0, 20) + m + m.substr(20)), m);
    std::string otherCase = m;
    otherCase[otherCase.find('V')] = 'v';
    EXPECT_EQ(withoutMarker("A" + otherCase), "A" + otherCase);
}

TEST(TrimBlanks, TrimsBlanksOnlyAtBothEnds) {
    EXPECT_EQ(trimBlanks(std::string_view(" \t\r\na  b\r ")), "\t\r\na  b\r");
    EXPECT_EQ(trimBlanks(std::string_view("   ")), "");
    EXPECT_EQ(trimBlanks(std::u16string_view(u" \t\r\u3000x\u00a0 \u4e2d\r ")),
              u"\t\r\u3000x\u00a0 \u4e2d\r");
    EXPECT_EQ(trimBlanks(std::u16string_view(u"  ")), u"");
}

} // namespace
} // namespace vornal
