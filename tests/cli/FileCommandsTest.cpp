// vornal-cli encrypt / decrypt / recover on real files, run as a process.
#include "platform/FileSystem.h"
#include "platform/RunJournal.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <signal.h>
#include <sys/mount.h>
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
        o.env["WRONG"] = "not the key";
        o.env["EMPTY"] = "";
        return o;
    }
    ProcessResult cli(std::vector<std::string> args) const {
        return runProcess(kCli, args, options());
    }
    // Every file of the folder but the program folder, with its content.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> all;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename() != "home") {
                all[entry.path().filename()] = readFile(entry.path());
            }
        }
        return all;
    }
};

TEST_F(CliFiles, EncryptsInPlaceAndDecryptsBackWhateverTheName) {
    // A program folder and log that someone left open are tightened on the way.
    std::filesystem::create_directories(dir.file("home/log"));
    writeFile(dir.file("home/log/log.html"), "<table border>\r\n");
    const std::pair<const char*, int> kModes[] = {
        {"home", 0700}, {"home/log", 0700}, {"home/log/log.html", 0600}};
    for (const auto& [name, mode] : kModes) {
        ::chmod(dir.file(name).c_str(), mode | 0055);
    }
    // "notes " is that file, not its neighbour without the blank.
    writeFile(dir.file("notes"), "without");
    const std::vector<std::string> names = {dir.file("notes.txt"),
                                            dir.file("a file; $(echo no) 'quoted' \xC3\xA9.txt"),
                                            dir.file("notes ")};
    std::string said;
    for (const std::string& name : names) {
        writeFile(name, "meet me at the usual place");
        said += name + ": File successfully Encrypted.\n";
    }
    std::vector<std::string> args = {"encrypt", "--key-env", "VK"};
    args.insert(args.end(), names.begin(), names.end());
    const auto enc = cli(args);
    EXPECT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(enc.out, said);
    for (const std::string& name : names) {
        EXPECT_NE(readFile(name).find("File encrypted by: Vornal Encryption"), std::string::npos);
        EXPECT_EQ(readFile(name).find("usual"), std::string::npos);
        EXPECT_FALSE(fileExists(name + ".bak"));
    }
    EXPECT_EQ(readFile(dir.file("notes")), "without");

    args[0] = "decrypt";
    args.insert(args.begin() + 1, "-q");
    const auto dec = cli(args);
    EXPECT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(dec.out, "") << "--quiet prints no success line";
    for (const std::string& name : names) {
        EXPECT_EQ(readFile(name), "meet me at the usual place");
    }
    const std::string log = readFile(dir.file("home/log/log.html"));
    EXPECT_NE(log.find("Encrypting \"" + names[0] + "\" with AES Encryption "), std::string::npos);
    EXPECT_NE(log.find("Decrypting \"" + names[0] + "\""), std::string::npos);
    for (const auto& [name, mode] : kModes) {
        EXPECT_EQ(static_cast<int>(std::filesystem::status(dir.file(name)).permissions()), mode)
            << name;
    }
}

TEST_F(CliFiles, EachFailureHasItsExitStatusAndCostsNothing) {
    const std::string secret = dir.file("secret.txt"), plain = dir.file("plain.txt");
    writeFile(secret, "top secret words");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", secret}).exitCode, 0);
    std::string damaged = readFile(secret);
    damaged[0] = 'G'; // not a hexadecimal digit
    writeFile(dir.file("damaged.txt"), damaged);
    writeFile(plain, "plain words");
    writeFile(dir.file("empty.txt"), "");
    const std::string missing = dir.file("missing.txt");

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;
    };
    for (const Case& c : std::vector<Case>{
             {{"decrypt", "--key-env", "WRONG", secret}, 3, "secret.txt: Invalid password"},
             {{"decrypt", "--key-env", "VK", dir.file("damaged.txt")}, 4, "damaged and cannot be"},
             {{"decrypt", "--key-env", "VK", plain},
              4,
              "plain.txt: File Not Encrypted with Vornal"},
             {{"encrypt", "--key-env", "VK", secret}, 4, "File Already Encrypted by Vornal"},
             {{"encrypt", "--key-env", "VK", missing}, 5, "Unable to find the file specified."},
             {{"encrypt", "--key-env", "VK", ""}, 5, "Please select a filename"},
             {{"encrypt", "--key-env", "VK", dir.file("empty.txt")}, 1, "nothing to encrypt"},
             {{"encrypt", "--key-env", "EMPTY", plain}, 1, "Please enter a key for encryption."},
             // Every file is tried; the first that failed gives the status.
             {{"decrypt", "--key-env", "VK", missing, plain}, 5, "File Not Encrypted with Vornal"},
             {{"encrypt", "--key-env", "VK", "--bogus", plain}, 2, "unknown option --bogus"},
             {{"encrypt", "--key-env", "VK"}, 2, "no file given"},
             {{"decrypt", "--key-file", missing, plain}, 2, "cannot read key file"}}) {
        SCOPED_TRACE(c.said);
        const auto before = files();
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(files(), before);
    }
}

TEST_F(CliFiles, AVolumeWithoutRoomIsRefusedWithStatus6) {
    const std::string volume = dir.file("small");
    std::filesystem::create_directory(volume);
    if (::mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small volume: " << std::strerror(errno);
    }
    const std::string path = volume + "/notes.txt", words(30000, 'w');
    writeFile(path, words); // ten times as large once encrypted
    const auto r = cli({"encrypt", "--key-env", "VK", path});
    const std::string after = readFile(path);
    ::umount2(volume.c_str(), MNT_DETACH);
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.err.find("Not enough free disk space to process this file safely."),
              std::string::npos);
    EXPECT_EQ(after, words);
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
    EXPECT_EQ(cli({"recover", "-q", path}).out, "");
    EXPECT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
}

// Kills or interrupts the command at random moments of a multi-megabyte encryption:
// whatever the moment, what it said and its exit status are true, and after recover the
// file is the original or its whole encryption, with nothing left beside it.
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

    int cancelled = 0;
    for (const int signal : {SIGKILL, SIGINT}) {
        // Six trials each; Ctrl-C goes on, earlier in the run, until one came while the
        // run was under way (a loaded machine can stretch the run past every guess).
        for (int trial = 0; trial < 6 || (signal == SIGINT && cancelled == 0 && trial < 30);
             ++trial) {
            writeFile(path, original);
            // Ctrl-C late in the run more often: after the last check it must not undo a
            // success, nor say that it did.
            const long percent = signal == SIGKILL ? static_cast<long>(rng() % 100)
                                 : trial < 6       ? 40 + static_cast<long>(rng() % 70)
                                                   : 5 + static_cast<long>(rng() % 50);
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
            int status = 0;
            waitpid(pid, &status, 0);
            const std::string what = readFile(said);
            const std::string where = strsignal(signal) + std::string(" after ") +
                                      std::to_string(delay.count()) + " us: " + what;
            const bool success = what.find("File successfully Encrypted.") != std::string::npos;
            const bool asItWas = what.find("cancelled; the file is as it was") != std::string::npos;
            EXPECT_FALSE(success && asItWas) << where;
            if (signal == SIGINT && WIFEXITED(status)) {
                EXPECT_EQ(WEXITSTATUS(status), success ? 0 : 130) << where;
                cancelled += asItWas ? 1 : 0;
            }
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
    EXPECT_GT(cancelled, 0) << "no Ctrl-C came during a run";
}

// On a terminal: the key is asked for twice when encrypting and once when decrypting, never
// echoed, and a big file's progress bar leaves its line to the message that follows it.
TEST_F(CliFiles, OnATerminalTheKeyIsAskedForAndTheProgressBarMakesWay) {
    const std::string path = dir.file("big.txt");
    std::string original;
    while (original.size() < 1'500'000) {
        original += "word ";
    }
    writeFile(path, original);
    const std::string erased = "\r\x1b[K";
    const auto enc = runOnTerminal(
        kCli, {"encrypt", path},
        {{"Enter encryption key: ", "tty-secret"}, {"Re-enter encryption key: ", "tty-secret"}},
        options());
    EXPECT_EQ(enc.exitCode, 0) << enc.out;
    EXPECT_EQ(enc.out.find("tty-secret"), std::string::npos) << "the key was echoed";
    // A long name loses its beginning, so that the line does not wrap.
    EXPECT_NE(enc.out.find("big.txt 0% ["), std::string::npos) << enc.out;
    EXPECT_NE(enc.out.find("big.txt 100% [##########] 1.5 MB / 1.5 MB "), std::string::npos)
        << enc.out;
    EXPECT_NE(enc.out.find(" MB/s  0:00 left"), std::string::npos) << enc.out;
    EXPECT_NE(enc.out.find(erased + path + ": File successfully Encrypted."), std::string::npos)
        << enc.out;

    const auto dec = runOnTerminal(kCli, {"decrypt", path},
                                   {{"Enter encryption key: ", "tty-secret"}}, options());
    EXPECT_EQ(dec.exitCode, 0) << dec.out;
    EXPECT_EQ(dec.out.find("Re-enter"), std::string::npos) << dec.out;
    EXPECT_EQ(readFile(path), original);
}

} // namespace
} // namespace vornal::test
