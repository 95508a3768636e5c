// Known-answer and property tests of the Rijndael block cipher (class AES) for every block
// and key length of 4, 6 and 8 words.
//
// Every expected ciphertext below is copied from a published source named next to it; none
// was produced by the code under test.
#include "cipher/AES.h"
#include "platform/RunError.h"
#include "tests/support/Hex.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::hex;

// A cipher with its tables built and KEY expanded for nb-word blocks.
AES keyed(int nb, int nk, const Bytes& key) {
    AES aes;
    aes.gentables();
    aes.gkey(nb, nk, key);
    return aes;
}

// The number of the RunError that f throws, or nothing when it throws none.
template <typename F>
std::optional<int> runErrorOf(F&& f) {
    try {
        f();
    } catch (const RunError& e) {
        return e.number();
    }
    return std::nullopt;
}

// A schedule word (row 0 in the low byte) written the way FIPS-197 prints words.
std::uint32_t asPrinted(std::uint32_t w) {
    return (w & 0xFF) << 24 | (w >> 8 & 0xFF) << 16 | (w >> 16 & 0xFF) << 8 | w >> 24;
}

constexpr int kSizes[] = {4, 6, 8};

struct KnownAnswer {
    std::string name;
    int nb;
    int nk;
    Bytes key;
    Bytes plain;
    Bytes cipher;
};

void PrintTo(const KnownAnswer& v, std::ostream* os) {
    *os << v.name << " (Nb=" << v.nb << ", Nk=" << v.nk << ")";
}

// FIPS-197, Advanced Encryption Standard (NIST, 26 November 2001), Appendix C "Example
// Vectors", C.1 AES-128, C.2 AES-192, C.3 AES-256. (The 2023 update, FIPS 197-upd1, moved
// these examples to the NIST CSRC "examples with intermediate values" page.)
std::vector<KnownAnswer> fips197Vectors() {
    const Bytes plain = hex("00112233445566778899aabbccddeeff");
    return {
        {"C1", 4, 4, hex("000102030405060708090a0b0c0d0e0f"), plain,
         hex("69c4e0d86a7b0430d8cdb78070b4c55a")},
        {"C2", 4, 6, hex("000102030405060708090a0b0c0d0e0f1011121314151617"), plain,
         hex("dda97ca4864cdfe06eaf70a0ec0d7191")},
        {"C3", 4, 8, hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"), plain,
         hex("8ea2b7ca516745bfeafc49904b496089")},
    };
}

// Brian Gladman's Rijndael vectors for all block and key lengths: the "Correct Output (for
// variable block size)" table of his aestst.cpp (Issue Date 15/01/2002), as distributed in
// github.com/eliggett/Speak-Freely-Legacy, file aes/aestst.cpp. The key is the first 4*Nk
// bytes of the hex digits of e and the plaintext the first 4*Nb bytes of the hex digits of
// pi (his arrays exh and pih). The 6- and 8-word block values are also listed in Bouncy
// Castle's github.com/bcgit/bc-java, core/src/test/java/org/bouncycastle/crypto/test/
// RijndaelTest.java.
std::vector<KnownAnswer> gladmanVectors() {
    const Bytes e = hex("2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe");
    const Bytes pi = hex("3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8");
    struct Row {
        int nb;
        int nk;
        const char* cipher;
    };
    const Row rows[] = {
        {4, 4, "3925841d02dc09fbdc118597196a0b32"},
        {4, 6, "f9fb29aefc384a250340d833b87ebc00"},
        {4, 8, "1a6e6c2c662e7da6501ffb62bc9e93f3"},
        {6, 4, "b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a"},
        {6, 6, "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf"},
        {6, 8, "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
        {8, 4, "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
        {8, 6, "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2"},
        {8, 8, "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
    };
    std::vector<KnownAnswer> out;
    for (const Row& r : rows) {
        out.push_back({"Block" + std::to_string(32 * r.nb) + "Key" + std::to_string(32 * r.nk),
                       r.nb, r.nk, Bytes(e.begin(), e.begin() + 4 * r.nk),
                       Bytes(pi.begin(), pi.begin() + 4 * r.nb), hex(r.cipher)});
    }
    return out;
}

// Key 80 00 .. 00, plaintext all zero (the first vector of the NESSIE Rijndael sets).
//  - Nb=6/Nk=6 and Nb=8/Nk=8: github.com/faest-sign/faest-ref, tests/aes.cpp
//    (test_rijndael192, test_rijndael256).
//  - Nb=4/Nk=8 and Nb=6/Nk=8: github.com/ircmaxell/PHP-PasswordLib,
//    test/Unit/Cipher/Block/Cipher/RijndaelTest.php ('rijndael-128', 'rijndael-192').
std::vector<KnownAnswer> singleBitKeyVectors() {
    const auto key = [](int nk) {
        Bytes k(4 * static_cast<std::size_t>(nk), 0);
        k[0] = 0x80;
        return k;
    };
    const auto zero = [](int nb) { return Bytes(4 * static_cast<std::size_t>(nb), 0); };
    return {
        {"Block128Key256", 4, 8, key(8), zero(4), hex("e35a6dcb19b201a01ebcfa8aa22b5759")},
        {"Block192Key192", 6, 6, key(6), zero(6),
         hex("564d36fdeb8bf7e275f010b2f5ee69cfeae67ea0e37e3209")},
        {"Block192Key256", 6, 8, key(8), zero(6),
         hex("06eb844dec23f29f029be85fdce578cec5c663ce0c70403c")},
        {"Block256Key256", 8, 8, key(8), zero(8),
         hex("e62abce069837b65309be4eda2c0e149fe56c07b7082d3287f592c4a4927a277")},
    };
}

class RijndaelKnownAnswer : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(RijndaelKnownAnswer, EncryptGivesCiphertextAndDecryptGivesPlaintext) {
    const KnownAnswer& v = GetParam();
    const AES aes = keyed(v.nb, v.nk, v.key);
    Bytes block = v.plain;
    aes.Encrypt(block);
    EXPECT_EQ(block, v.cipher);
    block = v.cipher;
    aes.Decrypt(block);
    EXPECT_EQ(block, v.plain);
}

TEST_P(RijndaelKnownAnswer, BytesPastTheBlockAreLeftAlone) {
    const KnownAnswer& v = GetParam();
    const AES aes = keyed(v.nb, v.nk, v.key);
    const Bytes tail = {0xA5, 0x00, 0xFF, 0x5A, 0x01, 0x80, 0x7E};
    const auto withTail = [&](const Bytes& block) {
        Bytes b = block;
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    Bytes buffer = withTail(v.plain);
    aes.Encrypt(buffer);
    EXPECT_EQ(buffer, withTail(v.cipher));
    aes.Decrypt(buffer);
    EXPECT_EQ(buffer, withTail(v.plain));
}

std::string vectorName(const ::testing::TestParamInfo<KnownAnswer>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Fips197AppendixC, RijndaelKnownAnswer,
                         ::testing::ValuesIn(fips197Vectors()), vectorName);
INSTANTIATE_TEST_SUITE_P(Gladman, RijndaelKnownAnswer, ::testing::ValuesIn(gladmanVectors()),
                         vectorName);
INSTANTIATE_TEST_SUITE_P(SingleBitKey, RijndaelKnownAnswer,
                         ::testing::ValuesIn(singleBitKeyVectors()), vectorName);

TEST(AesTables, GentablesFillsTheTables) {
    AES aes;
    EXPECT_EQ(aes.forwardSbox()[0], 0); // the constructor leaves the tables zero
    aes.gentables();
    EXPECT_EQ(aes.forwardSbox()[0], 0x63);
    EXPECT_EQ(aes.forwardSbox()[1], 0x7C);
    EXPECT_EQ(aes.forwardSbox()[0x53], 0xED); // FIPS-197 section 5.1.1 example
    EXPECT_EQ(aes.inverseSbox()[0x63], 0);
    EXPECT_EQ(aes.logTable()[1], 255);
    EXPECT_EQ(aes.forwardTable()[0], 0xA56363C6u);
    EXPECT_EQ(aes.inverseTable()[0], 0x50A7F451u);
}

TEST(AesTables, InverseSboxUndoesSbox) {
    AES aes;
    aes.gentables();
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(aes.inverseSbox()[aes.forwardSbox()[i]], i) << "byte " << i;
    }
}

TEST(AesKeySchedule, RoundCountsForEveryBlockAndKeyLength) {
    const int expected[3][3] = {{10, 12, 14}, {12, 12, 14}, {14, 14, 14}};
    const Bytes key(32, 0x42);
    for (int b = 0; b < 3; ++b) {
        for (int k = 0; k < 3; ++k) {
            const AES aes = keyed(kSizes[b], kSizes[k], key);
            EXPECT_EQ(aes.rounds(), expected[b][k]) << "Nb=" << kSizes[b] << " Nk=" << kSizes[k];
            EXPECT_EQ(aes.blockWords(), kSizes[b]);
            EXPECT_EQ(aes.keyWords(), kSizes[k]);
        }
    }
}

// The 256-bit key of FIPS-197 Appendix A.3 expanded for 8-word blocks: 14 rounds, so
// 8 * 15 = 120 words. Words 0..59 are those of A.3, whatever the block length.
TEST(AesKeySchedule, EightByEightFillsAll120Words) {
    const Bytes key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const AES aes = keyed(8, 8, key);
    ASSERT_EQ(aes.rounds(), 14);
    const auto enc = aes.encryptionSchedule();
    const auto dec = aes.decryptionSchedule();
    EXPECT_EQ(asPrinted(enc[0]), 0x603deb10u);
    EXPECT_EQ(asPrinted(enc[7]), 0x0914dff4u);
    EXPECT_EQ(asPrinted(enc[8]), 0x9ba35411u);
    EXPECT_EQ(asPrinted(enc[59]), 0x706c631eu);
    // Words whose index is neither 0 nor 4 mod 8 are w[i-8] ^ w[i-1], up to the last one.
    for (int i = 8; i < 120; ++i) {
        if (i % 8 != 0 && i % 8 != 4) {
            EXPECT_EQ(enc[i], enc[i - 8] ^ enc[i - 1]) << "word " << i;
        }
    }
    // Decryption starts with the last round key and ends with the first.
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(dec[c], enc[112 + c]) << "column " << c;
        EXPECT_EQ(dec[112 + c], enc[c]) << "column " << c;
    }
}

TEST(AesKeySchedule, SecondGkeyReplacesTheFirst) {
    struct Step {
        int nb;
        int nk;
        Bytes key;
    };
    const Bytes e = hex("2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe");
    const Bytes zeros(32, 0);
    const std::pair<Step, Step> cases[] = {
        {{8, 8, e}, {4, 4, zeros}},
        {{4, 4, zeros}, {8, 6, e}},
        {{6, 8, e}, {6, 4, zeros}},
    };
    const Bytes sample = hex("00112233445566778899aabbccddeeff0123456789abcdeffedcba9876543210");
    for (const auto& [first, second] : cases) {
        SCOPED_TRACE("Nb=" + std::to_string(second.nb) + " Nk=" + std::to_string(second.nk));
        AES rekeyed = keyed(first.nb, first.nk, first.key);
        rekeyed.gkey(second.nb, second.nk, second.key);
        const AES fresh = keyed(second.nb, second.nk, second.key);
        EXPECT_EQ(rekeyed.blockWords(), fresh.blockWords());
        EXPECT_EQ(rekeyed.keyWords(), fresh.keyWords());
        EXPECT_EQ(rekeyed.rounds(), fresh.rounds());

        const std::size_t blockBytes = 4 * static_cast<std::size_t>(second.nb);
        Bytes viaRekeyed(sample.begin(), sample.begin() + static_cast<long>(blockBytes));
        Bytes viaFresh = viaRekeyed;
        rekeyed.Encrypt(viaRekeyed);
        fresh.Encrypt(viaFresh);
        EXPECT_EQ(viaRekeyed, viaFresh);
        rekeyed.Decrypt(viaRekeyed);
        fresh.Decrypt(viaFresh);
        EXPECT_EQ(viaRekeyed, viaFresh);
        EXPECT_EQ(viaRekeyed,
                  Bytes(sample.begin(), sample.begin() + static_cast<long>(blockBytes)));
    }
}

TEST(AesBlock, DecryptInvertsEncryptOnRandomBlocks) {
    std::mt19937 rng(0x5EED);
    std::uniform_int_distribution<int> byte(0, 255);
    const auto randomBytes = [&](int words) {
        Bytes b(4 * static_cast<std::size_t>(words));
        for (auto& x : b) {
            x = static_cast<std::uint8_t>(byte(rng));
        }
        return b;
    };
    for (int nb : kSizes) {
        for (int nk : kSizes) {
            for (int trial = 0; trial < 16; ++trial) {
                const AES aes = keyed(nb, nk, randomBytes(nk));
                const Bytes plain = randomBytes(nb);
                Bytes block = plain;
                aes.Encrypt(block);
                EXPECT_NE(block, plain) << "Nb=" << nb << " Nk=" << nk;
                aes.Decrypt(block);
                EXPECT_EQ(block, plain) << "Nb=" << nb << " Nk=" << nk;
            }
        }
    }
}

TEST(AesErrors, GkeyRejectsBadLengthsWithError9) {
    AES aes;
    aes.gentables();
    const Bytes key(36, 0x11);
    EXPECT_EQ(runErrorOf([&] { aes.gkey(9, 4, key); }), 9);
    EXPECT_EQ(runErrorOf([&] { aes.gkey(9, 8, key); }), 9);
    EXPECT_EQ(runErrorOf([&] { aes.gkey(4, 9, key); }), 9);
    // A key shorter than 4*nk bytes.
    EXPECT_EQ(runErrorOf([&] { aes.gkey(4, 8, Bytes(31, 0x11)); }), 9);
    EXPECT_EQ(runErrorOf([&] { aes.gkey(8, 6, Bytes(23, 0x11)); }), 9);
    EXPECT_EQ(runErrorOf([&] { aes.gkey(4, 4, Bytes()); }), 9);
}

TEST(AesErrors, ShortBufferIsError9) {
    for (int nb : kSizes) {
        SCOPED_TRACE("Nb=" + std::to_string(nb));
        const AES aes = keyed(nb, 4, Bytes(16, 0x22));
        Bytes shortBuffer(4 * static_cast<std::size_t>(nb) - 1, 0x33);
        EXPECT_EQ(runErrorOf([&] { aes.Encrypt(shortBuffer); }), 9);
        EXPECT_EQ(runErrorOf([&] { aes.Decrypt(shortBuffer); }), 9);
    }
}

} // namespace
} // namespace vornal
