// Decrypting a file in place, whatever it holds, through a file run on a real file. Input:
// one byte of settings (key, engine sizes, the exchange way), then the file.
// Afterwards the file is either what the format gives for it, with success reported, or
// byte for byte what it was, with failure; the seeds are files encrypted with kKey.
#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "operations/FileRun.h"
#include "platform/Text.h"
#include "tests/support/FaultyFileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vornal;

constexpr char16_t kKey[] = u"fuzz key";

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Keeps the statuses of the rows the operation logs.
class Rows : public OperationLog {
public:
    std::optional<RunError> AppendLogRow(const std::u16string& /*description*/,
                                         const std::u16string& status) override {
        statuses.push_back(status);
        return std::nullopt;
    }
    std::vector<std::u16string> statuses;
};

// One folder for the whole run, in memory where the system has a file system there,
// removed at the end (registered after the path exists, so it runs before the path goes).
const std::string& folder() {
    static const std::string path = [] {
        std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        pattern += "/vornal-fuzz-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    [[maybe_unused]] static const int removed =
        std::atexit([] { std::filesystem::remove_all(folder()); });
    return path;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the whole text gives, by the format's definition: every part but the last decrypted
// and joined by blanks, where each part is one that re-encrypts to itself and has a
// Windows-1252 byte per character. Nothing when the file is not to be decrypted.
std::optional<std::string> decryption(std::string_view file, const std::u16string& key) {
    if (file.find(kMarkerLine) == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string text = withoutMarker(file);
    const auto parts = splitParts(text);
    if (text.empty() || parts.size() < 2 || !isIgnoredTail(parts.back())) {
        return std::nullopt;
    }
    const TextCipher keyed(key);
    std::string out;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        if (parts[i].empty()) {
            continue;
        }
        const auto decrypted = keyed.decryptHex(parts[i]);
        std::string upper(parts[i]);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto bytes = encodeWindows1252(decrypted.text);
        if (decrypted.outcome != TextCipher::Outcome::Text || !bytes ||
            utf16ToUtf8(keyed.encrypt(decrypted.text)) != upper) {
            return std::nullopt;
        }
        out += *bytes;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t settings = data[0];
    const std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::u16string key = settings & 1 ? u"another key" : kKey;

    const std::string target = folder() + "/file.txt";
    std::ofstream(target, std::ios::binary | std::ios::trunc) << file;
    test::FaultyFileSystem files;
    files.allowExchange = (settings & 2) != 0;
    Rows log;
    RunJournal journal(folder() + "/runs");
    RunServices services{files, log, journal};
    FileRequest request{utf8ToUtf16(target).value(), Direction::Decrypt,
                        SecretUtf16(std::u16string(key))};
    // Small pieces, so that short inputs take the paths of long parts and many batches.
    request.engine.chunkSize = 1 + (settings >> 2 & 7) * 5;
    request.engine.batchSize = std::size_t{32} << 2 * (settings >> 5 & 3);
    request.engine.threads = 1 + (settings >> 7);
    FileRun run(services, std::move(request));
    RunEvents events;

    const FileOutcome outcome = run.run(events);

    const bool succeeded = !log.statuses.empty() && log.statuses.back() == u"Success";
    require(succeeded == outcome.succeeded());
    require(journal.records().empty());
    const std::string after = readAll(target);
    if (const auto expected = decryption(file, key)) {
        require(succeeded);
        require(after == *expected);
    } else {
        require(!succeeded);
        require(after == file);
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder())) {
        std::filesystem::remove_all(entry.path());
    }
    return 0;
}
