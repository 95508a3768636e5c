// The streaming file engine against the plain definition of the format (split the whole
// text, encrypt each field, join) and back, whatever the chunk, batch and thread sizes.
#include "operations/Engine.h"

#include "cipher/modAES.h"
#include "operations/ByteCodes.h"
#include "operations/FileFormat.h"
#include "platform/Text.h"
#include "tests/support/Hex.h"

#include <array>
#include <cstring>
#include <gmock/gmock.h>
#include <random>

namespace vornal::test {
namespace {

const std::u16string kKey = u"engine key \u00e9";

// A file's bytes held in memory, read in pieces of at most `step` bytes.
class StringReader : public FileReader {
public:
    explicit StringReader(std::string bytes, std::size_t step = SIZE_MAX)
        : bytes_(std::move(bytes)), step_(step) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, step_, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t at_ = 0;
};

// Collects what is written.
class StringWriter : public FileWriter {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    void sync() override {}
    void close() override {}
    std::string text;
};

// The format as defined on the whole text.
std::string referenceEncrypt(const std::string& text) {
    std::string out;
    for (std::string_view field : splitFields(text)) {
        out += utf16ToUtf8(modAES::EncryptString(decodeWindows1252(field), kKey)) + ":\r";
    }
    return out + std::string(kMarkerLine);
}

class Progress : public EngineProgress {
public:
    void written(std::uint64_t index) override {
        EXPECT_TRUE(values.empty() || index >= values.back());
        values.push_back(index);
    }
    bool cancelRequested() override { return false; } // a stop shows in the file run's tests
    std::vector<std::uint64_t> values;
};

struct Sizes {
    std::size_t chunk;
    std::size_t batch;
    unsigned threads;
    ByteCodeLevel codes; // the fastest instead where the processor lacks it
};

// Words of 0 to 20 letters (empty fields from blank runs), line ends, every byte value
// now and then, and long words that exceed a batch.
std::string randomPlain(std::mt19937& rng, std::size_t words) {
    std::string text;
    for (std::size_t w = 0; w < words; ++w) {
        const int kind = static_cast<int>(rng() % 20);
        const std::size_t length = kind == 0 ? 300 + rng() % 300 : rng() % 21;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(kind == 1 ? static_cast<char>(rng() % 256)
                                     : static_cast<char>('a' + rng() % 26));
        }
        if (kind == 2) {
            text += "\r\n";
        }
        text.append(1 + (rng() % 7 == 0 ? rng() % 4 : 0), ' ');
    }
    // A blank may end up inside the random bytes; that is only another field.
    return text;
}

// A file held in memory, opened again as often as asked.
Reopen reopen(const std::string& file) {
    return [file] { return std::make_unique<StringReader>(file, 4096); };
}

class EngineSizes : public ::testing::TestWithParam<Sizes> {
protected:
    EngineOptions options() const {
        EngineOptions o;
        o.chunkSize = GetParam().chunk;
        o.batchSize = GetParam().batch;
        o.threads = GetParam().threads;
        o.codes = byteCodesAt(GetParam().codes);
        return o;
    }
    const TextCipher keyed{kKey};
    const std::unique_ptr<Rijndael256Engine> cipher = makeEngine(keyed.cipher());
};

TEST_P(EngineSizes, EncryptionEqualsTheWholeTextDefinition) {
    std::mt19937 rng(7 + GetParam().chunk);
    for (int trial = 0; trial < 4; ++trial) {
        const std::string text = randomPlain(rng, 150);
        StringReader scanIn(text, GetParam().chunk);
        const PlainScan scan = scanPlain(scanIn, options());
        EXPECT_FALSE(scan.marked);
        EXPECT_EQ(scan.size, text.size());
        EXPECT_EQ(scan.fields, splitFields(text).size());

        StringReader in(text, GetParam().chunk);
        StringWriter out;
        Progress progress;
        encryptStream(in, out, *cipher, scan, options(), progress);
        const std::string expected = referenceEncrypt(text);
        ASSERT_EQ(out.text.size(), expected.size());
        EXPECT_EQ(out.text, expected);
        EXPECT_EQ(scan.encryptedSize, expected.size());
        ASSERT_FALSE(progress.values.empty());
        EXPECT_EQ(progress.values.back(), scan.fields - 1);
    }
}

TEST_P(EngineSizes, DecryptionGivesTheTextBackWithMarkersAndBlanksAnywhere) {
    std::mt19937 rng(11 + GetParam().chunk);
    for (int trial = 0; trial < 4; ++trial) {
        Progress progress;
        const std::string plain = randomPlain(rng, 120);
        std::string file = referenceEncrypt(plain);
        // Markers and blank runs put at random places; the probe takes them all away.
        const std::size_t pieces = file.size() - kMarkerLine.size();
        for (int k = 0; k < 3; ++k) {
            file.insert(rng() % (pieces + 1), kMarkerLine);
        }
        // An editor's line ends after it all are no part.
        const char* const tails[] = {"", "\n", "\r\n", " \t\r\n\n"};
        file = std::string(rng() % 5, ' ') + file + std::string(rng() % 5, ' ') + tails[trial];
        StringReader scanIn(file, GetParam().chunk);
        const EncryptedScan scan = scanEncrypted(scanIn, options());
        ASSERT_TRUE(scan.marked);
        ASSERT_TRUE(scan.lastPartBlank);
        EXPECT_EQ(checkFirstPart(scan, *cipher, reopen(file), options(), progress),
                  TextCipher::Outcome::Text);

        StringReader in(file, GetParam().chunk);
        StringWriter out;
        decryptStream(in, out, *cipher, scan, options(), progress);
        EXPECT_EQ(out.text, plain); // byte for byte what was encrypted
        EXPECT_LE(out.text.size(), scan.decryptedBound);
        if (!progress.values.empty()) {
            EXPECT_EQ(progress.values.back(), scan.parts - 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ChunksBatchesThreads, EngineSizes,
                         ::testing::Values(Sizes{1, 16, 1, ByteCodeLevel::Plain},
                                           Sizes{2, 40, 2, ByteCodeLevel::Avx2},
                                           Sizes{3, 100, 7, ByteCodeLevel::Sse2},
                                           Sizes{7, 64, 2, ByteCodeLevel::Avx512},
                                           Sizes{64, 200, 1, ByteCodeLevel::Avx2},
                                           Sizes{1000, 1 << 10, 2, ByteCodeLevel::Plain},
                                           Sizes{1 << 20, 128 << 10, 7, ByteCodeLevel::Avx512}));

class EngineRules : public ::testing::Test {
protected:
    EngineOptions small() const {
        EngineOptions o;
        o.chunkSize = 5;
        o.batchSize = 32;
        o.threads = 2;
        return o;
    }
    const TextCipher keyed{kKey};
    const std::unique_ptr<Rijndael256Engine> cipher = makeEngine(keyed.cipher());
};

TEST_F(EngineRules, AMarkerSplitAcrossChunksIsFoundAndAlmostAMarkerIsNot) {
    const std::string text = "before " + std::string(kMarkerLine) + " after";
    for (std::size_t step : {1u, 2u, 13u, 50u}) {
        StringReader in(text, step);
        EngineOptions o = small();
        o.chunkSize = step;
        EXPECT_TRUE(scanPlain(in, o).marked) << step;
    }
    std::string almost(kMarkerLine);
    almost[5] = 'E';
    StringReader in(almost + almost, 3);
    EXPECT_FALSE(scanPlain(in, small()).marked);
}

// The ciphertext of one framed block under key, as a piece.
std::string pieceOfBlock(std::array<std::uint8_t, 32> block, const std::u16string& key) {
    TextCipher(key).cipher().Encrypt(block);
    return utf16ToUtf8(toHexUpper(block)) + ":\r";
}

std::string piece(const std::u16string& text, const std::u16string& key = kKey) {
    return utf16ToUtf8(modAES::EncryptString(text, key)) + ":\r";
}

TEST_F(EngineRules, APartThatDoesNotDecryptIsToldWithItsIndexAsTheFirstPartIsChecked) {
    // "a" framed, with one padding byte that is not zero.
    std::array<std::uint8_t, 32> padded{2, 0, 0, 0, 'a', 0};
    padded[31] = 1;
    // Three bytes: no whole number of characters.
    const std::array<std::uint8_t, 32> odd{3, 0, 0, 0, 'a', 0, 'b'};
    const std::string good = piece(u"one");
    const struct {
        const char* what;
        std::string piece;
        TextCipher::Outcome outcome;
    } cases[] = {
        {"another key", piece(u"two", u"other key"), TextCipher::Outcome::InvalidPassword},
        {"non-zero padding", pieceOfBlock(padded, kKey), TextCipher::Outcome::InvalidPassword},
        {"odd length", pieceOfBlock(odd, kKey), TextCipher::Outcome::InvalidPassword},
        {"no Windows-1252 byte", piece(u"\u4e2d"), TextCipher::Outcome::InvalidPassword},
        {"not whole blocks", good.substr(2), TextCipher::Outcome::InvalidPassword},
        {"not a digit", "Z" + good.substr(1), TextCipher::Outcome::Malformed},
        {"odd digits", good.substr(1), TextCipher::Outcome::Malformed},
    };
    EngineOptions whole = small(); // every part in a batch
    whole.batchSize = 1 << 16;
    for (const auto& c : cases) {
        // Second: the stream stops there, in a batch and streaming past alike.
        const std::string file = good + c.piece + good + std::string(kMarkerLine);
        for (const EngineOptions& o : {whole, small()}) {
            StringReader scanIn(file);
            const EncryptedScan scan = scanEncrypted(scanIn, o);
            StringReader in(file, 3);
            StringWriter out;
            Progress progress;
            try {
                decryptStream(in, out, *cipher, scan, o, progress);
                ADD_FAILURE() << c.what << " decrypted";
            } catch (const PartFailed& f) {
                EXPECT_EQ(f.outcome, c.outcome) << c.what;
                EXPECT_EQ(f.index, 1u) << c.what;
            }
        }
        // First after empty parts: the key check finds it before anything is written.
        const std::string first = ":\r:\r" + c.piece + good + std::string(kMarkerLine);
        StringReader scanIn(first);
        const EncryptedScan scan = scanEncrypted(scanIn, small());
        ASSERT_EQ(scan.firstFull, 2u);
        Progress progress;
        EXPECT_EQ(checkFirstPart(scan, *cipher, reopen(first), small(), progress), c.outcome)
            << c.what;
    }
}

// The 32 bytes the first 64 digits of text give.
std::array<std::uint8_t, 32> blockAt(const std::string& text, std::size_t at) {
    const auto bytes = hex(text.substr(at, 64));
    std::array<std::uint8_t, 32> block{};
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

// Wrong keys on a long first part are the file run's refusals; here the right key, and
// the right key with the last block's padding not zero, which only the whole part shows.
TEST_F(EngineRules, ALongFirstPartIsReadAgainAndDecryptedWhole) {
    const std::string word(100000, 'q');
    const std::string file =
        piece(utf8ToUtf16(word).value()) + piece(u"tail") + std::string(kMarkerLine);
    std::string padded = file;
    const std::size_t last = padded.find(":\r") - 64;
    auto block = blockAt(padded, last);
    keyed.cipher().Decrypt(block);
    ASSERT_EQ(block[31], 0);
    block[31] = 0x20;
    padded.replace(last, 66, pieceOfBlock(block, kKey));
    for (const auto& [f, outcome] : {std::pair{file, TextCipher::Outcome::Text},
                                     {padded, TextCipher::Outcome::InvalidPassword}}) {
        StringReader in(f, 1000);
        const EncryptedScan scan = scanEncrypted(in, small());
        ASSERT_GT(scan.firstFullLength, scan.firstFullHead.size());
        Progress progress;
        EXPECT_EQ(checkFirstPart(scan, *cipher, reopen(f), small(), progress), outcome);
    }
    StringReader scanIn(file, 1000);
    const EncryptedScan scan = scanEncrypted(scanIn, small());
    StringReader in(file, 1000);
    StringWriter out;
    Progress progress;
    decryptStream(in, out, *cipher, scan, small(), progress);
    EXPECT_EQ(out.text, word + " tail");
}

TEST_F(EngineRules, TheDecryptedSizeBoundIsReachedWhenWordsFillTheirBlocks) {
    // Fourteen characters fill a block beside the length field.
    const std::string text = std::string(14, 'a') + " " + std::string(14, 'c') + " " +
                             std::string(14, 'd') + " " + std::string(30, 'b');
    const std::string file = referenceEncrypt(text);
    // Parts of one block after the first are counted many at a time in larger batches.
    for (const EngineOptions& options : {small(), EngineOptions{}}) {
        StringReader in(file);
        EXPECT_EQ(scanEncrypted(in, options).decryptedBound, text.size()) << options.batchSize;
    }
}

} // namespace
} // namespace vornal::test
