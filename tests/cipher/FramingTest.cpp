// The framed layout of EncryptData / DecryptData: a 4-byte little-endian length, the
// message, zero padding to whole 32-byte blocks, each block encrypted on its own.
#include "cipher/AES.h"

#include <gtest/gtest.h>
#include <numeric>
#include <random>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

Bytes sequence(std::size_t n, std::uint8_t start = 1) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), start);
    return b;
}

// A raw cipher keyed the way the framing keys itself.
AES rawCipher(const Bytes& password) {
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, AES::keyFromPassword(password));
    return aes;
}

Bytes decryptBlocks(const Bytes& password, Bytes data) {
    const AES aes = rawCipher(password);
    for (std::size_t c = 0; c < data.size(); c += 32) {
        aes.Decrypt(std::span<std::uint8_t>(data.data() + c, 32));
    }
    return data;
}

Bytes encryptBlocks(const Bytes& password, Bytes data) {
    const AES aes = rawCipher(password);
    for (std::size_t c = 0; c < data.size(); c += 32) {
        aes.Encrypt(std::span<std::uint8_t>(data.data() + c, 32));
    }
    return data;
}

struct LayoutCase {
    std::size_t messageLength;
    std::size_t cipherLength;
};

class FramingLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FramingLayout, LengthFieldMessageAndZeroPadding) {
    const auto [n, expectedT] = GetParam();
    const Bytes password = bytesOf("framing password");
    const Bytes message = sequence(n);
    AES aes;
    const ByteArray ct = aes.EncryptData(message, password);
    ASSERT_TRUE(ct.has_value());
    ASSERT_EQ(ct->size(), expectedT);

    const Bytes framed = decryptBlocks(password, *ct);
    EXPECT_EQ(framed[0], static_cast<std::uint8_t>(n));
    EXPECT_EQ(framed[1], 0);
    EXPECT_EQ(framed[2], 0);
    EXPECT_EQ(framed[3], 0);
    EXPECT_EQ(Bytes(framed.begin() + 4, framed.begin() + 4 + static_cast<long>(n)), message);
    for (std::size_t i = 4 + n; i < framed.size(); ++i) {
        EXPECT_EQ(framed[i], 0) << "padding byte " << i;
    }
    EXPECT_EQ(aes.DecryptData(ct, password), message);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FramingLayout,
                         ::testing::Values(LayoutCase{1, 32}, LayoutCase{5, 32}, LayoutCase{28, 32},
                                           LayoutCase{29, 64}, LayoutCase{60, 64},
                                           LayoutCase{61, 96}, LayoutCase{100, 128}));

TEST(Framing, RoundTripsEveryLengthAroundBlockBoundaries) {
    std::mt19937 rng(7);
    const Bytes password = bytesOf("p");
    for (std::size_t n = 1; n <= 131; ++n) {
        Bytes message(n);
        for (auto& b : message) {
            b = static_cast<std::uint8_t>(rng());
        }
        AES aes;
        const ByteArray ct = aes.EncryptData(message, password);
        ASSERT_TRUE(ct);
        EXPECT_EQ(ct->size(), (n + 4 + 31) / 32 * 32);
        EXPECT_EQ(aes.DecryptData(ct, password), message) << "length " << n;
    }
}

TEST(Framing, BlocksAreEncryptedIndependently) {
    // Bytes 32..63 and 64..95 of the framed text are equal, so their ciphertexts are too.
    Bytes message(28, 'a');
    message.insert(message.end(), 32, 'b');
    message.insert(message.end(), 32, 'b');
    const Bytes password = bytesOf("ecb");
    AES aes;
    const ByteArray ct = aes.EncryptData(message, password);
    ASSERT_TRUE(ct);
    ASSERT_EQ(ct->size(), 96u);
    EXPECT_TRUE(std::equal(ct->begin() + 32, ct->begin() + 64, ct->begin() + 64));
    // The first block carries the length, so messages of other lengths differ there.
    Bytes shorter(message.begin(), message.end() - 1);
    const ByteArray ct2 = aes.EncryptData(shorter, password);
    EXPECT_FALSE(std::equal(ct->begin(), ct->begin() + 32, ct2->begin()));
}

TEST(Framing, OnlyTheFirst32PasswordBytesCount) {
    const Bytes message = bytesOf("the message");
    Bytes longA = sequence(32);
    Bytes longB = longA;
    longA.push_back(0xAA);
    longB.insert(longB.end(), {1, 2, 3});
    AES aes;
    EXPECT_EQ(aes.EncryptData(message, longA), aes.EncryptData(message, longB));
    EXPECT_EQ(aes.DecryptData(aes.EncryptData(message, longA), longB), message);

    Bytes shortPw = bytesOf("short");
    Bytes padded = shortPw;
    padded.resize(32, 0);
    EXPECT_EQ(aes.EncryptData(message, shortPw), aes.EncryptData(message, padded));

    // A present but empty password is the all-zero key.
    EXPECT_EQ(aes.EncryptData(message, Bytes{}), aes.EncryptData(message, Bytes(32, 0)));
    EXPECT_NE(aes.EncryptData(message, Bytes{}), aes.EncryptData(message, shortPw));
}

TEST(Framing, AbsentAndEmptyInputsGiveAbsent) {
    AES aes;
    const Bytes pw = bytesOf("pw");
    EXPECT_FALSE(aes.EncryptData(std::nullopt, pw));
    EXPECT_FALSE(aes.EncryptData(bytesOf("m"), std::nullopt));
    EXPECT_FALSE(aes.EncryptData(Bytes{}, pw));
    EXPECT_FALSE(aes.DecryptData(std::nullopt, pw));
    EXPECT_FALSE(aes.DecryptData(Bytes(32, 0), std::nullopt));
    EXPECT_FALSE(aes.DecryptData(Bytes{}, pw));
}

TEST(Framing, CiphertextLengthsNotAMultipleOf32AreRefused) {
    AES aes;
    const Bytes pw = bytesOf("pw");
    const ByteArray ct = aes.EncryptData(bytesOf("hello"), pw);
    ASSERT_TRUE(ct);
    for (std::size_t n : {1u, 31u, 33u, 63u}) {
        Bytes cut = *ct;
        cut.resize(n, 0);
        EXPECT_FALSE(aes.DecryptData(cut, pw)) << n;
    }
}

TEST(Framing, WrongPasswordGivesAbsentPracticallyAlways) {
    AES aes;
    const ByteArray ct = aes.EncryptData(bytesOf("some secret words"), bytesOf("right"));
    int absent = 0;
    for (int i = 0; i < 200; ++i) {
        absent += !aes.DecryptData(ct, bytesOf("wrong" + std::to_string(i))).has_value();
    }
    // A wrong key passes the length check with chance (T - 4) / 2^32.
    EXPECT_EQ(absent, 200);
}

TEST(Framing, ImplausibleLengthFieldsAreRefused) {
    const Bytes pw = bytesOf("forge");
    AES aes;
    auto forged = [&](std::int32_t length, std::size_t blocks) {
        Bytes framed(32 * blocks, 0x55);
        const auto u = static_cast<std::uint32_t>(length);
        for (int i = 0; i < 4; ++i) {
            framed[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
        }
        return aes.DecryptData(encryptBlocks(pw, framed), pw);
    };
    EXPECT_FALSE(forged(0, 1));
    EXPECT_FALSE(forged(-1, 1));
    EXPECT_FALSE(forged(INT32_MIN, 1));
    EXPECT_FALSE(forged(29, 1));
    EXPECT_FALSE(forged(61, 2));
    ASSERT_TRUE(forged(28, 1));
    EXPECT_EQ(forged(28, 1)->size(), 28u);
    EXPECT_EQ(forged(60, 2)->size(), 60u);
    // The padding is not examined: non-zero padding still decrypts.
    EXPECT_EQ(*forged(3, 1), Bytes(3, 0x55));
}

} // namespace
} // namespace vornal
