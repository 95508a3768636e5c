// EncryptString / DecryptString: UTF-16LE text under the first 16 password characters,
// shown as upper-case hexadecimal.
#include "cipher/modAES.h"
#include "tests/support/RecordingMessages.h"

#include <gtest/gtest.h>
#include <random>

namespace vornal {
namespace {

using modAES::DecryptString;
using modAES::EncryptString;
using test::RecordingMessages;

std::u16string repeat(char16_t c, std::size_t n) {
    return std::u16string(n, c);
}

bool isUpperHex(const std::u16string& s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
    });
}

TEST(EncryptString, LengthFollowsTextLength) {
    struct Case {
        std::size_t chars;
        std::size_t hex;
    };
    for (auto [chars, hex] : {Case{1, 64}, Case{14, 64}, Case{15, 128}, Case{30, 128},
                              Case{31, 192}, Case{46, 192}, Case{47, 256}}) {
        const std::u16string ct = EncryptString(repeat(u'x', chars), u"key");
        EXPECT_EQ(ct.size(), hex) << chars << " characters";
        EXPECT_TRUE(isUpperHex(ct));
    }
}

TEST(EncryptString, IsTheHexOfFramedUtf16leBytesUnderTheKeyBytes) {
    // An ASCII password c1..ck gives the key c1 00 c2 00 ... ck 00 then zeros.
    const std::u16string ct = EncryptString(u"Hi", u"ab");
    const ByteArray bytes = parseHexPairs(ct);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 32u);
    std::array<std::uint8_t, 32> key{'a', 0, 'b', 0};
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, key);
    std::vector<std::uint8_t> block = *bytes;
    aes.Decrypt(block);
    const std::vector<std::uint8_t> expected = {4, 0, 0, 0, 'H', 0, 'i', 0};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block.begin()));
    EXPECT_TRUE(std::all_of(block.begin() + 8, block.end(), [](auto b) { return b == 0; }));
}

TEST(TextRoundTrip, AnyTextComesBackExactly) {
    RecordingMessages messages;
    const std::u16string texts[] = {
        u"a",
        u"hello world",
        u"Gr\u00fc\u00dfe, \u00e9t\u00e9 \u20ac 100",
        u"\u65e5\u672c\u8a9e\u306e\u6587\u7ae0",
        u"emoji \U0001F600 and \U0001D11E clef",
        u"tab\tcr\rlf\n",
        std::u16string(u"nul\0inside", 10),
        repeat(u'z', 1000),
    };
    for (const auto& text : texts) {
        const std::u16string ct = EncryptString(text, u"p\u00e4ssw\u00f6rd");
        ASSERT_FALSE(ct.empty());
        EXPECT_EQ(DecryptString(ct, u"p\u00e4ssw\u00f6rd", messages), text);
    }
    EXPECT_TRUE(messages.boxes.empty());
}

TEST(TextRoundTrip, LowerCaseHexIsAccepted) {
    RecordingMessages messages;
    std::u16string ct = EncryptString(u"mixed Case", u"k");
    for (auto& c : ct) {
        if (c >= u'A' && c <= u'F') {
            c = static_cast<char16_t>(c + 32);
        }
    }
    EXPECT_EQ(DecryptString(ct, u"k", messages), u"mixed Case");
}

TEST(TextRoundTrip, PasswordsSharingTheirFirst16CharactersAreInterchangeable) {
    RecordingMessages messages;
    const std::u16string a = u"0123456789abcdefTAIL-ONE";
    const std::u16string b = u"0123456789abcdefother tail";
    EXPECT_EQ(EncryptString(u"text", a), EncryptString(u"text", b));
    EXPECT_EQ(DecryptString(EncryptString(u"text", a), b, messages), u"text");
    // The 16th character still counts.
    EXPECT_NE(EncryptString(u"text", u"0123456789abcdeX"), EncryptString(u"text", a));
}

TEST(DecryptString, WrongPasswordShowsInvalidPasswordOnce) {
    RecordingMessages messages;
    const std::u16string ct = EncryptString(u"secret", u"right");
    EXPECT_EQ(DecryptString(ct, u"wrong", messages), u"");
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].prompt, u"Invalid password");
    EXPECT_EQ(messages.boxes[0].title, u"Error");
    EXPECT_EQ(messages.boxes[0].buttons, MsgButtons::Ok);
}

TEST(DecryptString, MalformedHexGivesEmptyWithoutAMessage) {
    RecordingMessages messages;
    const std::u16string ct = EncryptString(u"secret", u"k");
    std::u16string bad = ct;
    bad[10] = u'G';
    EXPECT_EQ(DecryptString(ct.substr(0, 63), u"k", messages), u"");
    EXPECT_EQ(DecryptString(bad, u"k", messages), u"");
    EXPECT_EQ(DecryptString(u"A", u"k", messages), u"");
    EXPECT_EQ(DecryptString(ct + u" ", u"k", messages), u"");
    EXPECT_TRUE(messages.boxes.empty());
}

TEST(DecryptString, WholeBytesThatAreNotWholeBlocksAreAnInvalidPassword) {
    RecordingMessages messages;
    const std::u16string ct = EncryptString(u"secret", u"k");
    EXPECT_EQ(DecryptString(ct.substr(0, 62), u"k", messages), u"");
    EXPECT_EQ(DecryptString(u"00", u"k", messages), u"");
    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(messages.boxes[1].prompt, u"Invalid password");
}

TEST(TextWrappers, EmptyTextOrPasswordGivesEmptyAtOnce) {
    RecordingMessages messages;
    const std::u16string ct = EncryptString(u"x", u"k");
    EXPECT_EQ(EncryptString(u"", u"k"), u"");
    EXPECT_EQ(EncryptString(u"x", u""), u"");
    EXPECT_EQ(DecryptString(u"", u"k", messages), u"");
    EXPECT_EQ(DecryptString(ct, u"", messages), u"");
    EXPECT_TRUE(messages.boxes.empty());
}

TEST(TextCipher, AgreesWithTheOneShotWrappers) {
    std::mt19937 rng(11);
    const TextCipher cipher(u"shared key \u00e5");
    RecordingMessages messages;
    for (int n = 1; n < 60; ++n) {
        std::u16string text(static_cast<std::size_t>(n), u'\0');
        for (auto& c : text) {
            c = static_cast<char16_t>(rng() % 0xD7FF + 1);
        }
        const std::u16string ct = cipher.encrypt(text);
        EXPECT_EQ(ct, EncryptString(text, u"shared key \u00e5"));
        const auto back = cipher.decrypt(ct);
        EXPECT_EQ(back.outcome, TextCipher::Outcome::Text);
        EXPECT_EQ(back.text, text);
    }
    EXPECT_EQ(cipher.encrypt(u""), u"");
    EXPECT_EQ(cipher.decrypt(u"0").outcome, TextCipher::Outcome::Malformed);
    EXPECT_EQ(cipher.decrypt(EncryptString(u"x", u"other")).outcome,
              TextCipher::Outcome::InvalidPassword);
}

} // namespace
} // namespace vornal
