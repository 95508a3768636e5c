#include "platform/RunJournal.h"

#include "platform/PosixIo.h"
#include "platform/RunError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace vornal {

using namespace posix;

namespace {

constexpr std::string_view kHeader = "vornal-run 1";
constexpr std::string_view kExtension = ".run";

// Values stay on one line whatever bytes a path holds.
std::string escaped(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            out += value[++i] == 'n' ? '\n' : value[i];
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string serialized(const RunRecord& r) {
    const FileIdentity& o = r.original;
    std::string text(kHeader);
    text += "\ntarget " + escaped(r.target);
    text += "\nbackup " + escaped(r.backup);
    text += "\ntemporary " + escaped(r.temporary);
    text += std::string("\ndirection ") + (r.encrypt ? "encrypt" : "decrypt");
    text += std::string("\nway ") + (r.exchanges() ? "exchange" : "copy");
    text += "\nexpected-size " + std::to_string(r.expectedSize);
    text += "\noriginal-size " + std::to_string(o.size);
    text += "\noriginal-modified " + std::to_string(o.modifiedSeconds) + " " +
            std::to_string(o.modifiedNanoseconds);
    text += "\noriginal-file " + std::to_string(o.device) + " " + std::to_string(o.inode);
    return text + "\nend\n";
}

// Two numbers separated by a blank.
bool pairOf(const std::string& text, std::int64_t& a, std::int64_t& b) {
    char* end = nullptr;
    errno = 0;
    a = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != ' ') {
        return false;
    }
    const char* second = end + 1;
    b = std::strtoll(second, &end, 10);
    return errno == 0 && *end == '\0' && end != second;
}

bool unsignedOf(const std::string& text, std::uint64_t& n) {
    char* end = nullptr;
    errno = 0;
    n = std::strtoull(text.c_str(), &end, 10);
    return errno == 0 && !text.empty() && *end == '\0';
}

// A record as written, or false for one that is incomplete or not ours.
bool parsed(const std::string& text, RunRecord& r) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    bool header = true;
    bool ended = false;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return false;
        }
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (header) {
            if (line != kHeader) {
                return false;
            }
            header = false;
        } else if (line == "end") {
            ended = true;
            break;
        } else {
            const std::size_t blank = line.find(' ');
            fields[line.substr(0, blank)] =
                blank == std::string::npos ? std::string() : unescaped(line.substr(blank + 1));
        }
    }
    std::int64_t seconds = 0, nanoseconds = 0, device = 0, inode = 0;
    if (!ended || fields["target"].empty() || fields["backup"].empty() ||
        !unsignedOf(fields["expected-size"], r.expectedSize) ||
        !unsignedOf(fields["original-size"], r.original.size) ||
        !pairOf(fields["original-modified"], seconds, nanoseconds) ||
        !pairOf(fields["original-file"], device, inode)) {
        return false;
    }
    r.target = fields["target"];
    r.backup = fields["backup"];
    r.temporary = fields["temporary"];
    r.encrypt = fields["direction"] == "encrypt";
    r.original.modifiedSeconds = seconds;
    r.original.modifiedNanoseconds = nanoseconds;
    r.original.device = static_cast<std::uint64_t>(device);
    r.original.inode = static_cast<std::uint64_t>(inode);
    return (fields["way"] == "exchange") == r.exchanges();
}

// A name no other run of this or another process takes: the time, the process and a count.
std::string newId() {
    static std::atomic<unsigned> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char id[64];
    std::snprintf(id, sizeof id, "%lld%09ld-%d-%u", static_cast<long long>(now.tv_sec), now.tv_nsec,
                  static_cast<int>(::getpid()), counter++);
    return id;
}

void makeFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        // Private: the records name every file the user is working on.
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            throwErrno();
        }
        if (slash == std::string::npos) {
            return;
        }
    }
}

} // namespace

void RunJournal::write(RunRecord& record) {
    if (record.id.empty()) {
        record.id = newId();
    }
    makeFolder(folder_);
    const std::string final = folder_ + "/" + record.id + std::string(kExtension);
    const std::string draft = folder_ + "/." + record.id + ".draft";
    // Written aside and renamed: a record is there whole or not at all.
    Fd fd = openOrThrow(draft, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    try {
        writeAll(fd.get(), serialized(record));
        syncOrThrow(fd.get());
        fd.close();
        if (::rename(draft.c_str(), final.c_str()) != 0) {
            throwErrno();
        }
    } catch (...) {
        fd.closeQuietly();
        (void)::unlink(draft.c_str());
        throw;
    }
    syncFolderOf(final);
}

void RunJournal::remove(const RunRecord& record) {
    const std::string path = folder_ + "/" + record.id + std::string(kExtension);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throwErrno();
    }
    syncFolderOf(path);
}

std::vector<RunRecord> RunJournal::records() const {
    std::vector<RunRecord> found;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder_.c_str()), ::closedir);
    if (!dir) {
        return found; // no journal yet: nothing ever ran
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.size() <= kExtension.size() || name.front() == '.' ||
            name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
            continue;
        }
        RunRecord record;
        record.id = name.substr(0, name.size() - kExtension.size());
        try {
            struct stat st {};
            Fd fd = openRegular(folder_ + "/" + name, O_RDONLY, st);
            std::string text(static_cast<std::size_t>(std::min<off_t>(st.st_size, 1 << 20)), '\0');
            std::size_t got = 0;
            while (got < text.size()) {
                const std::size_t n = readSome(fd.get(), text.data() + got, text.size() - got);
                if (n == 0) {
                    break;
                }
                got += n;
            }
            text.resize(got);
            if (parsed(text, record)) {
                found.push_back(std::move(record));
            }
        } catch (const RunError&) {
            // A record that cannot be read is no run we can do anything about.
        }
    }
    // The ids begin with the time, in digits of one width for centuries to come.
    std::sort(found.begin(), found.end(),
              [](const RunRecord& a, const RunRecord& b) { return a.id < b.id; });
    return found;
}

std::string canonicalTarget(const std::string& path) {
    const std::string folder = folderOrCurrent(path);
    std::string name = baseName(path);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        return path; // a folder that is gone: the path as given is all there is
    }
    const std::string real = resolved;
    return real == "/" ? "/" + name : real + "/" + name;
}

} // namespace vornal
