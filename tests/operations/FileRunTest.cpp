// A file run through its own interface: the bytes it writes, what it tells and logs, the
// refusals that cost nothing, the room it asks for and a run the user stops.
#include "operations/Engine.h"
#include "operations/RunMessages.h"
#include "tests/operations/FileRunFixture.h"
#include "tests/support/Hex.h"

#include <array>
#include <climits>
#include <gmock/gmock.h>
#include <random>
#include <unistd.h>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;
constexpr Direction kEncrypt = Direction::Encrypt;
constexpr Direction kDecrypt = Direction::Decrypt;

TEST_F(FileRunTest, EachFieldBecomesItsPieceThenTheMarkerAndDecryptionGivesTheTextBack) {
    const std::string text = "two  words\r\nand a line";
    writeFile(target, text);
    ASSERT_TRUE(run(kEncrypt).succeeded());
    const std::string file = encrypted({u"two", u"", u"words\r\nand", u"a", u"line"}, u"k");
    EXPECT_EQ(readFile(target), file);
    ASSERT_TRUE(run(kDecrypt).succeeded());
    EXPECT_EQ(readFile(target), text);
    EXPECT_THAT(events.seen,
                ElementsAre("found", "read 22", "rewriting 5", "written 4", "marker", "found",
                            "read " + std::to_string(file.size()), "rewriting 5", "written 4"));
    Row success = row(kEncrypt, u"Success");
    success.first += u" with AES Encryption ";
    EXPECT_THAT(log.rows, ElementsAre(success, row(kDecrypt, u"Success")));
    EXPECT_EQ(leftovers(), Names{});
    EXPECT_TRUE(journal.records().empty());
}

// Half of the runs with a log that cannot be written, which changes no outcome.
TEST_F(FileRunTest, EveryTextComesBackByteForByteEitherWay) {
    std::string every;
    for (int b = 0; b < 256; ++b) {
        every.push_back(static_cast<char>(b));
    }
    std::mt19937 rng(5);
    std::string binary(300'000, '\0');
    for (char& c : binary) {
        c = static_cast<char>(rng() % 256);
    }
    engine.chunkSize = engine.batchSize = 4 << 10; // pieces in many batches
    for (const bool exchange : {false, true}) {
        log.failing = exchange;
        for (const std::string& text : {std::string("x"), std::string(" blanks  around "),
                                        std::string("\r\nline ends\r\n"), every, binary}) {
            reset(text);
            ASSERT_TRUE(run(Way{exchange, true}).succeeded());
            EXPECT_TRUE(text != "x" || readFile(target).size() == 64 + 2 + kMarkerLine.size());
            ASSERT_TRUE(run(Way{exchange, false}).succeeded());
            EXPECT_TRUE(readFile(target) == text) << text.size() << " bytes, " << exchange;
        }
    }
    // What an editor adds after the last piece, and every marker, count for nothing.
    const std::string pieces = piece(u"saved", u"k") + piece(u"again", u"k");
    const std::string m(kMarkerLine);
    for (const auto& [file, text] : {std::pair{pieces + m + "\n", "saved again"},
                                     {pieces + m + "\r\n", "saved again"},
                                     {pieces + "\t \n" + m + "\n\n", "saved again"},
                                     {"  " + m + piece(u"hi", u"k") + m + "  ", "hi"}}) {
        reset(file);
        EXPECT_TRUE(run(kDecrypt).succeeded()) << file;
        EXPECT_EQ(readFile(target), text) << file;
    }
}

// Judged before the backup: the file is only read, and nothing is made beside it.
TEST_F(FileRunTest, RefusalsCostNothingAndLogWhatTheUserMustKnow) {
    const std::u16string right = u"engine key \u00e9";
    const std::string m(kMarkerLine);
    const std::string rest = piece(u"rest", right) + m;
    // "a" framed with one padding byte that is not zero, under the right key.
    std::array<std::uint8_t, 32> padded{2, 0, 0, 0, 'a', 0};
    padded[31] = 1;
    TextCipher(right).cipher().Encrypt(padded);
    const std::string longFirst = piece(std::u16string(100000, u'q'), right) + rest;
    // Another key under which the long piece's first block is all it should be.
    std::string forged = longFirst;
    std::vector<std::uint8_t> first = hex(forged.substr(0, 64));
    TextCipher(right).cipher().Decrypt(first);
    TextCipher(u"forger").cipher().Encrypt(first);
    forged.replace(0, 64, utf16ToUtf8(toHexUpper(first)));
    const std::string good = piece(u"word", u"k");
    const std::u16string wrongKey = u"Failure - Invalid Password";
    const std::u16string damaged = u"Failure - Damaged File";
    const struct {
        std::string file;
        Direction direction;
        std::u16string key;
        RunStatus status;
        std::u16string logged; // empty: no row
    } cases[] = {
        {"", kEncrypt, u"k", RunStatus::Nothing, u""},
        {m, kDecrypt, u"k", RunStatus::Nothing, u""},
        {"see " + m + " here", kEncrypt, u"k", RunStatus::AlreadyEncrypted, u""},
        {"just plain text", kDecrypt, u"k", RunStatus::NotEncrypted, u""},
        {"no separators " + m, kDecrypt, u"k", RunStatus::NotEncrypted, u""},
        {"\n" + good + m, kDecrypt, u"k", RunStatus::Damaged, damaged},
        {good + "trailing words" + m, kDecrypt, u"k", RunStatus::Damaged, damaged},
        {good + m + "\r\n.\n", kDecrypt, u"k", RunStatus::Damaged, damaged},
        {piece(u"several", right) + rest, kDecrypt, u"wrong", RunStatus::WrongKey, wrongKey},
        // The first block reads as a length this piece could have under this key (found by
        // trying keys): judged by that block alone, the key passed and the rewrite began.
        {longFirst, kDecrypt, u"wrong key 9179", RunStatus::WrongKey, wrongKey},
        {forged, kDecrypt, u"forger", RunStatus::WrongKey, wrongKey},
        {utf16ToUtf8(toHexUpper(padded)) + ":\r" + rest, kDecrypt, right, RunStatus::WrongKey,
         wrongKey}, // padding that is not zero
        {piece(u"\u4e2d", right) + rest, kDecrypt, right, RunStatus::WrongKey, wrongKey},
    };
    for (const auto& c : cases) {
        reset(c.file);
        const auto what = std::to_string(&c - cases);
        EXPECT_EQ(run(c.direction, c.key).status, c.status) << what;
        EXPECT_TRUE(readFile(target) == c.file) << what;
        EXPECT_EQ(leftovers(), Names{}) << what;
        EXPECT_TRUE(journal.records().empty()) << what;
        EXPECT_THAT(files.calls, ::testing::Each("openRead " + target)) << what;
        EXPECT_EQ(log.rows,
                  c.logged.empty() ? std::vector<Row>{} : std::vector{row(c.direction, c.logged)})
            << what;
    }
}

TEST_F(FileRunTest, AWordTheFramingCannotHoldIsRefused) {
    // One field of zero bytes, a character longer than a 32-bit length frames; a hole costs
    // the disk nothing. No room: a word let through would stop there.
    files.freeSpaceAnswer = 0;
    writeFile(target, "");
    ASSERT_EQ(::truncate(target.c_str(), (INT32_MAX - 35) / 2 + 1), 0);
    EXPECT_EQ(run(kEncrypt).status, RunStatus::WordTooLong);
    EXPECT_EQ(leftovers(), Names{});
}

// A later part that does not decrypt is damage, not a wrong key: the file is put back,
// and the copy kept of it, where the way leaves one, is named. One part of another key,
// one that is no ciphertext; the engine's own tests tell every kind of bad part apart.
TEST_F(FileRunTest, ALaterPartThatDoesNotDecryptIsDamageAndTheFileIsPutBack) {
    for (const bool exchange : {false, true}) {
        for (const std::string& third : {piece(u"three", u"other"), std::string("XY:\r")}) {
            const std::string file = piece(u"one", u"k") + piece(u"two", u"k") + third +
                                     piece(u"four", u"k") + std::string(kMarkerLine);
            reset(file);
            const FileOutcome o = run(Way{exchange, false});
            EXPECT_EQ(o.status, RunStatus::Failed);
            EXPECT_EQ(o.failure, Failure::Damaged);
            EXPECT_TRUE(o.restored);
            EXPECT_EQ(readFile(target), file);
            EXPECT_EQ(leftovers(), exchange ? Names{} : Names{"plain.txt.bak"});
            EXPECT_EQ(outcomeMessage(o),
                      exchange ? std::u16string(kDamagedMessage)
                               : kDamagedMessage + (u" A copy of it is kept in " +
                                                    utf8ToUtf16(target).value() + u".bak."));
            EXPECT_THAT(log.rows, ElementsAre(row(kDecrypt, u"Failure - Damaged File")));
        }
    }
}

// The room a run needs is that of the way it takes.
TEST_F(FileRunTest, TheRoomAskedForIsWhatTheWayNeeds) {
    const std::string plain = "words that need room";
    const std::string cipher = encrypted({u"words", u"that", u"need", u"room"}, u"k");
    writeFile(target, cipher);
    const std::uint64_t decrypted = scanEncrypted(*files.openRead(target), {}).decryptedBound;
    for (const Way& way : kWays) {
        const std::string& before = way.encrypt ? plain : cipher;
        // Encrypting, room for the new content (the copy of the old is smaller); decrypting,
        // for the new content beside the old where names are exchanged, else for the copy.
        const std::uint64_t needed = way.encrypt || !way.exchange ? cipher.size() : decrypted;
        for (const std::uint64_t room : {needed - 1, needed}) {
            reset(before);
            files.freeSpaceAnswer = room;
            const Direction direction = way.encrypt ? kEncrypt : kDecrypt;
            if (run(way).succeeded()) {
                EXPECT_EQ(room, needed) << way.exchange << way.encrypt;
                continue;
            }
            EXPECT_EQ(room, needed - 1) << way.exchange << way.encrypt;
            EXPECT_EQ(readFile(target), before);
            EXPECT_EQ(leftovers(), Names{});
            EXPECT_THAT(log.rows, ElementsAre(row(direction, u"Failure - Not enough disk space")));
        }
    }
}

// Before the backup the run only stops; after it, the file is put back from it, which the
// copied way keeps.
TEST_F(FileRunTest, ARunTheUserStopsLeavesTheFileAsItWas) {
    std::string words;
    for (int i = 0; i < 3000; ++i) {
        words += "word" + std::to_string(i) + " ";
    }
    engine.chunkSize = engine.batchSize = 4 << 10;
    for (const Way& way : kWays) {
        reset(words);
        ASSERT_TRUE(way.encrypt || run(kEncrypt).succeeded());
        const std::string before = readFile(target);
        for (const bool afterBackup : {false, true}) {
            reset(before);
            cancel = !afterBackup;
            files.onWrite = [&](int) { cancel = true; }; // stops after this write
            const FileOutcome o = run(way);
            files.onWrite = nullptr;
            cancel = false;
            const std::string at = std::to_string(way.exchange) + std::to_string(way.encrypt) +
                                   std::to_string(afterBackup);
            EXPECT_EQ(o.status, afterBackup ? RunStatus::Failed : RunStatus::Cancelled) << at;
            EXPECT_TRUE(!afterBackup || o.failure == Failure::Cancelled) << at;
            EXPECT_TRUE(o.restored && readFile(target) == before) << at;
            const bool kept = afterBackup && !way.exchange;
            EXPECT_EQ(leftovers(), kept ? Names{"plain.txt.bak"} : Names{}) << at;
            EXPECT_TRUE(!kept || readFile(target + ".bak") == before) << at;
            EXPECT_TRUE(log.rows.empty() && journal.records().empty()) << at;
        }
    }
}

} // namespace
} // namespace vornal::test
