// The engine's byte conversions: the fast forms give what the plain loops give, on every
// byte value, at every length and alignment, and refuse what the plain loops refuse.
#include "operations/ByteCodes.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace vornal::test {
namespace {

// Lengths around the widths taken at a time, and offsets that misalign the data.
const std::vector<std::size_t> kLengths = {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100, 1000};
const std::vector<std::size_t> kOffsets = {0, 1, 3};

std::vector<std::uint8_t> randomBytes(std::mt19937& rng, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

TEST(ByteCodes, HexEncodingOfEveryByteValueAndLength) {
    std::vector<std::uint8_t> all(256);
    for (int b = 0; b < 256; ++b) {
        all[b] = static_cast<std::uint8_t>(b);
    }
    std::string fast(512, '?');
    std::string plain(512, '!');
    encodeHex(all.data(), all.size(), fast.data());
    encodeHexPlain(all.data(), all.size(), plain.data());
    EXPECT_EQ(fast, plain);
    EXPECT_EQ(fast.substr(0, 6), "000102");
    EXPECT_EQ(fast.substr(508), "FEFF");

    std::mt19937 rng(1);
    for (const std::size_t n : kLengths) {
        for (const std::size_t off : kOffsets) {
            const auto bytes = randomBytes(rng, n + off);
            std::string a(2 * n + 1, '#');
            std::string b(2 * n + 1, '#');
            encodeHex(bytes.data() + off, n, a.data());
            encodeHexPlain(bytes.data() + off, n, b.data());
            EXPECT_EQ(a, b) << n << " " << off;
        }
    }
}

TEST(ByteCodes, HexDecodingTakesBothCasesAndRefusesAnyOtherCharacterAnywhere) {
    std::mt19937 rng(2);
    const std::string digits = "0123456789ABCDEFabcdef";
    for (const std::size_t n : kLengths) {
        for (const std::size_t off : kOffsets) {
            std::string hex(off, 'x');
            for (std::size_t i = 0; i < 2 * n; ++i) {
                hex.push_back(digits[rng() % digits.size()]);
            }
            std::vector<std::uint8_t> a(n + 1, 0xAA);
            std::vector<std::uint8_t> b(n + 1, 0x55);
            EXPECT_TRUE(decodeHex(hex.data() + off, n, a.data()));
            EXPECT_TRUE(decodeHexPlain(hex.data() + off, n, b.data()));
            EXPECT_TRUE(
                std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin()))
                << n << " " << off;
            // Every character that is not a digit, at a place that moves along.
            if (n == 0) {
                continue;
            }
            for (int c = 0; c < 256; ++c) {
                if (digits.find(static_cast<char>(c)) != std::string::npos) {
                    continue;
                }
                std::string bad = hex;
                bad[off + static_cast<std::size_t>(c) % (2 * n)] = static_cast<char>(c);
                EXPECT_FALSE(decodeHex(bad.data() + off, n, a.data())) << c << " " << n;
                EXPECT_FALSE(decodeHexPlain(bad.data() + off, n, b.data())) << c << " " << n;
            }
        }
    }
}

TEST(ByteCodes, EncodedHexDecodesToTheSameBytes) {
    std::mt19937 rng(3);
    const auto bytes = randomBytes(rng, 4099);
    std::string hex(2 * bytes.size(), '\0');
    encodeHex(bytes.data(), bytes.size(), hex.data());
    std::vector<std::uint8_t> back(bytes.size());
    ASSERT_TRUE(decodeHex(hex.data(), bytes.size(), back.data()));
    EXPECT_EQ(back, bytes);
}

TEST(ByteCodes, Windows1252WidensAndNarrowsBackForEveryByteValue) {
    std::mt19937 rng(4);
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    std::vector<std::string> texts = {all};
    for (const std::size_t n : kLengths) {
        std::string ascii;
        std::string any;
        for (std::size_t i = 0; i < n; ++i) {
            ascii.push_back(static_cast<char>(' ' + rng() % 95));
            any.push_back(static_cast<char>(rng()));
        }
        texts.push_back(ascii);
        texts.push_back(any);
    }
    for (const std::string& text : texts) {
        for (const std::size_t off : kOffsets) {
            if (off > text.size()) {
                continue;
            }
            const std::size_t n = text.size() - off;
            std::vector<std::uint8_t> a(2 * n + 2, 0xAA);
            std::vector<std::uint8_t> b(2 * n + 2, 0x55);
            widen1252(text.data() + off, n, a.data());
            widen1252Plain(text.data() + off, n, b.data());
            ASSERT_TRUE(
                std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(2 * n), b.begin()))
                << n;
            std::string back(n, '\0');
            std::string backPlain(n, '\0');
            ASSERT_TRUE(narrowTo1252(a.data(), n, back.data()));
            ASSERT_TRUE(narrowTo1252Plain(a.data(), n, backPlain.data()));
            EXPECT_EQ(back, text.substr(off));
            EXPECT_EQ(backPlain, text.substr(off));
        }
    }
    // The euro sign widens to U+20AC, not to 0x0080.
    std::uint8_t euro[2];
    widen1252("\x80", 1, euro);
    EXPECT_EQ(euro[0] | euro[1] << 8, 0x20AC);
}

TEST(ByteCodes, NarrowingRefusesACharacterWithoutAByteWhereverItIs) {
    // Units 0x80 to 0x9F, and units above 0xFF outside the few Windows-1252 has.
    for (const char16_t other : {char16_t{0x0080}, char16_t{0x009F}, char16_t{0x0100},
                                 char16_t{0x4E2D}, char16_t{0xFFFF}}) {
        for (const std::size_t n :
             {std::size_t{1}, std::size_t{8}, std::size_t{9}, std::size_t{40}}) {
            for (std::size_t at = 0; at < n; at += 3) {
                std::vector<std::uint8_t> units(2 * n);
                for (std::size_t i = 0; i < n; ++i) {
                    const char16_t c = i == at ? other : static_cast<char16_t>('a' + i % 26);
                    units[2 * i] = static_cast<std::uint8_t>(c);
                    units[2 * i + 1] = static_cast<std::uint8_t>(c >> 8);
                }
                std::string out(n, '\0');
                EXPECT_FALSE(narrowTo1252(units.data(), n, out.data())) << int(other) << at;
                EXPECT_FALSE(narrowTo1252Plain(units.data(), n, out.data())) << int(other);
            }
        }
    }
}

TEST(ByteCodes, CountingABytePastEverySumWidth) {
    std::mt19937 rng(5);
    // Long runs of the byte overflow a narrow sum that is not added up in time.
    for (const std::size_t n : {std::size_t{0}, std::size_t{15}, std::size_t{16}, std::size_t{4079},
                                std::size_t{4080}, std::size_t{4097}, std::size_t{70001}}) {
        for (const int density : {0, 3, 100}) {
            std::string text(n + 1, 'x');
            for (char& ch : text) {
                ch = static_cast<int>(rng() % 100) < density ? ' ' : static_cast<char>(rng());
                if (ch == ' ' && density == 0) {
                    ch = 'y';
                }
            }
            const std::size_t plain = countBytePlain(text.data() + 1, n, ' ');
            EXPECT_EQ(countByte(text.data() + 1, n, ' '), plain) << n << " " << density;
            if (density == 100) {
                EXPECT_EQ(plain, n);
            }
            if (density == 0) {
                EXPECT_EQ(plain, 0u);
            }
        }
    }
}

} // namespace
} // namespace vornal::test
