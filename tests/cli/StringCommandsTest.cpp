// vornal-cli encrypt-string / decrypt-string, help and version, run as a process.
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

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

std::string encrypt(const std::string& text, const std::string& key) {
    const auto r = cli({"encrypt-string", "--key-env", "VK", "--", text}, withKey(key));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.back(), '\n');
    return trimmed(r.out);
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
          Case{"--help", 64}, // after "--", text
          Case{"gr\xC3\xBC\xC3\x9F"
               "e \xF0\x9F\x98\x80",
               64}}) {
        const std::string hex = encrypt(text, key);
        EXPECT_EQ(hex.size(), hexLen) << text;
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const auto back = cli({"decrypt-string", "--key-env", "VK", hex}, withKey(key));
        EXPECT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(back.out, text + "\n");
    }
    EXPECT_EQ(encrypt("same", "0123456789abcdef-one"), encrypt("same", "0123456789abcdef-two"))
        << "only the first 16 key characters count";
    EXPECT_NE(encrypt("same", "0123456789abcdeX"), encrypt("same", "0123456789abcdef"));
}

TEST(CliStrings, StandardInputLosesExactlyOneTrailingLineEndAndHexMayBeLowerCase) {
    const auto r = cli({"encrypt-string", "--key-env", "VK"}, withKey("k", "two ends\n\n"));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(trimmed(r.out), encrypt("two ends\n", "k"));
    std::string hex = trimmed(r.out);
    for (auto& c : hex) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto back = cli({"decrypt-string", "--key-env", "VK"}, withKey("k", hex + "\r\n"));
    EXPECT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, "two ends\n\n");
}

TEST(CliStrings, EachFailureHasItsExitStatusAndItsOwnWords) {
    const std::string hex = encrypt("secret", "k");
    struct Case {
        std::vector<std::string> args;
        std::string key, stdinData;
        int status;
        std::string said;
    };
    for (const Case& c : std::vector<Case>{
             {{"decrypt-string", "--key-env", "VK", hex}, "wrong", "", 3, "Invalid password"},
             // 31 whole bytes: framed wrongly, which the cipher reports as a bad password.
             {{"decrypt-string", "--key-env", "VK", hex.substr(0, 62)}, "k", "", 3, "Invalid"},
             {{"decrypt-string", "--key-env", "VK", hex.substr(0, 63)}, "k", "", 4, "not a cipher"},
             {{"decrypt-string", "--key-env", "VK", "zz" + hex.substr(2)},
              "k",
              "",
              4,
              "not a ciph"},
             {{"encrypt-string", "--key-env", "VK", ""}, "k", "", 1, "nothing to encrypt"},
             {{"encrypt-string", "--key-env", "VK", "t"}, "", "", 1, "Please enter a key for"},
             {{"encrypt-string"}, "k", "text", 2, "hint: use --key-env VAR or --key-file FILE"},
             {{"encrypt-string", "--key-env", "UNSET_VAR_FOR_TEST", "t"}, "", "", 2, "not set"},
             {{"encrypt-string", "--key-env", "VK", "--key-file", "f", "t"}, "k", "", 2, "once"},
             {{"encrypt-string", "--key-file", "-"}, "", "k\n", 2, "must be an argument"},
             {{"encrypt-string", "--key-env", "VK", "--bogus", "t"}, "k", "", 2, "unknown option"},
             {{"encrypt-string", "--key-env", "VK", "a", "b"}, "k", "", 2, "too many arguments"},
             {{"encrypt-string", "--key-env", "VK", "bad \xC3("}, "k", "", 2, "not valid UTF-8"},
             {{"encrypt-string", "--key-env", "VK"}, "k", "\xFF\xFE", 2, "not valid UTF-8"},
             {{"encrypt-string", "--key-env", "VK", "t"}, "\xC0\xAF", "", 2, "not valid UTF-8"},
             {{"frobnicate"}, "", "", 2, "unknown command frobnicate"},
             {{}, "", "", 2, "Usage: vornal-cli COMMAND"}}) {
        SCOPED_TRACE(c.said);
        const auto r = cli(c.args, withKey(c.key, c.stdinData));
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliStrings, KeyFileGivesItsFirstLineWithoutTheLineEnd) {
    const std::string path = ::testing::TempDir() + "/vornal_key.txt";
    { std::ofstream(path, std::ios::binary) << "file key\r\nsecond line\n"; }
    const auto r = cli({"encrypt-string", "--key-file", path, "text"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(trimmed(r.out), encrypt("text", "file key"));
    ProcessOptions fromStdin;
    fromStdin.stdinData = "file key\n";
    EXPECT_EQ(cli({"encrypt-string", "--key-file=-", "text"}, fromStdin).out, r.out);
    std::remove(path.c_str());
}

TEST(CliHelp, EachCommandHasItsOwnHelpTheWholeOneHasTheExitStatusesAndVersionTheHelpPage) {
    for (const char* command :
         {"encrypt", "decrypt", "recover", "encrypt-string", "decrypt-string"}) {
        for (const char* flag : {"-h", "--help"}) {
            const auto r = cli({command, flag});
            EXPECT_EQ(r.exitCode, 0) << command;
            EXPECT_EQ(r.out.rfind("Usage: vornal-cli " + std::string(command) + " ", 0), 0)
                << r.out;
            EXPECT_NE(r.out.find("\nExample:\n  $ vornal-cli " + std::string(command)),
                      std::string::npos)
                << r.out;
        }
    }
    const auto whole = cli({"--help"});
    EXPECT_EQ(whole.exitCode, 0);
    for (const char* status :
         {"0    success", "1    any other", "2    usage", "3    wrong key", "4    damaged",
          "5    file not", "6    not enough room", "130  interrupted by Ctrl-C"}) {
        EXPECT_NE(whole.out.find(std::string("\n  ") + status), std::string::npos) << status;
    }
    // The version names the help page found beside the program.
    ProcessOptions options;
    options.unsetEnv = {"VORNAL_HELP_DIR"};
    const auto r = cli({"--version"}, options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(cli({"-V"}, options).out, r.out);
    const std::string prefix = "\nhelp: ";
    const std::size_t at = r.out.find(prefix);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string page = trimmed(r.out.substr(at + prefix.size()));
    std::ifstream in(page);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find("vornal-cli"), std::string::npos) << page;
}

// Asking twice when encrypting and once when decrypting a file is tested with the files.
TEST(CliTerminal, EncryptingRefusesAMismatchAndDecryptingAsksOnce) {
    const auto bad = test::runOnTerminal(
        kCli, {"encrypt-string", "hidden"},
        {{"Enter encryption key: ", "one"}, {"Re-enter encryption key: ", "two"}});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("Encryption keys mismatch. Please re-enter both keys."),
              std::string::npos);
    const auto back = test::runOnTerminal(kCli, {"decrypt-string", encrypt("hidden", "tty-key")},
                                          {{"Enter encryption key: ", "tty-key"}});
    EXPECT_EQ(back.exitCode, 0) << back.out;
    EXPECT_EQ(back.out.find("Re-enter"), std::string::npos) << back.out;
    EXPECT_NE(back.out.find("hidden"), std::string::npos) << back.out;
}

} // namespace
} // namespace vornal
