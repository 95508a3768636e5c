// The streaming file engine against the plain definition of the format: split the whole
// text, encrypt each field, join; whatever the chunk, batch and thread sizes.
#include "operations/Engine.h"

#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "platform/Text.h"
#include "tests/support/MemoryFiles.h"
#include "tests/support/RecordingMessages.h"

#include <gmock/gmock.h>
#include <random>

namespace vornal::test {
namespace {

const std::u16string kKey = u"engine key \u00e9";

// The format as defined on the whole text.
std::string referenceEncrypt(const std::string& text) {
    std::string out;
    for (std::string_view field : splitFields(text)) {
        out += utf16ToUtf8(modAES::EncryptString(decodeWindows1252(field), kKey)) + ":\r";
    }
    return out + std::string(kMarkerLine);
}

std::string referenceDecrypt(const std::string& file) {
    RecordingMessages none;
    const std::string text = withoutMarker(file);
    const auto parts = splitParts(text);
    std::string out;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::u16string hex = decodeWindows1252(parts[i]);
        out += encodeWindows1252(modAES::DecryptString(hex, kKey, none)).value() + " ";
    }
    return out;
}

class Progress : public EngineProgress {
public:
    void written(std::uint64_t index) override {
        EXPECT_TRUE(values.empty() || index >= values.back());
        values.push_back(index);
    }
    bool cancelRequested() override { return cancelAfter > 0 && values.size() >= cancelAfter; }
    std::vector<std::uint64_t> values;
    std::size_t cancelAfter = 0;
};

struct Sizes {
    std::size_t chunk;
    std::size_t batch;
    unsigned threads;
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

class EngineSizes : public ::testing::TestWithParam<Sizes> {
protected:
    EngineOptions options() const {
        EngineOptions o;
        o.chunkSize = GetParam().chunk;
        o.batchSize = GetParam().batch;
        o.threads = GetParam().threads;
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

TEST_P(EngineSizes, DecryptionEqualsTheWholeTextDefinitionWithMarkersAndBlanksAnywhere) {
    std::mt19937 rng(11 + GetParam().chunk);
    for (int trial = 0; trial < 4; ++trial) {
        const std::string plain = randomPlain(rng, 120);
        std::string file = referenceEncrypt(plain);
        // Markers and blank runs put at random places; the probe takes them all away.
        const std::size_t pieces = file.size() - kMarkerLine.size();
        for (int k = 0; k < 3; ++k) {
            file.insert(rng() % (pieces + 1), kMarkerLine);
        }
        file = std::string(rng() % 5, ' ') + file + std::string(rng() % 5, ' ');
        StringReader scanIn(file, GetParam().chunk);
        const EncryptedScan scan = scanEncrypted(scanIn, options());
        ASSERT_TRUE(scan.marked);
        ASSERT_TRUE(scan.lastPartEmpty);
        EXPECT_EQ(checkFirstPart(scan, keyed.cipher()), TextCipher::Outcome::Text);

        StringReader in(file, GetParam().chunk);
        StringWriter out;
        Progress progress;
        decryptStream(in, out, *cipher, scan, options(), progress);
        EXPECT_EQ(out.text, referenceDecrypt(file));
        EXPECT_LE(out.text.size(), scan.decryptedBound);
        if (!progress.values.empty()) {
            EXPECT_EQ(progress.values.back(), scan.parts - 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ChunksBatchesThreads, EngineSizes,
                         ::testing::Values(Sizes{1, 16, 1}, Sizes{2, 40, 2}, Sizes{3, 100, 7},
                                           Sizes{7, 64, 2}, Sizes{64, 200, 1},
                                           Sizes{1000, 1 << 10, 2}, Sizes{1 << 20, 128 << 10, 7}));

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

TEST_F(EngineRules, FieldLongerThanABatchStreamsAndIsRecorded) {
    const std::string text = "short " + std::string(1000, 'x') + " end";
    StringReader scanIn(text, 7);
    const PlainScan scan = scanPlain(scanIn, small());
    ASSERT_EQ(scan.longFields.size(), 1u);
    EXPECT_EQ(scan.longFields[0], (std::pair<std::uint64_t, std::uint64_t>{1, 1000}));
    EXPECT_EQ(scan.longest, 1000u);
    StringReader in(text, 7);
    StringWriter out;
    Progress progress;
    encryptStream(in, out, *cipher, scan, small(), progress);
    EXPECT_EQ(out.text, referenceEncrypt(text));
}

TEST_F(EngineRules, AWrongKeyOrDamageIsTold) {
    const std::string file = referenceEncrypt("one two three");
    StringReader in(file);
    const EncryptedScan scan = scanEncrypted(in, small());
    const TextCipher other(u"other key");
    EXPECT_EQ(checkFirstPart(scan, other.cipher()), TextCipher::Outcome::InvalidPassword);

    std::string damaged = file;
    damaged[70] = 'Z'; // inside the second piece
    StringReader scanIn(damaged);
    const EncryptedScan damagedScan = scanEncrypted(scanIn, small());
    StringReader dIn(damaged, 3);
    StringWriter out;
    Progress progress;
    try {
        decryptStream(dIn, out, *cipher, damagedScan, small(), progress);
        FAIL() << "a damaged piece decrypted";
    } catch (const PartFailed& f) {
        EXPECT_EQ(f.outcome, TextCipher::Outcome::Malformed);
    }
}

TEST_F(EngineRules, ALongFirstPartIsCheckedByItsFirstBlock) {
    const std::string file = referenceEncrypt(std::string(40000, 'q') + " tail");
    StringReader in(file, 1000);
    const EncryptedScan scan = scanEncrypted(in, small());
    ASSERT_GT(scan.firstFullLength, scan.firstFullHead.size());
    EXPECT_EQ(checkFirstPart(scan, keyed.cipher()), TextCipher::Outcome::Text);
    EXPECT_EQ(checkFirstPart(scan, TextCipher(u"nope").cipher()),
              TextCipher::Outcome::InvalidPassword);
    StringReader dIn(file, 1000);
    StringWriter out;
    Progress progress;
    decryptStream(dIn, out, *cipher, scan, small(), progress);
    EXPECT_EQ(out.text, std::string(40000, 'q') + " tail ");
}

TEST_F(EngineRules, CancellingStopsBetweenBatches) {
    std::mt19937 rng(3);
    const std::string text = randomPlain(rng, 400);
    StringReader scanIn(text);
    const PlainScan scan = scanPlain(scanIn, small());
    StringReader in(text);
    StringWriter out;
    Progress progress;
    progress.cancelAfter = 2;
    EXPECT_THROW(encryptStream(in, out, *cipher, scan, small(), progress), OperationCancelled);
    EXPECT_EQ(progress.values.size(), 2u);
}

} // namespace
} // namespace vornal::test
