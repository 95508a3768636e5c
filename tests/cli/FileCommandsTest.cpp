// vornal-cli encrypt / decrypt on real files, run as a process.
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vornal::test {
namespace {

const std::string kCli = VORNAL_CLI_PATH;

class CliFiles : public ::testing::Test {
protected:
    TempDir dir;
    ProcessOptions options() const {
        ProcessOptions o;
        o.env["VORNAL_HOME"] = dir.file("home");
        o.env["VK"] = "file key";
        return o;
    }
    ProcessResult cli(std::vector<std::string> args) const {
        return runProcess(kCli, args, options());
    }
    std::string logText() const { return readFile(dir.file("home/log/log.html")); }
};

TEST_F(CliFiles, EncryptsInPlaceAndDecryptsBack) {
    const std::string path = dir.file("notes.txt");
    writeFile(path, "meet me at the usual place");
    const auto enc = cli({"encrypt", "--key-env", "VK", path});
    EXPECT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(enc.out, path + ": File successfully Encrypted.\n");
    const std::string encrypted = readFile(path);
    EXPECT_NE(encrypted.find("File encrypted by: Vornal Encryption"), std::string::npos);
    EXPECT_EQ(encrypted.find("usual"), std::string::npos);
    EXPECT_FALSE(fileExists(path + ".bak"));

    const auto dec = cli({"decrypt", "--key-env", "VK", path});
    EXPECT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(readFile(path), "meet me at the usual place");
    EXPECT_NE(logText().find("Encrypting \"" + path + "\" with AES Encryption "),
              std::string::npos);
    EXPECT_NE(logText().find("Decrypting \"" + path + "\""), std::string::npos);
}

TEST_F(CliFiles, AProgramFolderAndLogMadeOpenAreTightened) {
    std::filesystem::create_directories(dir.file("home/log"));
    writeFile(dir.file("home/log/log.html"), "<table border>\r\n");
    for (const char* name : {"home", "home/log"}) {
        ::chmod(dir.file(name).c_str(), 0755);
    }
    ::chmod(dir.file("home/log/log.html").c_str(), 0644);
    const std::string path = dir.file("notes.txt");
    writeFile(path, "private");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
    const auto permissions = [&](const char* name) {
        return std::filesystem::status(dir.file(name)).permissions();
    };
    using std::filesystem::perms;
    EXPECT_EQ(permissions("home"), perms::owner_all);
    EXPECT_EQ(permissions("home/log"), perms::owner_all);
    EXPECT_EQ(permissions("home/log/log.html"), perms::owner_read | perms::owner_write);
}

TEST_F(CliFiles, EveryFileIsTriedAndAnyFailureMakesTheStatus1) {
    const std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    writeFile(a, "alpha");
    writeFile(b, "beta");
    const auto r = cli({"encrypt", "--key-env", "VK", a, dir.file("missing.txt"), b});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("missing.txt: Unable to find the file specified."), std::string::npos);
    EXPECT_NE(r.out.find("a.txt: File successfully Encrypted."), std::string::npos);
    EXPECT_NE(r.out.find("b.txt: File successfully Encrypted."), std::string::npos);
}

TEST_F(CliFiles, AWrongKeyLeavesTheFileAndSaysInvalidPassword) {
    const std::string path = dir.file("secret.txt");
    writeFile(path, "top secret");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
    const std::string encrypted = readFile(path);
    auto o = options();
    o.env["VK"] = "not the key";
    const auto r = runProcess(kCli, {"decrypt", "--key-env", "VK", path}, o);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Invalid password"), std::string::npos);
    EXPECT_EQ(readFile(path), encrypted);
    EXPECT_FALSE(fileExists(path + ".bak"));
}

TEST_F(CliFiles, RefusalsUseTheProgramsOwnWords) {
    const std::string plain = dir.file("plain.txt"), empty = dir.file("empty.txt");
    writeFile(plain, "plain words");
    writeFile(empty, "");
    const auto notEncrypted = cli({"decrypt", "--key-env", "VK", plain});
    EXPECT_EQ(notEncrypted.exitCode, 1);
    EXPECT_NE(notEncrypted.err.find("File Not Encrypted with Vornal, Cannot Decrypt"),
              std::string::npos);
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", plain}).exitCode, 0);
    const auto twice = cli({"encrypt", "--key-env", "VK", plain});
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_NE(twice.err.find("File Already Encrypted by Vornal"), std::string::npos);
    const auto nothing = cli({"encrypt", "--key-env", "VK", empty});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.err.find("empty"), std::string::npos);
    EXPECT_EQ(cli({"encrypt", "--key-env", "VK"}).exitCode, 2);
}

TEST_F(CliFiles, NamesWithBlanksAndShellCharactersAreFilesLikeAnyOther) {
    const std::string odd = dir.file("a file; $(echo no) 'quoted' \xC3\xA9.txt");
    writeFile(odd, "odd name");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", odd}).exitCode, 0);
    ASSERT_EQ(cli({"decrypt", "--key-env", "VK", odd}).exitCode, 0);
    EXPECT_EQ(readFile(odd), "odd name");
}

TEST_F(CliFiles, ANameEndingInABlankIsThatFileNotItsNeighbour) {
    writeFile(dir.file("notes "), "with the blank");
    writeFile(dir.file("notes"), "without");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", dir.file("notes ")}).exitCode, 0);
    EXPECT_EQ(readFile(dir.file("notes")), "without");
    EXPECT_NE(readFile(dir.file("notes ")).find("File encrypted by"), std::string::npos);
}

// Kills the command at random moments of a multi-megabyte encryption: whatever the
// moment, the original is still there, as the file, as its backup, or encrypted whole.
TEST_F(CliFiles, AKillAtAnyMomentLosesNothing) {
    std::mt19937 rng(20261206);
    std::string original;
    static const char* const kWords[] = {"the",  "quick", "brown", "fox", "jumps",
                                         "over", "a",     "lazy",  "dog", "again\r\n"};
    while (original.size() < 3'000'000) {
        original += kWords[rng() % 10];
        original += ' ';
    }
    original.pop_back();
    const std::string path = dir.file("big.txt");

    // How long a whole run takes here, to spread the kills over it.
    writeFile(path, original);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
    const auto whole = std::chrono::steady_clock::now() - start;

    for (int trial = 0; trial < 6; ++trial) {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().rfind("big.txt", 0) == 0) {
                std::filesystem::remove(entry.path());
            }
        }
        writeFile(path, original);
        const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                           static_cast<long>(rng() % 100) / 100;
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("VORNAL_HOME", dir.file("home").c_str(), 1);
            setenv("VK", "file key", 1);
            execl(kCli.c_str(), kCli.c_str(), "encrypt", "--key-env", "VK", path.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        std::this_thread::sleep_for(delay);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);

        bool recoverable = readFile(path) == original;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("big.txt.bak", 0) == 0 && readFile(entry.path()) == original) {
                recoverable = true;
            }
        }
        if (!recoverable) {
            // The run had finished: the file must decrypt to the original words.
            const auto dec = cli({"decrypt", "--key-env", "VK", path});
            recoverable = dec.exitCode == 0 && readFile(path) == original;
        }
        EXPECT_TRUE(recoverable) << "trial " << trial << " killed after " << delay.count() << " us";
    }
}

} // namespace
} // namespace vornal::test
