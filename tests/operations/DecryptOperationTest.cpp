// The decrypt operation on files and strings, as the start command runs it.
#include "tests/operations/OperationFixture.h"

#include <gmock/gmock.h>

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
    std::string quoted() const { return "Decrypting \"" + target + "\""; }
};

TEST_F(DecryptFile, GivesTheFieldsJoinedByBlanksWithOneBlankAfterTheLast) {
    encryptWords("two words", u"key");
    decrypt();
    EXPECT_EQ(readFile(target), "two words ");
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_EQ(window.looks, std::vector{successLook(u"File successfully Decrypted.")});
    EXPECT_EQ(logRows().back(), (std::pair{quoted(), std::string("Success")}));
}

TEST_F(DecryptFile, EmptyFieldsComeBackAsSingleBlanksAndProgressFollowsTheParts) {
    encryptWords("a  b", u"key");
    decrypt();
    EXPECT_EQ(readFile(target), "a  b ");
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
    EXPECT_EQ(readFile(target), words + " ");
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

TEST_F(DecryptFile, AWrongKeyCostsNothing) {
    encryptWords("several words of secret text", u"right");
    const std::string encrypted = readFile(target);
    keys(u"wrong");
    decrypt();
    EXPECT_EQ(readFile(target), encrypted);
    EXPECT_FALSE(fileExists(target + ".bak"));
    EXPECT_THAT(boxPrompts(), ElementsAre(u"Invalid password"));
    EXPECT_EQ(window.messages.boxes[0].title, u"Error");
    EXPECT_EQ(logRows().back(), (std::pair{quoted(), std::string("Failure - Invalid Password")}));
    EXPECT_TRUE(std::none_of(window.looks.begin(), window.looks.end(),
                             [](const auto& l) { return l.panel == Colour::Success; }));
}

TEST_F(DecryptFile, ALaterPartThatFailsRestoresTheFileAndKeepsTheBackup) {
    // The second piece was made with another key: the first decrypts, the second does not.
    const std::string mixed = utf16ToUtf8(modAES::EncryptString(u"one", u"right")) + ":\r" +
                              utf16ToUtf8(modAES::EncryptString(u"two", u"other")) + ":\r" +
                              std::string(kMarkerLine);
    writeFile(target, mixed);
    selectFile(target);
    keys(u"right");
    decrypt();
    EXPECT_EQ(readFile(target), mixed);
    EXPECT_EQ(readFile(target + ".bak"), mixed);
    EXPECT_THAT(boxPrompts(), ElementsAre(u"Invalid password"));
    EXPECT_EQ(logRows().back().second, "Failure - Invalid Password");
}

TEST_F(DecryptFile, DamagedPiecesAreRefusedInsteadOfDecryptingToNothing) {
    const std::string good = utf16ToUtf8(modAES::EncryptString(u"word", u"k"));
    for (const std::string& damaged :
         {"\n" + good + ":\r" + std::string(kMarkerLine),                   // line feeds added
          good + ":\r" + good.substr(1) + ":\r" + std::string(kMarkerLine), // digit lost
          good + ":\rtrailing words" + std::string(kMarkerLine)}) {         // text after pieces
        writeFile(target, damaged);
        selectFile(target);
        keys(u"k");
        window.looks.clear();
        decrypt();
        EXPECT_EQ(readFile(target), damaged);
        EXPECT_EQ(window.looks, flashLooks(kDamagedMessage));
        EXPECT_EQ(logRows().back().second, "Failure - Damaged File");
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
    const std::string piece = utf16ToUtf8(modAES::EncryptString(u"hi", u"k")) + ":\r";
    writeFile(target, "  " + std::string(kMarkerLine) + piece + std::string(kMarkerLine) + "  ");
    selectFile(target);
    keys(u"k");
    decrypt();
    EXPECT_EQ(readFile(target), "hi ");
}

TEST_F(DecryptFile, TextWithoutABytePerCharacterTakesTheErrorPath) {
    // A string-mode ciphertext of a character Windows-1252 has no byte for, put in a file.
    const std::string piece = utf16ToUtf8(modAES::EncryptString(u"\u4e2d", u"k")) + ":\r";
    writeFile(target, piece + std::string(kMarkerLine));
    selectFile(target);
    keys(u"k");
    decrypt();
    EXPECT_EQ(readFile(target), piece + std::string(kMarkerLine));
    EXPECT_EQ(readFile(target + ".bak"), piece + std::string(kMarkerLine));
    EXPECT_EQ(logRows().back().second,
              "Failure: " + utf16ToUtf8(numberAndText(RunError::fromErrno(EILSEQ))));
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
