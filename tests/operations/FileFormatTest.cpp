// The encrypted file format: fields, parts, sizes, the marker line and blank trimming.
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

using Pieces = std::vector<std::string_view>;

// The piece the real cipher gives for a field: its hexadecimal ciphertext, ":" and CR.
std::string pieceOf(std::string_view field) {
    return utf16ToUtf8(modAES::EncryptString(decodeWindows1252(field), u"piece key")) + ":\r";
}

TEST(SplitFields, EveryBlankSplitsAndAdjacentBlanksGiveEmptyFields) {
    EXPECT_THAT(splitFields("one two"), ElementsAre("one", "two"));
    EXPECT_THAT(splitFields("a  b"), ElementsAre("a", "", "b"));
    EXPECT_THAT(splitFields(" a "), ElementsAre("", "a", ""));
    EXPECT_THAT(splitFields("   "), ElementsAre("", "", "", ""));
}

TEST(SplitFields, LineEndsAndTabsDoNotSplit) {
    EXPECT_THAT(splitFields("a\r\nb\tc d\n"), ElementsAre("a\r\nb\tc", "d\n"));
}

TEST(SplitFields, EmptyTextIsOneEmptyField) {
    EXPECT_EQ(splitFields(""), Pieces{""});
}

TEST(SplitParts, NPiecesGiveNPlusOnePartsTheLastEmpty) {
    EXPECT_THAT(splitParts("AB:\rCD:\r"), ElementsAre("AB", "CD", ""));
    EXPECT_THAT(splitParts(":\r:\r"), ElementsAre("", "", ""));
    EXPECT_THAT(splitParts("AB:\rtail"), ElementsAre("AB", "tail"));
    EXPECT_THAT(splitParts("A::\r"), ElementsAre("A:", ""));
}

TEST(SplitParts, AColonOrACarriageReturnAloneDoesNotSplit) {
    EXPECT_EQ(splitParts("A:B\rC\r:D:\n"), Pieces{"A:B\rC\r:D:\n"});
    EXPECT_EQ(splitParts(":"), Pieces{":"});
    EXPECT_EQ(splitParts("\r"), Pieces{"\r"});
    EXPECT_EQ(splitParts(""), Pieces{""});
}

TEST(PieceSize, MatchesTheRealCipherAcrossBlockBoundaries) {
    for (std::size_t n : {0u, 1u, 14u, 15u, 30u, 31u}) {
        const std::string field(n, 'x');
        EXPECT_EQ(pieceSize(n), pieceOf(field).size()) << n << " characters";
    }
    // Fourteen characters still fit one block with the framing; fifteen need two.
    EXPECT_EQ(pieceSize(14), 66u);
    EXPECT_EQ(pieceSize(15), 130u);
    EXPECT_EQ(pieceSize(30), 130u);
    EXPECT_EQ(pieceSize(31), 194u);
}

TEST(EncryptedSize, IsTheSizeOfTheRealPiecesAndTheMarker) {
    const std::string a14(14, 'a');
    const std::string b31(31, 'b');
    const std::string text = " " + a14 + " \xE9\r\n  " + b31 + " z";
    std::string encrypted;
    for (const std::string& field :
         {std::string(), a14, std::string("\xE9\r\n"), std::string(), b31, std::string("z")}) {
        encrypted += pieceOf(field);
    }
    encrypted += kMarkerLine;
    EXPECT_EQ(encryptedSize(text), encrypted.size());
    EXPECT_EQ(encryptedSize(""), 2 + kMarkerLine.size());
}

TEST(WithoutMarker, RemovesEveryOccurrenceThenTrimsBlanksAtTheEnds) {
    const std::string m(kMarkerLine);
    EXPECT_EQ(withoutMarker("  head " + m + " mid" + m + m + "tail  " + m + "  "), "head  midtail");
    EXPECT_EQ(withoutMarker(m), "");
    EXPECT_EQ(withoutMarker("no marker"), "no marker");
}

TEST(WithoutMarker, IsOnePassFromTheStart) {
    // Removing the inner marker joins its two halves into a marker that stays.
    const std::string m(kMarkerLine);
    const std::string head = m.substr(0, 20);
    const std::string tail = m.substr(20);
    EXPECT_EQ(withoutMarker(head + m + tail), m);
}

TEST(WithoutMarker, KeepsCarriageReturnsAndOtherWhiteSpace) {
    const std::string m(kMarkerLine);
    EXPECT_EQ(withoutMarker(" \r\tA:\r" + m + "\r\n "), "\r\tA:\r\r\n");
}

TEST(WithoutMarker, AMarkerWithOneLetterInAnotherCaseIsText) {
    std::string changed(kMarkerLine);
    const std::size_t v = changed.find('V');
    ASSERT_NE(v, std::string::npos);
    changed[v] = 'v';
    EXPECT_EQ(withoutMarker("A" + changed), "A" + changed);
}

TEST(TrimBlanks, TrimsBlanksOnlyAtBothEnds) {
    EXPECT_EQ(trimBlanks(std::string_view("  a  b  ")), "a  b");
    EXPECT_EQ(trimBlanks(std::string_view(" \t\r\na\r ")), "\t\r\na\r");
    EXPECT_EQ(trimBlanks(std::string_view("   ")), "");
    EXPECT_EQ(trimBlanks(std::string_view("")), "");
    EXPECT_EQ(trimBlanks(std::u16string_view(u"  \u00e9 \u4e2d\t ")), u"\u00e9 \u4e2d\t");
    EXPECT_EQ(trimBlanks(std::u16string_view(u" \t\r\u3000x\u00a0\r ")), u"\t\r\u3000x\u00a0\r");
    EXPECT_EQ(trimBlanks(std::u16string_view(u"  ")), u"");
}

} // namespace
} // namespace vornal
