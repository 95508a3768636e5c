// The Rijndael block cipher (class AES) for every block and key length of 4, 6 and 8 words,
// and its framing: EncryptData / DecryptData, a 4-byte little-endian length, the message,
// zero padding to whole 32-byte blocks, each block encrypted on its own.
//
// Every expected ciphertext below is copied from a published source named next to it; none
// was produced by the code under test.
#include "cipher/AES.h"

#include "platform/RunError.h"
#include "tests/support/Hex.h"

#include <array>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::hex;

struct KnownAnswer {
    std::string name;
    int nb;
    int nk;
    Bytes key;
    Bytes plain;
    Bytes cipher;
};

std::vector<KnownAnswer> knownAnswers() {
    std::vector<KnownAnswer> out;
    // Brian Gladman's vectors for all block and key lengths: the "Correct Output (for
    // variable block size)" table of his aestst.cpp (Issue Date 15/01/2002), as distributed
    // in github.com/eliggett/Speak-Freely-Legacy, file aes/aestst.cpp. The key is the first
    // 4*Nk bytes of the hex digits of e, the plaintext the first 4*Nb bytes of those of pi.
    // The 6- and 8-word block values are also in Bouncy Castle's github.com/bcgit/bc-java,
    // core/src/test/java/org/bouncycastle/crypto/test/RijndaelTest.java.
    const Bytes e = hex("2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe");
    const Bytes pi = hex("3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8");
    const char* gladman[3][3] = {
        {"3925841d02dc09fbdc118597196a0b32", "f9fb29aefc384a250340d833b87ebc00",
         "1a6e6c2c662e7da6501ffb62bc9e93f3"},
        {"b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a",
         "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf",
         "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
        {"7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19",
         "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2",
         "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
    };
    for (int b = 0; b < 3; ++b) {
        for (int k = 0; k < 3; ++k) {
            const int nb = 4 + 2 * b;
            const int nk = 4 + 2 * k;
            out.push_back({"Gladman" + std::to_string(32 * nb) + "x" + std::to_string(32 * nk), nb,
                           nk, Bytes(e.begin(), e.begin() + 4 * nk),
                           Bytes(pi.begin(), pi.begin() + 4 * nb), hex(gladman[b][k])});
        }
    }
    // For the sizes this program uses, a second source: key 80 00 .. 00, plaintext all zero
    // (the first vector of the NESSIE Rijndael sets), from github.com/faest-sign/faest-ref,
    // tests/aes.cpp (test_rijndael256).
    Bytes bit(32, 0);
    bit[0] = 0x80;
    out.push_back({"Bit256x256", 8, 8, bit, Bytes(32, 0),
                   hex("e62abce069837b65309be4eda2c0e149fe56c07b7082d3287f592c4a4927a277")});
    return out;
}

// The object is keyed first with the largest sizes and another key, so the answers show
// too that a second gkey alone determines the result; bytes past the block stay as they are.
TEST(Rijndael, PublishedAnswersInBothDirections) {
    for (const KnownAnswer& v : knownAnswers()) {
        SCOPED_TRACE(v.name);
        AES aes;
        aes.gentables();
        aes.gkey(8, 8, Bytes(32, 0xA5));
        aes.gkey(v.nb, v.nk, v.key);
        const Bytes tail = {0xA5, 0x00, 0xFF, 0x5A, 0x01};
        Bytes buffer = v.plain;
        buffer.insert(buffer.end(), tail.begin(), tail.end());
        aes.Encrypt(buffer);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4 * v.nb), v.cipher);
        aes.Decrypt(buffer);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4 * v.nb), v.plain);
        EXPECT_EQ(Bytes(buffer.begin() + 4 * v.nb, buffer.end()), tail);
    }
}

// Sizes above 8 words, keys shorter than 4*nk bytes and buffers shorter than a block are
// error 9.
TEST(Rijndael, BadSizesAndShortBuffersAreError9) {
    const auto error = [](auto&& f) {
        try {
            f();
        } catch (const RunError& e) {
            return e.number();
        }
        return 0;
    };
    AES aes;
    aes.gentables();
    for (const auto [nb, nk, keyBytes] :
         {std::array{9, 4, 36}, std::array{4, 9, 36}, std::array{4, 8, 31}, std::array{8, 6, 23},
          std::array{4, 4, 0}}) {
        EXPECT_EQ(error([&] { aes.gkey(nb, nk, Bytes(static_cast<std::size_t>(keyBytes))); }), 9)
            << nb << " " << nk << " " << keyBytes;
    }
    for (const int nb : {4, 6, 8}) {
        aes.gkey(nb, 4, Bytes(16, 0x22));
        Bytes shortBuffer(4 * static_cast<std::size_t>(nb) - 1, 0x33);
        EXPECT_EQ(error([&] { aes.Encrypt(shortBuffer); }), 9) << nb;
        EXPECT_EQ(error([&] { aes.Decrypt(shortBuffer); }), 9) << nb;
    }
}

// --- Framing ------------------------------------------------------------------------

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

TEST(Framing, TheKeyIsThePasswordsFirst32BytesZeroFilled) {
    const Bytes m = bytesOf("the message");
    Bytes longer(32, 0x31);
    longer.push_back(0xAA);
    Bytes padded = bytesOf("short");
    padded.resize(32, 0);
    AES aes;
    EXPECT_EQ(aes.DecryptData(aes.EncryptData(m, longer), Bytes(32, 0x31)), m);
    EXPECT_EQ(aes.EncryptData(m, bytesOf("short")), aes.EncryptData(m, padded));
    EXPECT_EQ(aes.EncryptData(m, Bytes{}), aes.EncryptData(m, Bytes(32, 0)));
    EXPECT_NE(aes.EncryptData(m, Bytes{}), aes.EncryptData(m, padded));
}

// Absent inputs, an empty message, part blocks and length fields outside 1..T-4 give
// absent; the padding is not examined.
TEST(Framing, WhatCannotBeFramedOrUnframedIsAbsent) {
    AES aes;
    const Bytes pw = bytesOf("pw");
    EXPECT_FALSE(aes.EncryptData(std::nullopt, pw));
    EXPECT_FALSE(aes.EncryptData(bytesOf("m"), std::nullopt));
    EXPECT_FALSE(aes.EncryptData(Bytes{}, pw));
    EXPECT_FALSE(aes.DecryptData(Bytes(32, 0), std::nullopt));
    EXPECT_FALSE(aes.DecryptData(std::nullopt, pw));
    const Bytes ct = *aes.EncryptData(Bytes(40, 'x'), pw);
    for (const long n : {0, 1, 31, 33, 63}) {
        EXPECT_FALSE(aes.DecryptData(Bytes(ct.begin(), ct.begin() + n), pw)) << n;
    }
    struct Case {
        std::int32_t length;
        int blocks;
        bool accepted;
    };
    for (const auto [length, blocks, accepted] :
         {Case{0, 1, false}, Case{-1, 1, false}, Case{INT32_MIN, 1, false}, Case{29, 1, false},
          Case{61, 2, false}, Case{28, 1, true}, Case{60, 2, true}, Case{3, 1, true}}) {
        Bytes framed(32 * static_cast<std::size_t>(blocks), 0x55);
        for (int i = 0; i < 4; ++i) {
            framed[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(length) >> (8 * i));
        }
        EXPECT_EQ(aes.DecryptData(eachBlock(pw, framed, true), pw),
                  accepted ? ByteArray(Bytes(static_cast<std::size_t>(length), 0x55))
                           : std::nullopt)
            << length;
    }
}

} // namespace
} // namespace vornal
