// The engine's byte conversions: every instruction set gives what the plain forms give, on
// every byte value, at every length (so every tail a wide loop leaves), and refuses what
// the plain forms refuse at the same place.
#include "operations/ByteCodes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace vornal::test {
namespace {

const ByteCodes& plain() {
    return *byteCodesAt(ByteCodeLevel::Plain);
}

class ByteCodesAt : public ::testing::TestWithParam<ByteCodeLevel> {
protected:
    void SetUp() override {
        codes_ = byteCodesAt(GetParam());
        if (codes_ == nullptr) {
            GTEST_SKIP() << "this processor lacks the instructions";
        }
    }
    const ByteCodes& codes() const { return *codes_; }

private:
    const ByteCodes* codes_ = nullptr;
};

TEST_P(ByteCodesAt, BulkConversionsOfEveryByteValueAtEveryLength) {
    // Every byte value twice, then random ones; taken from offsets that misalign them.
    std::mt19937 rng(1);
    std::string bytes;
    for (int i = 0; i < 600; ++i) {
        bytes.push_back(static_cast<char>(i < 512 ? i : static_cast<int>(rng())));
    }
    const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.data());
    // Separators and their halves in every arrangement.
    std::string separators;
    for (int i = 0; i < 600; ++i) {
        separators.push_back(":\rA"[rng() % 3]);
    }
    for (std::size_t n = 0; n <= 260; ++n) {
        for (const std::size_t off : {0, 1, 3}) {
            SCOPED_TRACE(testing::Message() << "length " << n << " offset " << off);
            std::string hex(2 * n, '?');
            std::string hexPlain(2 * n, '!');
            codes().encodeHex(raw + off, n, hex.data());
            plain().encodeHex(raw + off, n, hexPlain.data());
            ASSERT_EQ(hex, hexPlain);
            std::string lower = hex;
            for (char& c : lower) {
                c = c >= 'A' && c <= 'F' ? static_cast<char>(c + 'a' - 'A') : c;
            }
            for (const std::string& digits : {hex, lower}) {
                std::vector<std::uint8_t> back(n);
                ASSERT_TRUE(codes().decodeHex(digits.data(), n, back.data()));
                ASSERT_TRUE(std::equal(back.begin(), back.end(), raw + off));
            }
            std::vector<std::uint8_t> wide(2 * n);
            std::vector<std::uint8_t> widePlain(2 * n);
            codes().widen1252(bytes.data() + off, n, wide.data());
            plain().widen1252(bytes.data() + off, n, widePlain.data());
            ASSERT_EQ(wide, widePlain);
            std::string narrow(n, '\0');
            ASSERT_TRUE(codes().narrowTo1252(wide.data(), n, narrow.data()));
            ASSERT_EQ(narrow, bytes.substr(off, n));
            for (const char before : {':', 'x'}) {
                ASSERT_EQ(codes().countSeparators(separators.data() + off, n, before),
                          plain().countSeparators(separators.data() + off, n, before));
            }
            for (const char c : {' ', '\r', '\x80'}) {
                const std::size_t count = codes().countByte(bytes.data() + off, n, c);
                ASSERT_EQ(count, plain().countByte(bytes.data() + off, n, c));
                for (const std::size_t max : {count, count / 2, std::size_t{1000}}) {
                    std::vector<std::uint32_t> at(max + 1, 7);
                    std::vector<std::uint32_t> atPlain(max + 1, 7);
                    ASSERT_EQ(codes().findByte(bytes.data() + off, n, c, at.data(), max),
                              std::min(count, max));
                    (void)plain().findByte(bytes.data() + off, n, c, atPlain.data(), max);
                    ASSERT_EQ(at, atPlain);
                }
            }
        }
    }
}

TEST_P(ByteCodesAt, PartsOfOneBlockAreCountedUpToTheFirstOfAnotherLength) {
    const std::string block(64, 'A');
    const std::string part = block + ":\r";
    const struct {
        std::string text;
        std::size_t parts;
    } cases[] = {{"", 0},
                 {part, 1},
                 {part + part + part, 3},
                 {part + block + block + ":\r" + part, 1},
                 {part + block + ":", 1},
                 {part + block + ":x" + part, 1},
                 {std::string(32, 'A') + ":\r" + std::string(30, 'A') + ":\r", 0},
                 // A ":" alone ends nothing; a carriage return may end a part sooner.
                 {std::string(63, 'A') + "::\r", 1},
                 {std::string(40, 'A') + "\r" + std::string(23, 'A') + ":\r", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(codes().oneBlockParts(c.text.data(), c.text.size()), c.parts) << c.text;
    }
}

TEST_P(ByteCodesAt, FindingAPatternWhereverItAndItsNearMissesAre) {
    std::mt19937 rng(4);
    const std::string pattern = "F" + std::string(40, '.') + "FF>";
    for (std::size_t n = 0; n <= 200; ++n) {
        for (int trial = 0; trial < 4; ++trial) {
            // Full of the pattern's first and last bytes, so that most places are candidates.
            std::string text;
            for (std::size_t i = 0; i < n; ++i) {
                text.push_back("F>.x"[rng() % 4]);
            }
            // The pattern, or a near miss differing in one byte, at a random place.
            if (n >= pattern.size()) {
                std::string planted = pattern;
                if (trial % 2 == 1) {
                    planted[1 + rng() % (planted.size() - 2)] = 'x';
                }
                text.replace(rng() % (n - pattern.size() + 1), pattern.size(), planted);
            }
            ASSERT_EQ(codes().find(text, pattern), plain().find(text, pattern)) << text;
        }
    }
}

TEST_P(ByteCodesAt, RefusalsWhereverTheyAre) {
    const std::string digits = "0123456789ABCDEFabcdef";
    for (const std::size_t n : {1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
        std::string hex;
        for (std::size_t i = 0; i < 2 * n; ++i) {
            hex.push_back(digits[i * 7 % digits.size()]);
        }
        std::vector<std::uint8_t> out(n);
        // Every character that is not a digit, at a place that moves along.
        for (int c = 0; c < 256; ++c) {
            if (digits.find(static_cast<char>(c)) != std::string::npos) {
                continue;
            }
            std::string bad = hex;
            bad[static_cast<std::size_t>(c) * 5 % (2 * n)] = static_cast<char>(c);
            EXPECT_FALSE(codes().decodeHex(bad.data(), n, out.data())) << c << " " << n;
            EXPECT_FALSE(plain().decodeHex(bad.data(), n, out.data())) << c << " " << n;
        }
        // Units 0x80 to 0x9F, and units above 0xFF outside the few Windows-1252 has.
        for (const char16_t other : {u'\u0080', u'\u009F', u'\u0100', u'\u4E2D', u'\uFFFF'}) {
            for (std::size_t at = 0; at < n; at += 3) {
                // UTF-16LE units.
                std::vector<std::uint8_t> units(2 * n);
                for (std::size_t i = 0; i < n; ++i) {
                    units[2 * i] = i == at ? static_cast<std::uint8_t>(other) : 'a';
                    units[2 * i + 1] = i == at ? static_cast<std::uint8_t>(other >> 8) : 0;
                }
                std::string text(n, '\0');
                EXPECT_FALSE(codes().narrowTo1252(units.data(), n, text.data())) << at;
                EXPECT_FALSE(plain().narrowTo1252(units.data(), n, text.data())) << at;
            }
        }
    }
}

// Words of 0 to 40 characters and now and then a longer one, of any byte but the blank,
// each followed by a blank.
std::string randomFields(std::mt19937& rng, std::size_t count) {
    std::string text;
    for (std::size_t w = 0; w < count; ++w) {
        const std::size_t length = rng() % 10 == 0 ? 50 + rng() % 100 : rng() % 41;
        for (std::size_t i = 0; i < length; ++i) {
            char c =
                rng() % 4 == 0 ? static_cast<char>(rng()) : static_cast<char>('a' + rng() % 26);
            text.push_back(c == ' ' ? 'x' : c);
        }
        text.push_back(' ');
    }
    return text;
}

// Whatever a batch conversion answers, as one comparable record.
struct Batch {
    std::size_t used = 0;
    std::size_t count = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> blocks;
    bool operator==(const Batch&) const = default;
};

Batch frame(const ByteCodes& codes, std::string_view text, std::size_t room, std::size_t max) {
    Batch b;
    b.bytes.assign(room + 2 * text.size() + 64, 0xEE);
    b.blocks.assign(max, 0);
    const Framing f = codes.frameFields(text, b.bytes.data(), room, b.blocks.data(), max);
    b.used = f.used;
    b.count = f.fields;
    b.bytes.resize(f.bytes);
    return b;
}

std::string pieces(const ByteCodes& codes, const Batch& framed) {
    std::string out(2 * framed.bytes.size() + 2 * framed.count, '?');
    out.resize(
        codes.writePieces(framed.bytes.data(), framed.blocks.data(), framed.count, out.data()));
    return out;
}

Batch decode(const ByteCodes& codes, std::string_view text, std::size_t room, std::size_t max,
             PartFault& fault) {
    Batch b;
    b.bytes.assign(room + text.size() / 2 + 64, 0xEE);
    b.blocks.assign(max, 0);
    const Decoding d = codes.decodeParts(text, b.bytes.data(), room, b.blocks.data(), max);
    b.used = d.used;
    b.count = d.parts;
    b.bytes.resize(d.bytes);
    fault = d.fault;
    return b;
}

std::string texts(const ByteCodes& codes, const Batch& decoded, bool blankFirst, Texts& t) {
    std::string out(textsRoom(decoded.count, decoded.bytes.size()), '?');
    t = codes.writeTexts(decoded.bytes.data(), decoded.blocks.data(), decoded.count, blankFirst,
                         out.data());
    out.resize(t.chars);
    return out;
}

TEST_P(ByteCodesAt, BatchConversionsGiveWhatThePlainOnesGiveAndComeBack) {
    std::mt19937 rng(2);
    for (int trial = 0; trial < 20; ++trial) {
        const std::string text = randomFields(rng, 200);
        // Small limits stop the conversions anywhere; large ones take it all.
        for (const auto& [room, max] :
             {std::pair<std::size_t, std::size_t>{32, 4096}, {1000, 7}, {1 << 20, 4096}}) {
            const Batch framed = frame(codes(), text, room, max);
            ASSERT_EQ(framed, frame(plain(), text, room, max)) << room << " " << max;
            const std::string hex = pieces(codes(), framed);
            ASSERT_EQ(hex, pieces(plain(), framed));
            // Framed but not encrypted, the pieces decode and read back as the fields.
            PartFault fault{};
            PartFault faultPlain{};
            const Batch decoded = decode(codes(), hex, 1 << 20, 4096, fault);
            ASSERT_EQ(decoded, decode(plain(), hex, 1 << 20, 4096, faultPlain));
            ASSERT_EQ(decoded.bytes, framed.bytes);
            ASSERT_EQ(fault, PartFault::None);
            EXPECT_EQ(decode(codes(), hex, room, max, fault),
                      decode(plain(), hex, room, max, faultPlain));
            for (const bool blankFirst : {false, true}) {
                Texts t;
                Texts tPlain;
                const std::string back = texts(codes(), decoded, blankFirst, t);
                ASSERT_EQ(back, texts(plain(), decoded, blankFirst, tPlain));
                ASSERT_FALSE(t.failed);
                ASSERT_EQ(t.parts, framed.count);
                const std::string taken = text.substr(0, framed.used - 1);
                EXPECT_EQ(back, (blankFirst ? " " : "") + taken);
            }
        }
    }
}

TEST_P(ByteCodesAt, BatchConversionsStopAtTheSamePartForTheSameFault) {
    std::mt19937 rng(3);
    const std::string text = randomFields(rng, 60);
    const Batch framed = frame(plain(), text, 1 << 20, 4096);
    const std::string hex = pieces(plain(), framed);
    // A part that is no hexadecimal or no whole blocks, at different places.
    const struct {
        const char* what;
        std::string replacement;
    } damage[] = {
        {"odd digits", "ABC"},
        {"not a digit", std::string(63, '0') + "G"},
        {"not whole blocks", std::string(62, 'a')},
        {"high byte", std::string(64, '\xC1')},
        // Only after a ":" does a carriage return end a part.
        {"bare carriage return", std::string(65, 'A') + "\r" + std::string(64, 'B')},
        // 64 bytes before a separator, but a shorter part ends among them.
        {"separator inside a block's length", std::string(30, 'A') + ":\r" + std::string(32, 'B')}};
    for (const auto& d : damage) {
        for (std::size_t at = 0; at < hex.size(); at += hex.size() / 7 + 1) {
            const std::size_t cr = hex.rfind('\r', at);
            const std::size_t start = cr == std::string::npos ? 0 : cr + 1;
            const std::size_t end = hex.find(":\r", start);
            if (end == std::string::npos) {
                continue;
            }
            const std::string damaged = hex.substr(0, start) + d.replacement + hex.substr(end);
            PartFault fault{};
            PartFault faultPlain{};
            EXPECT_EQ(decode(codes(), damaged, 1 << 20, 4096, fault),
                      decode(plain(), damaged, 1 << 20, 4096, faultPlain))
                << d.what;
            EXPECT_EQ(fault, faultPlain) << d.what;
            EXPECT_NE(fault, PartFault::None) << d.what;
        }
    }
    // Decrypted parts whose length field, padding or characters no writer gives.
    const struct {
        const char* what;
        std::size_t offset; // in the part's frames
        std::vector<std::uint8_t> bytes;
    } wrong[] = {{"odd length", 0, {3}},      {"no character", 0, {0}},
                 {"too long", 0, {29}},       {"negative", 3, {0x80}},
                 {"padding", 30, {1}},        {"padding's high byte", 31, {1}},
                 {"unit 0x81", 4, {0x81, 0}}, {"unit 0x4E2D", 4, {0x2D, 0x4E}}};
    for (const auto& w : wrong) {
        for (std::size_t part = 0; part < framed.count; part += 5) {
            Batch changed = framed;
            std::size_t at = 0;
            for (std::size_t k = 0; k < part; ++k) {
                at += 32 * std::size_t{framed.blocks[k]};
            }
            if (framed.blocks[part] == 0) {
                continue;
            }
            std::copy(w.bytes.begin(), w.bytes.end(),
                      changed.bytes.begin() + static_cast<std::ptrdiff_t>(at + w.offset));
            Texts t;
            Texts tPlain;
            EXPECT_EQ(texts(codes(), changed, true, t), texts(plain(), changed, true, tPlain));
            EXPECT_EQ(t.parts, tPlain.parts) << w.what;
            EXPECT_EQ(t.failed, tPlain.failed) << w.what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(InstructionSets, ByteCodesAt,
                         ::testing::Values(ByteCodeLevel::Sse2, ByteCodeLevel::Avx2,
                                           ByteCodeLevel::Avx512),
                         [](const auto& level) { return std::string(byteCodesName(level.param)); });

} // namespace
} // namespace vornal::test
