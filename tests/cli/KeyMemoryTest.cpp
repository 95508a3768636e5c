// No plain copy of the key is left in vornal-cli's memory when a command ends, and the
// process may not dump core. Seen from gdb, stopped as the process exits.
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace vornal::test {
namespace {

const std::string kCli = VORNAL_CLI_PATH;

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

TEST(CliKeyMemory, NoPlainCopyOfTheKeyOutlivesACommand) {
    std::string gdb = runProcess("/bin/sh", {"-c", "command -v gdb"}).out;
    gdb = gdb.substr(0, gdb.find('\n'));
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
    const TempDir dir;
    const std::string keyFile = dir.file("key");
    writeFile(keyFile, key + "\n");
    std::string script = kGdbScript;
    script.replace(script.find("DUMP"), 4, dir.file("dump"));
    script.replace(script.find("LIMITS"), 6, dir.file("limits"));
    writeFile(dir.file("dump.gdb"), script);
    const auto encrypted = runProcess(kCli, {"encrypt-string", "--key-file", keyFile, text});
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err;
    const std::string hex = encrypted.out.substr(0, encrypted.out.find('\n'));

    // Two files: the first gets a copy of the key, the second the key itself. What each
    // command printed lies in freed memory at the end, so the dump must show it.
    const std::string file = dir.file("notes.txt"), second = dir.file("more.txt");
    writeFile(file, text);
    writeFile(second, text);
    for (const auto& [args, printed] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"encrypt-string", "--key-file", keyFile, text}, hex},
             {{"decrypt-string", "--key-file", keyFile, hex}, text},
             {{"encrypt", "--key-file", keyFile, file, second}, "Encrypted."},
             {{"decrypt", "--key-file", keyFile, file, second}, "Decrypted."}}) {
        SCOPED_TRACE(args[0]);
        std::vector<std::string> gdbArgs = {"-batch", "-nx", "-x", dir.file("dump.gdb"),
                                            "--args", kCli};
        gdbArgs.insert(gdbArgs.end(), args.begin(), args.end());
        ProcessOptions options;
        options.env["VORNAL_HOME"] = dir.path();
        const auto run = runProcess(gdb, gdbArgs, options);
        if ((run.out + run.err).find("ptrace: Operation not permitted") != std::string::npos) {
            GTEST_SKIP() << "this system does not let gdb trace a program";
        }
        const std::string dump = readFile(dir.file("dump"));
        ASSERT_NE(dump.find(printed), std::string::npos)
            << "the dump misses what the command printed\n"
            << run.out << run.err;
        // Any 12 characters of the key in a row, in UTF-8 or in UTF-16LE.
        for (std::size_t at = 0; at + 12 <= key.size(); ++at) {
            const std::string piece = key.substr(at, 12);
            std::string utf16le;
            for (const char c : piece) {
                utf16le += {c, '\0'};
            }
            EXPECT_EQ(dump.find(piece), std::string::npos) << "UTF-8 " << piece;
            EXPECT_EQ(dump.find(utf16le), std::string::npos) << "UTF-16LE " << piece;
        }
        EXPECT_NE(readFile(dir.file("limits"))
                      .find("Max core file size        0          "
                            "          0"),
                  std::string::npos);
    }
    EXPECT_EQ(readFile(file) + readFile(second), text + text);
}

} // namespace
} // namespace vornal::test
