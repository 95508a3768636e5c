// The block engines against the portable cipher (class AES), block by block, and the choice
// among them.
#include "cipher/Rijndael256Engine.h"

#include "tests/support/Hex.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::hex;

AES keyed(const Bytes& key) {
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, key);
    return aes;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes b(n);
    for (auto& x : b) {
        x = static_cast<std::uint8_t>(byte(rng));
    }
    return b;
}

// Every engine this processor runs, the portable one included: it is what the
// hardware ones are held to, but its own batch loop is tested against AES as well.
class EachEngine : public ::testing::TestWithParam<std::string> {
protected:
    std::unique_ptr<Rijndael256Engine> engine(const AES& aes) const {
        auto e = makeEngineNamed(aes, GetParam());
        if (!e) {
            ADD_FAILURE() << GetParam() << " is listed but not made";
        }
        return e;
    }
};

// The engines interleave blocks in groups (6 and 24) and finish the rest in smaller or
// masked groups: these counts reach every remainder, more than one pass of the main loop,
// and none at all.
std::vector<std::size_t> blockCounts() {
    std::vector<std::size_t> counts;
    for (std::size_t n = 0; n <= 40; ++n) {
        counts.push_back(n);
    }
    counts.push_back(100);
    return counts;
}

TEST_P(EachEngine, MatchesTheBlockCipherInBothDirections) {
    std::mt19937 rng(0xC0FFEE);
    // Bytes on either side of the blocks, which no engine may touch, and an odd start so
    // that nothing relies on alignment.
    constexpr std::size_t kGuard = 67;
    for (int trial = 0; trial < 3; ++trial) {
        const AES aes = keyed(randomBytes(rng, 32));
        const auto e = engine(aes);
        ASSERT_TRUE(e);
        for (const std::size_t blocks : blockCounts()) {
            SCOPED_TRACE("key " + std::to_string(trial) + ", " + std::to_string(blocks) +
                         " blocks");
            const Bytes buffer = randomBytes(rng, 32 * blocks + 2 * kGuard);
            const auto start = static_cast<long>(kGuard);
            const auto end = static_cast<long>(kGuard + 32 * blocks);

            Bytes expected = buffer;
            for (std::size_t i = 0; i < blocks; ++i) {
                aes.Encrypt(std::span<std::uint8_t>(expected.data() + kGuard + 32 * i, 32));
            }
            Bytes actual = buffer;
            e->encryptBlocks(actual.data() + kGuard, blocks);
            ASSERT_EQ(actual, expected) << "encryption";

            // Decrypting the ciphertext must give the plaintext back; decrypting the
            // random plaintext as if it were ciphertext checks the inverse rounds on
            // inputs that encryption did not produce.
            e->decryptBlocks(actual.data() + kGuard, blocks);
            ASSERT_EQ(actual, buffer) << "decryption of the ciphertext";

            Bytes inverse = buffer;
            for (std::size_t i = 0; i < blocks; ++i) {
                aes.Decrypt(std::span<std::uint8_t>(inverse.data() + kGuard + 32 * i, 32));
            }
            actual = buffer;
            e->decryptBlocks(actual.data() + kGuard, blocks);
            ASSERT_EQ(actual, inverse) << "decryption of random blocks";
            // Nor is the reference an identity that any engine could match by doing nothing.
            if (blocks > 0) {
                ASSERT_NE(Bytes(actual.begin() + start, actual.begin() + end),
                          Bytes(buffer.begin() + start, buffer.begin() + end));
            }
        }
    }
}

// Rijndael with a 256-bit block and key, from tests/cipher/AesKnownAnswerTest.cpp, where
// their sources are named: Gladman's (key e, plaintext pi) and the single-bit key.
struct KnownAnswer {
    Bytes key;
    Bytes plain;
    Bytes cipher;
};

std::vector<KnownAnswer> knownAnswers() {
    Bytes singleBit(32, 0);
    singleBit[0] = 0x80;
    return {
        {hex("2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe"),
         hex("3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8"),
         hex("a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a")},
        {singleBit, Bytes(32, 0),
         hex("e62abce069837b65309be4eda2c0e149fe56c07b7082d3287f592c4a4927a277")},
    };
}

TEST_P(EachEngine, GivesTheKnownAnswers) {
    for (const KnownAnswer& v : knownAnswers()) {
        const auto e = engine(keyed(v.key));
        ASSERT_TRUE(e);
        // The same block in every position of a batch long enough for the wide paths,
        // with a partial group at the end.
        constexpr std::size_t kBlocks = 19;
        Bytes plain;
        Bytes cipher;
        for (std::size_t i = 0; i < kBlocks; ++i) {
            plain.insert(plain.end(), v.plain.begin(), v.plain.end());
            cipher.insert(cipher.end(), v.cipher.begin(), v.cipher.end());
        }
        Bytes data = plain;
        e->encryptBlocks(data.data(), kBlocks);
        EXPECT_EQ(data, cipher);
        e->decryptBlocks(data.data(), kBlocks);
        EXPECT_EQ(data, plain);
    }
}

TEST_P(EachEngine, IsNamedAsListed) {
    const auto e = engine(keyed(Bytes(32, 0x42)));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name(), GetParam());
}

// Test names allow letters, digits and underscores only.
std::string engineTestName(const ::testing::TestParamInfo<std::string>& param) {
    std::string name = param.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Available, EachEngine, ::testing::ValuesIn(availableEngines()),
                         engineTestName);

// The processor's features as Linux reports them (it leaves out what the kernel does not
// save), or empty where there is no /proc/cpuinfo.
std::set<std::string> cpuFlags() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) == 0) {
            std::istringstream words(line.substr(line.find(':') + 1));
            return {std::istream_iterator<std::string>(words), {}};
        }
    }
    return {};
}

TEST(EngineChoice, ListsWhatTheProcessorRuns) {
    const std::vector<std::string> names = availableEngines();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "portable");
    const std::set<std::string> flags = cpuFlags();
    if (flags.empty()) {
        GTEST_SKIP() << "no /proc/cpuinfo";
    }
    const auto listed = [&](std::string_view n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    const bool aes = flags.count("aes") && flags.count("sse4_1") && flags.count("ssse3");
    const bool vaes = flags.count("vaes") && flags.count("avx512f") && flags.count("avx512bw") &&
                      flags.count("avx512vbmi");
    EXPECT_EQ(listed("aes-ni"), aes);
    EXPECT_EQ(listed("vaes-avx512"), vaes);
}

// Restores VORNAL_CIPHER as it was.
class EnvironmentGuard {
public:
    EnvironmentGuard() {
        if (const char* v = std::getenv("VORNAL_CIPHER")) {
            saved_ = v;
        }
    }
    ~EnvironmentGuard() {
        if (saved_) {
            setenv("VORNAL_CIPHER", saved_->c_str(), 1);
        } else {
            unsetenv("VORNAL_CIPHER");
        }
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    std::optional<std::string> saved_;
};

TEST(EngineChoice, FastestUnlessTheEnvironmentNamesOne) {
    const EnvironmentGuard guard;
    const AES aes = keyed(Bytes(32, 0x17));
    const std::vector<std::string> names = availableEngines();

    unsetenv("VORNAL_CIPHER");
    // The list runs from slowest to fastest.
    EXPECT_EQ(chosenEngineName(), names.back());
    EXPECT_EQ(makeEngine(aes)->name(), names.back());

    setenv("VORNAL_CIPHER", "portable", 1);
    EXPECT_EQ(chosenEngineName(), "portable");
    EXPECT_EQ(makeEngine(aes)->name(), "portable");

    for (const std::string& name : names) {
        setenv("VORNAL_CIPHER", name.c_str(), 1);
        EXPECT_EQ(makeEngine(aes)->name(), name);
    }

    // A name that is no engine is passed over.
    setenv("VORNAL_CIPHER", "rot13", 1);
    EXPECT_EQ(chosenEngineName(), names.back());
}

TEST(EngineChoice, RefusesWhatItCannotRun) {
    const AES aes = keyed(Bytes(32, 0x17));
    EXPECT_EQ(makeEngineNamed(aes, "rot13"), nullptr);
    EXPECT_EQ(makeEngineNamed(aes, ""), nullptr);
    for (const std::string_view name : {"aes-ni", "vaes-avx512"}) {
        const std::vector<std::string> names = availableEngines();
        if (std::find(names.begin(), names.end(), name) == names.end()) {
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
