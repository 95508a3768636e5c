// No plain copy of the key is left in vornal-cli's memory when a command ends, and the
// process may not dump core. Seen from gdb, stopped as the process exits.
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace vornal {
namespace {

const std::string kCli = VORNAL_CLI_PATH;

std::string findOnPath(const std::string& name) {
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string folder; std::getline(path, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// Stops the process at its exit_group system call, then writes every writable mapping
// (heap, stack, data; free memory included) to DUMP and its resource limits to LIMITS.
constexpr const char* kGdbScript = R"(set startup-with-shell off
set pagination off
catch syscall exit_group
run
python
process = gdb.selected_inferior()
with open('/proc/%d/maps' % process.pid) as maps, open('DUMP', 'wb') as out:
    for line in maps:
        span, perms = line.split()[:2]
        lo, hi = (int(x, 16) for x in span.split('-'))
        if 'w' in perms and hi - lo < 1 << 30:
            out.write(bytes(process.read_memory(lo, hi - lo)))
with open('/proc/%d/limits' % process.pid) as limits, open('LIMITS', 'w') as out:
    out.write(limits.read())
end
kill
)";

test::ProcessResult runToExit(const std::string& gdb, const test::TempDir& dir,
                              const std::vector<std::string>& args) {
    std::string script = kGdbScript;
    script.replace(script.find("DUMP"), 4, dir.file("dump"));
    script.replace(script.find("LIMITS"), 6, dir.file("limits"));
    test::writeFile(dir.file("dump.gdb"), script);
    std::vector<std::string> gdbArgs = {"-batch", "-nx", "-x", dir.file("dump.gdb"),
                                        "--args", kCli};
    gdbArgs.insert(gdbArgs.end(), args.begin(), args.end());
    test::ProcessOptions options;
    options.env["VORNAL_HOME"] = dir.path();
    return test::runProcess(gdb, gdbArgs, options);
}

std::string utf16le(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(CliKeyMemory, NoPlainCopyOfTheKeyOutlivesACommand) {
    const std::string gdb = findOnPath("gdb");
    if (gdb.empty()) {
        GTEST_SKIP() << "gdb is not installed: the key's copies in memory are not checked";
    }
    if (::geteuid() != 0) {
        // The program makes itself not dumpable, which hides its memory map from its owner.
        GTEST_SKIP() << "only root can read the memory of a process that is not dumpable";
    }
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "under AddressSanitizer, whose shadow memory is too large to dump";
#endif
    const std::string key = "Qv7#memory-probe-K3y";
    const std::string text = "plain-words-to-hide"; // gdb would split it at blanks
    const test::TempDir dir;
    test::writeFile(dir.file("key"), key + "\n");
    const auto encrypted =
        test::runProcess(kCli, {"encrypt-string", "--key-file", dir.file("key"), text});
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err;
    const std::string hex = encrypted.out.substr(0, encrypted.out.find('\n'));

    struct Case {
        std::vector<std::string> args;
        std::string printed; // lies in freed memory at the end, so the dump must show it
    };
    // Two files: the first gets a copy of the key, the second the key itself.
    const std::string file = dir.file("notes.txt"), second = dir.file("more.txt");
    test::writeFile(file, text);
    test::writeFile(second, text);
    for (const Case& c :
         {Case{{"encrypt-string", "--key-file", dir.file("key"), text}, hex},
          Case{{"decrypt-string", "--key-file", dir.file("key"), hex}, text},
          Case{{"encrypt", "--key-file", dir.file("key"), file, second}, "Encrypted."},
          Case{{"decrypt", "--key-file", dir.file("key"), file, second}, "Decrypted."}}) {
        SCOPED_TRACE(c.args[0]);
        const auto run = runToExit(gdb, dir, c.args);
        if ((run.out + run.err).find("ptrace: Operation not permitted") != std::string::npos) {
            GTEST_SKIP() << "this system does not let gdb trace a program";
        }
        const std::string dump = test::readFile(dir.file("dump"));
        ASSERT_NE(dump.find(c.printed), std::string::npos)
            << "the dump misses what the command printed\n"
            << run.out << run.err;
        // Any 12 characters of the key in a row, in UTF-8 or in UTF-16LE.
        for (std::size_t at = 0; at + 12 <= key.size(); ++at) {
            const std::string piece = key.substr(at, 12);
            EXPECT_EQ(dump.find(piece), std::string::npos) << "UTF-8 " << piece;
            EXPECT_EQ(dump.find(utf16le(piece)), std::string::npos) << "UTF-16LE " << piece;
        }
        if (c.args[0] == "decrypt") {
            EXPECT_EQ(test::readFile(file) + test::readFile(second), text + text);
        }
        const std::string limits = test::readFile(dir.file("limits"));
        EXPECT_NE(limits.find("Max core file size        0                    0"),
                  std::string::npos)
            << limits;
    }
}

} // namespace
} // namespace vornal
