// The encrypted file format's definition, which the fuzzer checks the engine against: parts,
// the marker line and blank trimming. How a text splits into fields, and each piece's size,
// show in the exact bytes the engine and a file run write.
#include "operations/FileFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {
namespace {

using ::testing::ElementsAre;

TEST(SplitParts, OnlyAColonFollowedByACarriageReturnSplits) {
    EXPECT_THAT(splitParts("AB:\rCD:\r"), ElementsAre("AB", "CD", ""));
    EXPECT_THAT(splitParts(":\r:\r"), ElementsAre("", "", ""));
    EXPECT_THAT(splitParts("AB:\rtail"), ElementsAre("AB", "tail"));
    EXPECT_THAT(splitParts("A::\r"), ElementsAre("A:", ""));
    EXPECT_THAT(splitParts("A:B\rC\r:D:\n"), ElementsAre("A:B\rC\r:D:\n"));
    EXPECT_THAT(splitParts(""), ElementsAre(""));
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

// The byte form trims the marker's surroundings above.
TEST(TrimBlanks, TrimsBlanksOnlyAtBothEnds) {
    EXPECT_EQ(trimBlanks(std::u16string_view(u" \t\r\u3000x\u00a0 \u4e2d\r ")),
              u"\t\r\u3000x\u00a0 \u4e2d\r");
    EXPECT_EQ(trimBlanks(std::u16string_view(u"  ")), u"");
}

} // namespace
} // namespace vornal
