// The decrypt operation on files and strings, as the start command runs it.
#include "operations/RunMessages.h"
#include "tests/operations/OperationFixture.h"
#include "tests/support/Hex.h"

#include <array>
#include <filesystem>
#include <gmock/gmock.h>
#include <random>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;

class DecryptFile : public OperationFixture {
protected:
    void encryptWords(const std::string& text, const std::u16string& key) {
        writeFile(target, text);
        selectFile(target);
        keys(key);
        encrypt();
        ASSERT_EQ(readFile(target).size(), encryptedSize(text));
        window.looks.clear();
        window.progress.clear();
    }
    void decryptFile(const std::string& bytes, const std::u16string& key) {
        writeFile(target, bytes);
        selectFile(target);
        keys(key);
        files.calls.clear();
        window.messages.boxes.clear();
        window.looks.clear();
        decrypt();
    }
    std::string quoted() const { return "Decrypting \"" + target + "\""; }
    static std::string piece(const std::u16string& text, const std::u16string& key) {
        return utf16ToUtf8(modAES::EncryptString(text, key)) + ":\r";
    }
};

TEST_F(DecryptFile, ARoundTripGivesBackTheVeryBytes) {
    std::mt19937 rng(5);
    std::string binary(3000, '\0');
    for (char& c : binary) {
        c = static_cast<char>(rng() % 256);
    }
    for (const std::string& text : {std::string("two words"), std::string(" blanks  around "),
                                    std::string("\r\nline ends\r\n"), binary}) {
        encryptWords(text, u"key");
        decrypt();
        EXPECT_EQ(readFile(target), text);
        EXPECT_FALSE(fileExists(target + ".bak"));
        EXPECT_EQ(window.looks, std::vector{successLook(u"File successfully Decrypted.")});
        EXPECT_EQ(logRows().back(), (std::pair{quoted(), std::string("Success")}));
    }
}

TEST_F(DecryptFile, EmptyFieldsComeBackAsSingleBlanksAndProgressFollowsTheParts) {
    encryptWords("a  b", u"key");
    decrypt();
    EXPECT_EQ(readFile(target), "a  b");
    // 30 at the start, the last part written, +5 at success, then 0 twice.
    EXPECT_THAT(window.progress, ElementsAre(30, 2, 7, 0, 0));
    EXPECT_EQ(window.state(Ctl::ProgressBar2).max, 2 + 20);
}

TEST_F(DecryptFile, TheBackupIsOnDiskBeforeTheFileIsWrittenOverAndDeletedOnlyAfterTheNewContent) {
    std::string words;
    for (int i = 0; i < 3000; ++i) {
        words += "word" + std::to_string(i) + " ";
    }
    encryptWords(words, u"k");
    files.calls.clear();
    decrypt();
    EXPECT_EQ(readFile(target), words);
    // The first such call at or after from.
    auto at = [&](const std::string& call, std::ptrdiff_t from = 0) {
        const auto it = std::find(files.calls.begin() + from, files.calls.end(), call);
        EXPECT_NE(it, files.calls.end()) << call;
        return it - files.calls.begin();
    };
    const auto backup = at("copyToNew " + target + " " + target + ".bak");
    const auto over = at("openRewrite " + target);
    // The probe read the file before; the text written over is read after the backup.
    const auto reads = at("openRead " + target, backup);
    const auto flushed = at("sync " + target);
    const auto removed = at("remove " + target + ".bak");
    EXPECT_LT(backup, reads);
    EXPECT_LT(reads, over);
    EXPECT_LT(flushed, removed);
    EXPECT_LT(at("close " + target), removed);
    EXPECT_THAT(files.calls, ::testing::Not(::testing::Contains("openTruncated " + target)));
}

TEST_F(DecryptFile, AWrongKeyIsToldByTheWholeFirstPieceBeforeTheFileIsTouched) {
    const std::u16string right = u"engine key \u00e9";
    // "a" framed with one padding byte that is not zero, under the right key.
    std::array<std::uint8_t, 32> padded{2, 0, 0, 0, 'a', 0};
    padded[31] = 1;
    TextCipher(right).cipher().Encrypt(padded);
    const std::string rest = piece(u"rest", right) + std::string(kMarkerLine);
    const std::string longFirst = piece(std::u16string(100000, u'q'), right) + rest;
    // Another key under which the long piece's first block is all it should be.
    std::string forged = longFirst;
    std::vector<std::uint8_t> first = hex(forged.substr(0, 64));
    TextCipher(right).cipher().Decrypt(first);
    TextCipher(u"forger").cipher().Encrypt(first);
    forged.replace(0, 64, utf16ToUtf8(toHexUpper(first)));
    const struct {
        const char* what;
        std::string file;
        std::u16string key;
    } cases[] = {
        {"another key", piece(u"several", right) + rest, u"wrong"},
        // The first block reads as a length this piece could have under this key (found by
        // trying keys): judged by that block alone, the key passed and the rewrite began.
        {"a plausible length", longFirst, u"wrong key 9179"},
        {"a whole first block", forged, u"forger"},
        {"non-zero padding", utf16ToUtf8(toHexUpper(padded)) + ":\r" + rest, right},
        {"no Windows-1252 byte", piece(u"\u4e2d", right) + rest, right},
    };
    for (const auto& c : cases) {
        decryptFile(c.file, c.key);
        EXPECT_EQ(readFile(target), c.file) << c.what;
        EXPECT_FALSE(fileExists(target + ".bak")) << c.what;
        for (const std::string& call : files.calls) {
            if (call.find(target) != std::string::npos) {
                EXPECT_EQ(call, "openRead " + target) << c.what;
            }
        }
        EXPECT_THAT(boxPrompts(), ElementsAre(u"Invalid password")) << c.what;
        EXPECT_TRUE(!window.messages.boxes.empty() && window.messages.boxes[0].title == u"Error");
        EXPECT_EQ(logRows().back(),
                  (std::pair{quoted(), std::string("Failure - Invalid Password")}));
        EXPECT_TRUE(window.looks.empty()) << c.what;
    }
}

TEST_F(DecryptFile, ALaterPieceThatDoesNotDecryptIsDamageAndTheFileIsPutBack) {
    std::string changedDigit = piece(u"three", u"k");
    changedDigit[10] = changedDigit[10] == 'A' ? 'B' : 'A';
    for (const std::string& third :
         {piece(u"three", u"other"), changedDigit, piece(u"\u4e2d", u"k"),
          piece(u"three", u"k").substr(1), std::string("XY:\r")}) {
        const std::string file = piece(u"one", u"k") + piece(u"two", u"k") + third +
                                 piece(u"four", u"k") + std::string(kMarkerLine);
        decryptFile(file, u"k");
        EXPECT_EQ(readFile(target), file);
        EXPECT_TRUE(window.messages.boxes.empty());
        // Whether the backup outlives putting the file back depends on how it was made; the
        // message names it only when it is there.
        const std::string backup = target + ".bak";
        const std::u16string kept =
            fileExists(backup) ? u" A copy of it is kept in " + utf8ToUtf16(backup).value() + u"."
                               : u"";
        EXPECT_EQ(window.looks, flashLooks(kDamagedMessage + kept));
        EXPECT_EQ(logRows().back(), (std::pair{quoted(), std::string("Failure - Damaged File")}));
        std::filesystem::remove(backup);
    }
}

TEST_F(DecryptFile, DamagedPiecesAreRefusedInsteadOfDecryptingToNothing) {
    const std::string good = piece(u"word", u"k");
    const std::string m(kMarkerLine);
    for (const std::string& damaged : {"\n" + good + m,             // a line feed first
                                       good + "trailing words" + m, // text after pieces
                                       good + m + "\r\n.\n"}) {     // not only line ends
        decryptFile(damaged, u"k");
        EXPECT_EQ(readFile(target), damaged);
        EXPECT_FALSE(fileExists(target + ".bak"));
        EXPECT_EQ(window.looks, flashLooks(kDamagedMessage));
        EXPECT_EQ(logRows().back().second, "Failure - Damaged File");
    }
}

TEST_F(DecryptFile, LineEndsAndBlanksAnEditorAddsAfterTheLastPieceAreIgnored) {
    const std::string pieces = piece(u"saved", u"k") + piece(u"again", u"k");
    const std::string m(kMarkerLine);
    for (const std::string& file :
         {pieces + m + "\n", pieces + m + "\r\n", pieces + "\t \n" + m + "\n\n"}) {
        decryptFile(file, u"k");
        EXPECT_EQ(readFile(target), "saved again");
        EXPECT_EQ(window.looks, std::vector{successLook(u"File successfully Decrypted.")});
    }
}

TEST_F(DecryptFile, APlainFileIsRefusedAndLeftAlone) {
    writeFile(target, "just plain text");
    selectFile(target);
    keys(u"k");
    decrypt();
    EXPECT_EQ(readFile(target), "just plain text");
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_EQ(window.looks, flashLooks(u"File Not Encrypted with Vornal, Cannot Decrypt"));
}

TEST_F(DecryptFile, OnlyTheMarkerOrNoPiecesWritesNothing) {
    writeFile(target, std::string(kMarkerLine));
    selectFile(target);
    keys(u"k");
    decrypt();
    EXPECT_EQ(readFile(target), std::string(kMarkerLine));
    EXPECT_TRUE(window.looks.empty());
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");

    const std::string noPieces = "no separators " + std::string(kMarkerLine);
    writeFile(target, noPieces);
    decrypt();
    EXPECT_EQ(readFile(target), noPieces);
    EXPECT_FALSE(fileExists(target + ".bak"));
}

TEST_F(DecryptFile, EveryMarkerIsRemovedAndBlanksAroundTrimmed) {
    const std::string m(kMarkerLine);
    decryptFile("  " + m + piece(u"hi", u"k") + m + "  ", u"k");
    EXPECT_EQ(readFile(target), "hi");
}

TEST_F(DecryptFile, KeyFailuresUseTheirOwnWords) {
    encryptWords("x", u"k");
    keys(u"", u"k");
    decrypt();
    EXPECT_EQ(window.looks, flashLooks(u"Please enter the Encryption key. Note that you have to "
                                       u"enter 2 times for confirmation."));
    keys(u"K", u"k");
    decrypt();
    EXPECT_THAT(logRows(),
                ElementsAre(std::pair{"Encrypting \"" + target + "\" with AES Encryption ",
                                      std::string("Success")},
                            std::pair{quoted(), std::string("Failure - Missing Key")},
                            std::pair{quoted(), std::string("Failure - Key Mis-Match")}));
}

class DecryptString : public OperationFixture {};

TEST_F(DecryptString, RoundTripsThroughTheStringBox) {
    window.setText(Ctl::stringpath, modAES::EncryptString(u"caf\u00e9 \u65e5\u672c", u"k"));
    keys(u"k");
    decrypt();
    EXPECT_EQ(window.text(Ctl::stringpath), u"caf\u00e9 \u65e5\u672c");
    EXPECT_EQ(window.looks, std::vector{successLook(u"String successfully Decrypted.")});
}

TEST_F(DecryptString, AWrongKeyEmptiesTheBoxWithoutSuccess) {
    window.setText(Ctl::stringpath, modAES::EncryptString(u"secret", u"k"));
    keys(u"nope");
    decrypt();
    EXPECT_EQ(window.text(Ctl::stringpath), u"");
    EXPECT_THAT(boxPrompts(), ElementsAre(u"Invalid password"));
    EXPECT_TRUE(window.looks.empty());
    EXPECT_TRUE(logRows().empty());
}

} // namespace
} // namespace vornal::test
