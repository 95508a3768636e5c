// Helpers of bench/trials.sh.
//
//   trial_tools writer keep|reopen FILE TAG INTERVAL_US MAX_LINES
//     Appends lines "@@TAG-N@@" to FILE every INTERVAL_US until SIGTERM or MAX_LINES, as
//     another program would: through one descriptor kept open (keep) or opening the file
//     by its name for every line (reopen). Prints one line per line written: the line and
//     "kept", or "replaced" when the file it was written to had no name any more right
//     after (it had been replaced whole: the writer stops there).
//
//   trial_tools view FILE CLI OUT
//     Writes to OUT what FILE holds as plain text: itself when it has no marker line;
//     otherwise what vornal-cli decrypts the part up to the marker to (less the blank the
//     decryption adds at the end), followed by whatever follows the marker. Exits 0 for a
//     plain file, 10 for an encrypted one, 20 for one that does not decrypt. The key is in
//     the environment variable VK.
#include "operations/FileFormat.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gStop = 0;

extern "C" void onStop(int) {
    gStop = 1;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

int writer(const std::string& how, const std::string& file, const std::string& tag, long intervalUs,
           long maxLines) {
    std::signal(SIGTERM, onStop);
    const bool keep = how == "keep";
    const int kept = keep ? ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC) : -1;
    if (keep && kept < 0) {
        std::perror(file.c_str());
        return 1;
    }
    for (long n = 0; n < maxLines && !gStop; ++n) {
        const std::string line = "@@" + tag + "-" + std::to_string(n) + "@@\n";
        const int fd = keep ? kept : ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            std::perror(file.c_str());
            return 1;
        }
        struct stat st {};
        const bool replaced = keep && ::fstat(fd, &st) == 0 && st.st_nlink == 0;
        if (!keep) {
            ::close(fd);
        }
        std::printf("@@%s-%ld@@ %s\n", tag.c_str(), n, replaced ? "replaced" : "kept");
        std::fflush(stdout);
        if (replaced) {
            break;
        }
        ::usleep(static_cast<useconds_t>(intervalUs));
    }
    return 0;
}

int view(const std::string& file, const std::string& cli, const std::string& out) {
    const std::string text = readAll(file);
    const std::size_t marker = text.find(vornal::kMarkerLine);
    if (marker == std::string::npos) {
        return writeAll(out, text) ? 0 : 1;
    }
    const std::size_t end = marker + vornal::kMarkerLine.size();
    const std::string encrypted = out + ".encrypted";
    if (!writeAll(encrypted, text.substr(0, end))) {
        return 1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::setenv("VORNAL_HOME", (out + ".home").c_str(), 1);
        ::execl(cli.c_str(), cli.c_str(), "decrypt", "--key-env", "VK", encrypted.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return 20;
    }
    std::string plain = readAll(encrypted);
    if (!plain.empty() && plain.back() == ' ') {
        plain.pop_back();
    }
    ::unlink(encrypted.c_str());
    return writeAll(out, plain + text.substr(end)) ? 10 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "writer" && argc == 7) {
        return writer(argv[2], argv[3], argv[4], std::atol(argv[5]), std::atol(argv[6]));
    }
    if (command == "view" && argc == 5) {
        return view(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: trial_tools writer keep|reopen FILE TAG INTERVAL_US MAX_LINES\n"
                         "       trial_tools view FILE CLI OUT\n");
    return 2;
}
