// vornal-cli run as a process: strings, files, recover, help, and the terminal.
#include "platform/FileSystem.h"
#include "platform/RunJournal.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/mount.h>
#include <sys/stat.h>

namespace vornal::test {
namespace {

const std::string kCli = VORNAL_CLI_PATH;

class Cli : public ::testing::Test {
protected:
    TempDir dir;
    ProcessOptions options(const std::string& stdinData = {}) const {
        ProcessOptions o;
        o.stdinData = stdinData;
        o.env = {{"VORNAL_HOME", dir.file("home")},
                 {"VK", "file key"},
                 {"WRONG", "not the key"},
                 {"EMPTY", ""},
                 {"BAD", "\xC0\xAF"}};
        return o;
    }
    ProcessResult cli(const std::vector<std::string>& args, const std::string& stdinData = {}) {
        return runProcess(kCli, args, options(stdinData));
    }
    // The hexadecimal that encrypt-string prints for text under the key in VK.
    std::string encrypt(const std::string& text) {
        const auto r = cli({"encrypt-string", "--key-env", "VK", "--", text});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out.substr(0, r.out.find('\n'));
    }
    // Every file below the folder but in the program folder, with its content.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> all;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
            if (entry.is_regular_file() && !entry.path().string().starts_with(dir.file("home"))) {
                all[entry.path()] = readFile(entry.path());
            }
        }
        return all;
    }
};

// The text comes from the argument (after "--" even one that looks like an option) or
// standard input, losing one line end; the key from a variable, or a file's or standard
// input's first line without its line end; ciphertext in either case.
TEST_F(Cli, StringsFromEveryPlaceRoundTrip) {
    for (const std::string text : {"--help", "gr\xC3\xBC\xC3\x9F"
                                             "e \xF0\x9F\x98\x80"}) {
        const std::string hex = encrypt(text);
        const auto back = cli({"decrypt-string", "--key-env", "VK", hex});
        EXPECT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(back.out, text + "\n");
    }
    const auto piped = cli({"encrypt-string", "--key-env", "VK"}, "two ends\n\n");
    EXPECT_EQ(piped.out, encrypt("two ends\n") + "\n");
    std::string lower = piped.out.substr(0, piped.out.size() - 1);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(cli({"decrypt-string", "--key-env", "VK"}, lower + "\r\n").out, "two ends\n\n");
    writeFile(dir.file("key"), "file key\r\nsecond line\n");
    const std::string expected = encrypt("text") + "\n";
    EXPECT_EQ(cli({"encrypt-string", "--key-file", dir.file("key"), "text"}).out, expected);
    EXPECT_EQ(cli({"encrypt-string", "--key-file=-", "text"}, "file key\n").out, expected);
}

struct FailureCase {
    std::vector<std::string> args;
    int status;
    std::string said; // part of what standard error says
    std::string stdinData = {};
};

// Nothing on standard output, nothing changed, and for files: including a volume without
// room, where this system lets the test mount a small one.
TEST_F(Cli, EachFailureHasItsExitStatusAndCostsNothing) {
    const std::string hex = encrypt("secret");
    const std::string secret = dir.file("secret.txt"), plain = dir.file("plain.txt");
    writeFile(secret, "top secret words");
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", secret}).exitCode, 0);
    std::string damaged = readFile(secret);
    damaged[0] = 'G'; // not a hexadecimal digit
    writeFile(dir.file("damaged.txt"), damaged);
    writeFile(plain, "plain words");
    writeFile(dir.file("empty.txt"), "");
    const std::string missing = dir.file("missing.txt"), small = dir.file("small");
    std::filesystem::create_directory(small);
    const bool mounted = ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") == 0;
    writeFile(small + "/notes.txt", std::string(30000, 'w')); // ten times that encrypted
    std::vector<FailureCase> cases = {
        {{"decrypt-string", "--key-env", "WRONG", hex}, 3, "Invalid password"},
        {{"decrypt-string", "--key-env", "VK", hex.substr(1)}, 4, "not a ciphertext"},
        {{"encrypt-string", "--key-env", "VK", ""}, 1, "nothing to encrypt"},
        {{"encrypt-string", "--key-env", "EMPTY", "t"}, 1, "Please enter a key for"},
        {{"decrypt-string", "--key-env", "EMPTY", hex}, 1, "Please enter the Encryption"},
        {{"encrypt-string"}, 2, "hint: use --key-env VAR or --key-file FILE", "text"},
        {{"encrypt-string", "--key-env", "UNSET_VAR_FOR_TEST", "t"}, 2, "not set"},
        {{"encrypt-string", "--key-env", "VK", "--key-file", "f", "t"}, 2, "only once"},
        {{"encrypt-string", "--key-file", "-"}, 2, "must be an argument", "k\n"},
        {{"encrypt-string", "--key-env", "VK", "--bogus", "t"}, 2, "unknown option --bogus"},
        {{"encrypt-string", "--key-env", "VK", "a", "b"}, 2, "too many arguments"},
        {{"encrypt-string", "--key-env", "VK", "bad \xC3("}, 2, "argument is not valid UTF-8"},
        {{"encrypt-string", "--key-env", "VK"}, 2, "input is not valid UTF-8", "\xFF\xFE"},
        {{"encrypt-string", "--key-env", "BAD", "t"}, 2, "key is not valid UTF-8"},
        {{"frobnicate"}, 2, "unknown command frobnicate"},
        {{}, 2, "Usage: vornal-cli COMMAND"},
        {{"decrypt", "--key-env", "WRONG", secret}, 3, "secret.txt: Invalid password"},
        {{"decrypt", "--key-env", "VK", dir.file("damaged.txt")}, 4, "damaged and cannot be"},
        {{"decrypt", "--key-env", "VK", plain}, 4, "plain.txt: File Not Encrypted with Vornal"},
        {{"encrypt", "--key-env", "VK", secret}, 4, "File Already Encrypted by Vornal"},
        {{"encrypt", "--key-env", "VK", missing}, 5, "Unable to find the file specified."},
        {{"encrypt", "--key-env", "VK", ""}, 5, "Please select a filename"},
        {{"encrypt", "--key-env", "VK", dir.file("empty.txt")}, 1, "nothing to encrypt"},
        {{"encrypt", "--key-env", "EMPTY", plain}, 1, "Please enter a key for encryption."},
        // Every file is tried; the first that failed gives the status.
        {{"decrypt", "--key-env", "VK", missing, plain}, 5, "File Not Encrypted with Vornal"},
        {{"encrypt", "--key-env", "VK"}, 2, "no file given"},
        {{"decrypt", "--key-file", missing, plain}, 2, "cannot read key file"}};
    if (mounted) {
        cases.push_back({{"encrypt", "--key-env", "VK", small + "/notes.txt"},
                         6,
                         "Not enough free disk space to process this file safely."});
    } else {
        std::cout << "no room is not tried: cannot mount a small volume here\n";
    }
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.said);
        const auto before = files();
        const auto r = cli(c.args, c.stdinData);
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(files(), before);
    }
    if (mounted) {
        ::umount2(small.c_str(), MNT_DETACH);
    }
}

// Each command's own help, and the version naming the help page found beside the program.
TEST_F(Cli, EachCommandHasItsHelpAndTheVersionNamesTheHelpPage) {
    for (const std::string command :
         {"encrypt", "decrypt", "recover", "encrypt-string", "decrypt-string"}) {
        for (const char* flag : {"-h", "--help"}) {
            const auto r = cli({command, flag});
            EXPECT_EQ(r.exitCode, 0) << command;
            EXPECT_TRUE(r.out.starts_with("Usage: vornal-cli " + command + " ")) << r.out;
        }
    }
    EXPECT_TRUE(cli({"--help"}).out.starts_with("Usage: vornal-cli COMMAND")) << "the whole help";
    ProcessOptions unset;
    unset.unsetEnv = {"VORNAL_HELP_DIR"};
    const auto version = runProcess(kCli, {"-V"}, unset);
    EXPECT_EQ(version.exitCode, 0);
    const std::size_t at = version.out.find("\nhelp: ");
    ASSERT_NE(at, std::string::npos) << version.out;
    const std::string page = version.out.substr(at + 7, version.out.find('\n', at + 1) - at - 7);
    EXPECT_NE(readFile(page).find("vornal-cli"), std::string::npos) << page;
}

TEST_F(Cli, AnInterruptedRunIsRefusedListedAndPutBack) {
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
    EXPECT_EQ(cli({"recover"}).out, r.target + ": interrupted while encrypting\n");
    const auto back = cli({"recover", path});
    EXPECT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, path + ": The original file was put back.\n");
    EXPECT_EQ(readFile(path), "the original words");
    EXPECT_EQ(cli({"recover"}).out, "");
    EXPECT_EQ(cli({"recover", path}).out, path + ": Nothing needed putting back.\n");
    EXPECT_EQ(cli({"recover", "-q", path}).out, "");
}

// Kills or interrupts the command at random moments of a multi-megabyte encryption:
// whatever the moment, what it said and its exit status are true, and after recover the
// file is the original or its whole encryption, with nothing left beside it.
TEST_F(Cli, AKillOrCtrlCAtAnyMomentLosesNothingAndIsToldTruly) {
    std::mt19937 rng(20261206);
    std::string original;
    while (original.size() < 3'000'000) {
        original += std::to_string(rng() % 1000) + (rng() % 10 ? " " : "\r\n");
    }
    const std::string path = dir.file("big.txt");
    // How long a whole run takes here, to spread the signals over it.
    writeFile(path, original);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cli({"encrypt", "--key-env", "VK", path}).exitCode, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    int cancelled = 0;
    for (const int signal : {SIGKILL, SIGINT}) {
        // Six trials each; Ctrl-C goes on, earlier in the run, until one came while the run
        // was under way (a loaded machine can stretch the run past every guess). Ctrl-C comes
        // late more often: after the last check it must not undo a success, nor say so.
        for (int trial = 0; trial < 6 || (signal == SIGINT && cancelled == 0 && trial < 30);
             ++trial) {
            writeFile(path, original);
            ProcessOptions o = options();
            o.signal = signal;
            o.signalAfter = whole *
                            static_cast<long>(signal == SIGKILL ? rng() % 100
                                              : trial < 6       ? 40 + rng() % 70
                                                                : 5 + rng() % 50) /
                            100;
            const auto r = runProcess(kCli, {"encrypt", "--key-env", "VK", path}, o);
            const std::string what = r.out + r.err;
            const std::string where = strsignal(signal) + std::string(" after ") +
                                      std::to_string(o.signalAfter.count()) + " us: " + what;
            const bool success = what.find("File successfully Encrypted.") != std::string::npos;
            const bool asItWas = what.find("cancelled; the file is as it was") != std::string::npos;
            EXPECT_FALSE(success && asItWas) << where;
            if (signal == SIGINT && r.exitCode >= 0) {
                EXPECT_EQ(r.exitCode, success ? 0 : 130) << where;
                cancelled += asItWas ? 1 : 0;
            }
            EXPECT_TRUE(!asItWas || readFile(path) == original) << where;
            EXPECT_EQ(cli({"recover", path}).exitCode, 0) << where;
            if (readFile(path) != original) {
                EXPECT_FALSE(asItWas) << where;
                ASSERT_EQ(cli({"decrypt", "--key-env", "VK", path}).exitCode, 0) << where;
                EXPECT_TRUE(readFile(path) == original) << where;
            }
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                const std::string name = entry.path().filename();
                EXPECT_TRUE(name == "big.txt" || name == "home") << name;
            }
        }
    }
    EXPECT_GT(cancelled, 0) << "no Ctrl-C came during a run";
}

// On a terminal: the key is asked for twice when encrypting, never echoed, a mismatch
// refused; once when decrypting. Files of any name, "notes " being that file and not its
// neighbour without the blank; a big file's progress bar leaves its line to the message that
// follows it; -q prints no success; the program folder and log that someone left open are
// tightened on the way.
TEST_F(Cli, OnATerminalTheKeyIsAskedForAndTheProgressBarMakesWay) {
    const std::vector<std::pair<std::string, std::string>> twice = {
        {"Enter encryption key: ", "tty-secret"}, {"Re-enter encryption key: ", "tty-secret"}};
    const auto bad = runOnTerminal(
        kCli, {"encrypt-string", "hidden"},
        {{"Enter encryption key: ", "one"}, {"Re-enter encryption key: ", "two"}}, options());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("Encryption keys mismatch. Please re-enter both keys."),
              std::string::npos);
    const auto hidden = runOnTerminal(kCli, {"decrypt-string", encrypt("hidden")},
                                      {{"Enter encryption key: ", "file key"}}, options());
    EXPECT_EQ(hidden.out.find("Re-enter"), std::string::npos) << hidden.out;
    EXPECT_NE(hidden.out.find("hidden"), std::string::npos) << hidden.out;

    std::filesystem::create_directories(dir.file("home/log"));
    writeFile(dir.file("home/log/log.html"), "<table border>\r\n");
    const std::pair<const char*, int> kModes[] = {
        {"home", 0700}, {"home/log", 0700}, {"home/log/log.html", 0600}};
    for (const auto& [name, mode] : kModes) {
        ::chmod(dir.file(name).c_str(), mode | 0055);
    }
    std::string original;
    while (original.size() < 1'500'000) {
        original += "word ";
    }
    writeFile(dir.file("notes"), "without");
    const std::vector<std::string> names = {dir.file("big.txt"),
                                            dir.file("a file; $(echo no) 'quoted' \xC3\xA9.txt"),
                                            dir.file("notes ")};
    std::vector<std::string> args = {"encrypt"};
    for (const std::string& name : names) {
        writeFile(name, original);
        args.push_back(name);
    }
    const auto enc = runOnTerminal(kCli, args, twice, options());
    EXPECT_EQ(enc.exitCode, 0) << enc.out;
    EXPECT_EQ(enc.out.find("tty-secret"), std::string::npos) << "the key was echoed";
    // A long name loses its beginning, so that the line does not wrap.
    EXPECT_NE(enc.out.find("big.txt 0% ["), std::string::npos) << enc.out;
    EXPECT_NE(enc.out.find("big.txt 100% [##########] 1.5 MB / 1.5 MB "), std::string::npos)
        << enc.out;
    EXPECT_NE(enc.out.find(" MB/s  0:00 left"), std::string::npos) << enc.out;
    for (const std::string& name : names) {
        EXPECT_NE(enc.out.find("\r\x1b[K" + name + ": File successfully Encrypted."),
                  std::string::npos)
            << enc.out;
        EXPECT_NE(readFile(name).find("File encrypted by: Vornal"), std::string::npos) << name;
    }
    EXPECT_EQ(readFile(dir.file("notes")), "without");

    args.insert(args.begin() + 1, "-q");
    args[0] = "decrypt";
    const auto dec =
        runOnTerminal(kCli, args, {{"Enter encryption key: ", "tty-secret"}}, options());
    EXPECT_EQ(dec.exitCode, 0) << dec.out;
    EXPECT_EQ(dec.out.find("Re-enter"), std::string::npos) << dec.out;
    EXPECT_EQ(dec.out.find("Decrypted"), std::string::npos) << dec.out;
    for (const std::string& name : names) {
        EXPECT_TRUE(readFile(name) == original) << name;
    }
    const std::string log = readFile(dir.file("home/log/log.html"));
    EXPECT_NE(log.find("Encrypting \"" + names[0] + "\" with AES Encryption "), std::string::npos);
    EXPECT_NE(log.find("Decrypting \"" + names[0] + "\""), std::string::npos);
    for (const auto& [name, mode] : kModes) {
        EXPECT_EQ(static_cast<int>(std::filesystem::status(dir.file(name)).permissions()), mode)
            << name;
    }
}

} // namespace
} // namespace vornal::test
