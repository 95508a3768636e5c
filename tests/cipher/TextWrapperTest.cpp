// EncryptString / DecryptString and TextCipher: UTF-16LE text under the first 16 password
// characters, shown as upper-case hexadecimal.
#include "cipher/modAES.h"
#include "tests/support/RecordingMessages.h"

#include <gtest/gtest.h>

namespace vornal {
namespace {

using modAES::DecryptString;
using modAES::EncryptString;
using test::RecordingMessages;

// The framing of the UTF-16LE text under the UTF-16LE password, in upper-case hex; any text
// comes back. TextCipher, which keys itself once for many texts, gives the same results.
TEST(TextRoundTrip, AnyTextComesBackInEitherHexCaseAndOnly16PasswordCharactersCount) {
    AES aes;
    const ByteArray hi = aes.EncryptData(std::vector<std::uint8_t>{'H', 0, 'i', 0},
                                         std::vector<std::uint8_t>{'a', 0, 'b', 0});
    EXPECT_EQ(EncryptString(u"Hi", u"ab"), toHexUpper(*hi));
    RecordingMessages messages;
    const std::u16string password = u"p\u00e4ssw\u00f6rd 0123456-one";
    const std::u16string sameStart = u"p\u00e4ssw\u00f6rd 0123456-two";
    for (const std::u16string& text :
         {std::u16string(u"a"), std::u16string(u"Gr\u00fc\u00dfe \u20ac \u65e5\u672c\u8a9e"),
          std::u16string(u"emoji \U0001F600 tab\tcr\rlf\n"), std::u16string(u"nul\0in", 6),
          std::u16string(1000, u'z')}) {
        std::u16string ct = EncryptString(text, password);
        EXPECT_EQ(ct.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos);
        EXPECT_EQ(ct, EncryptString(text, sameStart));
        EXPECT_EQ(ct, TextCipher(password).encrypt(text));
        EXPECT_EQ(DecryptString(ct, sameStart, messages), text);
        EXPECT_EQ(TextCipher(sameStart).decrypt(ct).text, text);
        for (auto& c : ct) {
            c = static_cast<char16_t>(c >= u'A' && c <= u'F' ? c + 32 : c);
        }
        EXPECT_EQ(DecryptString(ct, password, messages), text);
    }
    EXPECT_TRUE(messages.boxes.empty());
    // The 16th character still counts.
    EXPECT_NE(EncryptString(u"t", u"p\u00e4ssw\u00f6rd 012345X"), EncryptString(u"t", password));
}

TEST(DecryptString, HexEdgeCases) {
    const std::u16string ct = EncryptString(u"secret", u"k");
    std::u16string notHex = ct;
    notHex[10] = u'G';
    struct Case {
        std::u16string hex;
        std::u16string password;
        bool invalidPassword; // else: empty without a message (malformed)
    };
    for (const auto& [hex, password, invalidPassword] : {
             Case{ct, u"wrong", true},
             Case{ct.substr(0, 62), u"k", true}, // whole bytes, not whole blocks
             Case{u"00", u"k", true},
             Case{ct.substr(0, 63), u"k", false}, // an odd count
             Case{u"A", u"k", false},
             Case{notHex, u"k", false},
             Case{ct + u" ", u"k", false},
             Case{u"", u"k", false},
             Case{ct, u"", false},
         }) {
        RecordingMessages messages;
        EXPECT_EQ(DecryptString(hex, password, messages), u"");
        if (!password.empty()) {
            EXPECT_EQ(TextCipher(password).decrypt(hex).outcome,
                      invalidPassword ? TextCipher::Outcome::InvalidPassword
                                      : TextCipher::Outcome::Malformed);
        }
        ASSERT_EQ(messages.boxes.size(), invalidPassword ? 1u : 0u) << hex.size();
        if (invalidPassword) {
            EXPECT_EQ(messages.boxes[0].prompt, u"Invalid password");
            EXPECT_EQ(messages.boxes[0].title, u"Error");
            EXPECT_EQ(messages.boxes[0].buttons, MsgButtons::Ok);
        }
    }
    EXPECT_EQ(EncryptString(u"", u"k"), u"");
    EXPECT_EQ(EncryptString(u"x", u""), u"");
    EXPECT_EQ(TextCipher(u"k").encrypt(u""), u"");
}

} // namespace
} // namespace vornal
