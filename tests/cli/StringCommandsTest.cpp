// vornal-cli encrypt-string / decrypt-string, run as a process.
#include "tests/support/Process.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace vornal {
namespace {

using test::ProcessOptions;
using test::ProcessResult;

const std::string kCli = VORNAL_CLI_PATH;

ProcessResult cli(std::vector<std::string> args, ProcessOptions options = {}) {
    return test::runProcess(kCli, args, options);
}

ProcessOptions withKey(const std::string& key, std::string stdinData = {}) {
    ProcessOptions o;
    o.env["VK"] = key;
    o.stdinData = std::move(stdinData);
    return o;
}

std::string encrypt(const std::string& text, const std::string& key) {
    const auto r = cli({"encrypt-string", "--key-env", "VK", text}, withKey(key));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

TEST(CliStrings, EncryptPrintsUpperHexOfTheRightLengthAndDecryptInvertsIt) {
    struct Case {
        std::string text;
        std::size_t hex;
    };
    const std::string key = "a key longer than sixteen characters \xC3\xA9";
    for (const auto& [text, hexLen] :
         {Case{"x", 64}, Case{std::string(14, 'a'), 64}, Case{std::string(15, 'b'), 128},
          Case{std::string(30, 'c'), 128}, Case{std::string(31, 'd'), 192},
          Case{"gr\xC3\xBC\xC3\x9F"
               "e \xF0\x9F\x98\x80",
               64}}) {
        const std::string out = encrypt(text, key);
        ASSERT_EQ(out.back(), '\n');
        const std::string hex = trimmed(out);
        EXPECT_EQ(hex.size(), hexLen) << text;
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const auto back = cli({"decrypt-string", "--key-env", "VK", hex}, withKey(key));
        EXPECT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(back.out, text + "\n");
    }
}

TEST(CliStrings, OnlyTheFirst16KeyCharactersCount) {
    EXPECT_EQ(encrypt("same", "0123456789abcdef-one"), encrypt("same", "0123456789abcdef-two"));
    EXPECT_NE(encrypt("same", "0123456789abcdeX"), encrypt("same", "0123456789abcdef"));
}

TEST(CliStrings, DecryptAcceptsLowerCaseHexFromStandardInput) {
    std::string hex = trimmed(encrypt("from stdin", "k"));
    for (auto& c : hex) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto r = cli({"decrypt-string", "--key-env", "VK"}, withKey("k", hex + "\r\n"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "from stdin\n");
}

TEST(CliStrings, StandardInputLosesExactlyOneTrailingLineEnd) {
    const auto r = cli({"encrypt-string", "--key-env", "VK"}, withKey("k", "two ends\n\n"));
    ASSERT_EQ(r.exitCode, 0);
    const auto back = cli({"decrypt-string", "--key-env", "VK", trimmed(r.out)}, withKey("k"));
    EXPECT_EQ(back.out, "two ends\n\n");
    EXPECT_EQ(trimmed(r.out), trimmed(encrypt("two ends\n", "k")));
}

TEST(CliStrings, WrongKeyPrintsInvalidPasswordAndExits1) {
    const std::string hex = trimmed(encrypt("secret", "right"));
    const auto r = cli({"decrypt-string", "--key-env", "VK", hex}, withKey("wrong"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Invalid password"), std::string::npos) << r.err;
}

TEST(CliStrings, MalformedCiphertextAndEmptyInputsExit1WithoutInvalidPassword) {
    const std::string hex = trimmed(encrypt("secret", "k"));
    for (const std::string& bad : {hex.substr(0, 63), hex.substr(0, 10) + "zz" + hex.substr(12)}) {
        const auto r = cli({"decrypt-string", "--key-env", "VK", bad}, withKey("k"));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.find("Invalid password"), std::string::npos);
        EXPECT_NE(r.err.find("vornal-cli: error:"), std::string::npos);
    }
    // 31 whole bytes: framed wrongly, which the cipher reports as a bad password.
    EXPECT_NE(cli({"decrypt-string", "--key-env", "VK", hex.substr(0, 62)}, withKey("k"))
                  .err.find("Invalid password"),
              std::string::npos);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK", ""}, withKey("k")).exitCode, 1);
    const auto noKey = cli({"encrypt-string", "--key-env", "VK", "text"}, withKey(""));
    EXPECT_EQ(noKey.exitCode, 1);
    EXPECT_NE(noKey.err.find("Please enter a key for encryption."), std::string::npos);
}

TEST(CliStrings, KeyFileGivesItsFirstLineWithoutTheLineEnd) {
    const std::string path = ::testing::TempDir() + "/vornal_key.txt";
    { std::ofstream(path, std::ios::binary) << "file key\r\nsecond line\n"; }
    const auto r = cli({"encrypt-string", "--key-file", path, "text"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, encrypt("text", "file key"));

    ProcessOptions fromStdin;
    fromStdin.stdinData = "file key\n";
    EXPECT_EQ(cli({"encrypt-string", "--key-file=-", "text"}, fromStdin).out, r.out);
    // The key took standard input, so the text has to be an argument.
    EXPECT_EQ(cli({"encrypt-string", "--key-file", "-"}, fromStdin).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-file", path + ".missing", "t"}).exitCode, 2);
    std::remove(path.c_str());
}

TEST(CliStrings, UsageErrorsExit2) {
    ProcessOptions noTerminal;
    noTerminal.stdinData = "text";
    const auto noKey = cli({"encrypt-string"}, noTerminal);
    EXPECT_EQ(noKey.exitCode, 2);
    EXPECT_NE(noKey.err.find("vornal-cli: hint:"), std::string::npos);
    EXPECT_EQ(cli({}).exitCode, 2);
    EXPECT_EQ(cli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK", "--bogus", "t"}, withKey("k")).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK", "a", "b"}, withKey("k")).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "UNSET_VAR_FOR_TEST", "t"}).exitCode, 2);
    EXPECT_EQ(
        cli({"encrypt-string", "--key-env", "VK", "--key-file", "f", "t"}, withKey("k")).exitCode,
        2);
}

TEST(CliStrings, InvalidUtf8IsRefused) {
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK", "bad \xC3("}, withKey("k")).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK"}, withKey("k", "\xFF\xFE")).exitCode, 2);
    EXPECT_EQ(cli({"encrypt-string", "--key-env", "VK", "t"}, withKey("\xC0\xAF")).exitCode, 2);
}

TEST(CliStrings, DoubleDashLetsATextBeginWithADash) {
    const auto r = cli({"encrypt-string", "--key-env", "VK", "--", "--help"}, withKey("k"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto back = cli({"decrypt-string", "--key-env", "VK", trimmed(r.out)}, withKey("k"));
    EXPECT_EQ(back.out, "--help\n");
}

TEST(CliStrings, HelpDocumentsCommandsKeyOptionsAndExitStatus) {
    const auto r = cli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"encrypt-string", "decrypt-string", "--key-env", "--key-file",
                             "Exit status", "Example"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

TEST(CliStrings, VersionNamesTheHelpPageFoundBesideTheProgram) {
    ProcessOptions options;
    options.unsetEnv = {"VORNAL_HELP_DIR"};
    const auto r = cli({"--version"}, options);
    EXPECT_EQ(r.exitCode, 0);
    const std::string prefix = "\nhelp: ";
    const std::size_t at = r.out.find(prefix);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string page = trimmed(r.out.substr(at + prefix.size()));
    std::ifstream in(page);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find("vornal-cli"), std::string::npos) << page;
}

TEST(CliTerminal, PromptsTwiceWithoutEchoAndRefusesAMismatch) {
    const auto ok = test::runOnTerminal(
        kCli, {"encrypt-string", "hidden"},
        {{"Enter encryption key: ", "tty-secret"}, {"Re-enter encryption key: ", "tty-secret"}});
    EXPECT_EQ(ok.exitCode, 0) << ok.out;
    EXPECT_EQ(ok.out.find("tty-secret"), std::string::npos) << "the key was echoed";
    EXPECT_NE(ok.out.find(trimmed(encrypt("hidden", "tty-secret"))), std::string::npos);

    const auto bad = test::runOnTerminal(
        kCli, {"encrypt-string", "hidden"},
        {{"Enter encryption key: ", "one"}, {"Re-enter encryption key: ", "two"}});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("Encryption keys mismatch. Please re-enter both keys."),
              std::string::npos);
}

} // namespace
} // namespace vornal
