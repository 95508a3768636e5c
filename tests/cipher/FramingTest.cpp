// EncryptData / DecryptData: a 4-byte little-endian length, the message, zero padding to
// whole 32-byte blocks, each block encrypted on its own.
#include "cipher/AES.h"

#include <gtest/gtest.h>
#include <random>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

// Every block of data through the raw cipher keyed as the framing keys itself.
Bytes eachBlock(const Bytes& password, Bytes data, bool encrypt) {
    AES aes;
    aes.keyWithPassword(password);
    for (std::size_t c = 0; c < data.size(); c += 32) {
        const std::span<std::uint8_t> block(data.data() + c, 32);
        encrypt ? aes.Encrypt(block) : aes.Decrypt(block);
    }
    return data;
}

TEST(Framing, LengthMessageAndLeastZeroPaddingForEveryLengthAroundTheBlocks) {
    std::mt19937 rng(7);
    const Bytes password = bytesOf("framing password");
    AES aes;
    for (std::size_t n = 1; n <= 131; ++n) {
        SCOPED_TRACE("length " + std::to_string(n));
        Bytes message(n);
        for (auto& b : message) {
            b = static_cast<std::uint8_t>(rng());
        }
        const ByteArray ct = aes.EncryptData(message, password);
        ASSERT_TRUE(ct);
        const Bytes framed = eachBlock(password, *ct, false);
        ASSERT_EQ(framed.size() % 32, 0u);
        ASSERT_LT(framed.size() - 4 - n, 32u); // the least padding that fills the block
        EXPECT_EQ(Bytes(framed.begin(), framed.begin() + 4),
                  (Bytes{static_cast<std::uint8_t>(n), 0, 0, 0}));
        EXPECT_EQ(Bytes(framed.begin() + 4, framed.begin() + 4 + static_cast<long>(n)), message);
        EXPECT_EQ(Bytes(framed.begin() + 4 + static_cast<long>(n), framed.end()),
                  Bytes(framed.size() - 4 - n, 0));
        EXPECT_EQ(aes.DecryptData(ct, password), message);
    }
}

TEST(Framing, EqualBlocksGiveEqualCiphertextButTheLengthChangesTheFirst) {
    Bytes message(28, 'a');
    message.insert(message.end(), 64, 'b');
    AES aes;
    const ByteArray ct = aes.EncryptData(message, bytesOf("ecb"));
    ASSERT_EQ(ct->size(), 96u);
    EXPECT_TRUE(std::equal(ct->begin() + 32, ct->begin() + 64, ct->begin() + 64));
    message.pop_back();
    const ByteArray shorter = aes.EncryptData(message, bytesOf("ecb"));
    EXPECT_FALSE(std::equal(ct->begin(), ct->begin() + 32, shorter->begin()));
}

TEST(Framing, TheKeyIsThePasswordsFirst32BytesZeroFilled) {
    const Bytes message = bytesOf("the message");
    Bytes longA(32, 0x31);
    Bytes longB = longA;
    longA.push_back(0xAA);
    longB.insert(longB.end(), {1, 2, 3});
    Bytes padded = bytesOf("short");
    padded.resize(32, 0);
    AES aes;
    EXPECT_EQ(aes.EncryptData(message, longA), aes.EncryptData(message, longB));
    EXPECT_EQ(aes.DecryptData(aes.EncryptData(message, longA), longB), message);
    EXPECT_EQ(aes.EncryptData(message, bytesOf("short")), aes.EncryptData(message, padded));
    EXPECT_EQ(aes.EncryptData(message, Bytes{}), aes.EncryptData(message, Bytes(32, 0)));
    EXPECT_NE(aes.EncryptData(message, Bytes{}), aes.EncryptData(message, padded));
}

TEST(Framing, AbsentEmptyAndPartBlockInputsGiveAbsent) {
    AES aes;
    const Bytes pw = bytesOf("pw");
    EXPECT_FALSE(aes.EncryptData(std::nullopt, pw));
    EXPECT_FALSE(aes.EncryptData(bytesOf("m"), std::nullopt));
    EXPECT_FALSE(aes.EncryptData(Bytes{}, pw));
    EXPECT_FALSE(aes.DecryptData(Bytes(32, 0), std::nullopt));
    EXPECT_FALSE(aes.DecryptData(std::nullopt, pw));
    Bytes ct = *aes.EncryptData(Bytes(40, 'x'), pw);
    for (const std::size_t n : {0u, 1u, 31u, 33u, 63u}) {
        EXPECT_FALSE(aes.DecryptData(Bytes(ct.begin(), ct.begin() + static_cast<long>(n)), pw))
            << n;
    }
}

TEST(Framing, OnlyLengthFieldsFrom1ToTMinus4AreAccepted) {
    const Bytes pw = bytesOf("forge");
    AES aes;
    struct Case {
        std::int32_t length;
        std::size_t blocks;
        bool accepted;
    };
    for (const auto [length, blocks, accepted] :
         {Case{0, 1, false}, Case{-1, 1, false}, Case{INT32_MIN, 1, false}, Case{29, 1, false},
          Case{61, 2, false}, Case{28, 1, true}, Case{60, 2, true}, Case{3, 1, true}}) {
        // The padding is not examined: 0x55 in it still decrypts.
        Bytes framed(32 * blocks, 0x55);
        for (int i = 0; i < 4; ++i) {
            framed[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(length) >> (8 * i));
        }
        const ByteArray plain = aes.DecryptData(eachBlock(pw, framed, true), pw);
        EXPECT_EQ(plain, accepted ? ByteArray(Bytes(static_cast<std::size_t>(length), 0x55))
                                  : std::nullopt)
            << length;
        EXPECT_EQ(AES::plausibleLength(length, 32 * blocks), accepted) << length;
    }
}

} // namespace
} // namespace vornal
