// vornal-cli encrypt / decrypt on real files, run as a process.
#include "platform/FileSystem.h"
#include "platform/RunJournal.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
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

TEST_F(CliFiles, AnInterruptedRunIsRefusedListedAndPutBack) {
    const std::string path = dir.file("notes.txt");
    const std::string hidden = dir.file(".notes.txt.vornal-new");
    writeFile(path, "the original words");
    // What a run leaves that died just after its new file took the name.
    PosixFileSystem files;
    RunRecord r;
    r.target = canonicalTarget(path);
    r.backup = canonicalTarget(path + ".bak");
    r.temporary = canonicalTarget(hidden);
    r.expectedSize = 200;
    r.original = files.identify(path);
    RunJournal(dir.file("home/runs")).write(r);
    files.link(path, path + ".bak");
    writeFile(hidden, "half a run's work");
    files.exchange(hidden, path);

    const auto refused = cli({"encrypt", "--key-env", "VK", path});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "vornal-cli: error: " + path +
                               ": An earlier run on this file was interrupted. Put the original "
                               "file back before processing it again.\n"
                               "vornal-cli: hint: put the original back with: vornal-cli recover " +
                               path + "\n");
    EXPECT_EQ(readFile(path), "half a run's work");
    const auto listed = cli({"recover"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, r.target + ": interrupted while encrypting\n");

    const auto back = cli({"recover", path});
    EXPECT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, path + ": The original file was put back.\n");
    EXPECT_EQ(readFile(path), "the original words");
    EXPECT_FALSE(fileExists(path + ".bak"));
    EXPECT_FALSE(fileExists(hidden));
    EXPECT_EQ(cli({"recover"}).out, "");
    EXPECT_EQ(cli({"recover", path}).out, path + ": Nothing needed putting back.\n");
    EXPECT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
}

// Kills or interrupts the command at random moments of a multi-megabyte encryption:
// whatever the moment, what it said is true, and after recover the file is the original
// or its whole encryption, with nothing left beside it.
TEST_F(CliFiles, AKillOrCtrlCAtAnyMomentLosesNothingAndIsToldTruly) {
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

    // How long a whole run takes here, to spread the signals over it.
    writeFile(path, original);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
    const auto whole = std::chrono::steady_clock::now() - start;

    for (const int signal : {SIGKILL, SIGINT}) {
        for (int trial = 0; trial < 6; ++trial) {
            writeFile(path, original);
            // Ctrl-C late in the run more often: after the last check it must not undo a
            // success, nor say that it did.
            const long percent = signal == SIGINT ? 60 + static_cast<long>(rng() % 50)
                                                  : static_cast<long>(rng() % 100);
            const auto delay =
                std::chrono::duration_cast<std::chrono::microseconds>(whole) * percent / 100;
            const std::string said = dir.file("said");
            const pid_t pid = fork();
            if (pid == 0) {
                const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                dup2(out, 1);
                dup2(out, 2);
                setenv("VORNAL_HOME", dir.file("home").c_str(), 1);
                setenv("VK", "file key", 1);
                execl(kCli.c_str(), kCli.c_str(), "encrypt", "--key-env", "VK", path.c_str(),
                      static_cast<char*>(nullptr));
                _exit(127);
            }
            std::this_thread::sleep_for(delay);
            kill(pid, signal);
            waitpid(pid, nullptr, 0);
            const std::string what = readFile(said);
            const std::string where = strsignal(signal) + std::string(" after ") +
                                      std::to_string(delay.count()) + " us: " + what;
            const bool success = what.find("File successfully Encrypted.") != std::string::npos;
            const bool asItWas = what.find("cancelled; the file is as it was") != std::string::npos;
            EXPECT_FALSE(success && asItWas) << where;
            if (asItWas) {
                EXPECT_EQ(readFile(path), original) << where;
            }
            const auto recovered = cli({"recover", path});
            EXPECT_EQ(recovered.exitCode, 0) << where << recovered.err;
            if (readFile(path) != original) {
                EXPECT_FALSE(asItWas) << where;
                ASSERT_EQ(cli({"decrypt", "--key-env", "VK", path}).exitCode, 0) << where;
                EXPECT_TRUE(readFile(path) == original) << where;
            }
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                const std::string name = entry.path().filename();
                EXPECT_TRUE(name == "big.txt" || name == "home" || name == "said") << name;
            }
        }
    }
}

} // namespace
} // namespace vornal::test
