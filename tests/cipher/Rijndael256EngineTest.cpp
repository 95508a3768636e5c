// The block engines against the portable cipher (class AES), block by block, and the choice
// among them.
#include "cipher/Rijndael256Engine.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <stdexcept>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;

AES keyed(const Bytes& key) {
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, key);
    return aes;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b) {
        x = static_cast<std::uint8_t>(rng());
    }
    return b;
}

// Every engine this processor runs, the portable one included (its batch loop is its own).
class EachEngine : public ::testing::TestWithParam<std::string> {};

TEST_P(EachEngine, MatchesTheBlockCipherInBothDirections) {
    std::mt19937 rng(0xC0FFEE);
    // Bytes on either side of the blocks, which no engine may touch, and an odd start so
    // that nothing relies on alignment.
    constexpr std::size_t kGuard = 67;
    const AES aes = keyed(randomBytes(rng, 32));
    const auto engine = makeEngineNamed(aes, GetParam());
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine->name(), GetParam());
    // The engines take blocks in groups (6, 24) and finish the rest in smaller or masked
    // ones: these counts reach every remainder, and more than one group.
    std::vector<std::size_t> counts(41);
    std::iota(counts.begin(), counts.end(), 0);
    counts.push_back(100);
    for (const std::size_t blocks : counts) {
        SCOPED_TRACE(std::to_string(blocks) + " blocks");
        const Bytes buffer = randomBytes(rng, 32 * blocks + 2 * kGuard);
        // Decryption too of random blocks, inputs that encryption did not produce.
        for (const bool forward : {true, false}) {
            Bytes expected = buffer;
            for (std::size_t i = 0; i < blocks; ++i) {
                const std::span<std::uint8_t> block(expected.data() + kGuard + 32 * i, 32);
                forward ? aes.Encrypt(block) : aes.Decrypt(block);
            }
            Bytes actual = buffer;
            forward ? engine->encryptBlocks(actual.data() + kGuard, blocks)
                    : engine->decryptBlocks(actual.data() + kGuard, blocks);
            ASSERT_EQ(actual, expected) << (forward ? "encryption" : "decryption");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Available, EachEngine, ::testing::ValuesIn(availableEngines()),
                         [](const auto& engineName) {
                             std::string name = engineName.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The processor's features as Linux reports them (less what the kernel does not save).
std::string cpuFlags() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("flags", 0) == 0) {
            return line.substr(line.find(':') + 1) + " ";
        }
    }
    return {};
}

TEST(EngineChoice, FollowsTheProcessorAndTheEnvironment) {
    const std::vector<std::string> names = availableEngines();
    const auto listed = [&](std::string_view n) {
        return std::count(names.begin(), names.end(), n);
    };
    const std::string flags = cpuFlags();
    const auto has = [&](const std::string& f) { return flags.find(" " + f + " ") != flags.npos; };
    if (!flags.empty()) {
        EXPECT_EQ(listed("aes-ni"), has("aes") && has("sse4_1") && has("ssse3"));
        EXPECT_EQ(listed("vaes-avx512"),
                  has("vaes") && has("avx512f") && has("avx512bw") && has("avx512vbmi"));
    }
    // Slowest first; the fastest unless VORNAL_CIPHER names another, a name that is no
    // engine being passed over.
    ASSERT_EQ(names.front(), "portable");
    const AES aes = keyed(Bytes(32, 0x17));
    for (const std::string& forced : {std::string("rot13"), names.back(), names.front()}) {
        ::setenv("VORNAL_CIPHER", forced.c_str(), 1);
        EXPECT_EQ(makeEngine(aes)->name(), forced == "rot13" ? names.back() : forced);
    }
    ::unsetenv("VORNAL_CIPHER");
    for (const std::string_view name : {"rot13", "", "aes-ni", "vaes-avx512"}) {
        if (listed(name) == 0) {
            EXPECT_EQ(makeEngineNamed(aes, name), nullptr) << name;
        }
    }
    // A schedule of another size, or none, is not one the engines can use.
    AES other;
    other.gentables();
    other.gkey(4, 8, Bytes(32, 0x17));
    EXPECT_THROW((void)makeEngineNamed(other, "portable"), std::invalid_argument);
    EXPECT_THROW((void)makeEngine(AES()), std::invalid_argument);
}

} // namespace
} // namespace vornal
