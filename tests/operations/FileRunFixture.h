#pragma once

#include "cipher/modAES.h"
#include "operations/FileFormat.h"
#include "operations/FileRun.h"
#include "platform/Text.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vornal::test {

using Names = std::vector<std::string>;
using Row = RecordingLog::Row;

// What a run tells, one line an event: "found", "read 12", "rewriting 3", "written 2",
// "marker".
class RecordingEvents : public RunEvents {
public:
    Names seen;

    void found() override { seen.emplace_back("found"); }
    void read(std::uint64_t length) override { seen.push_back("read " + std::to_string(length)); }
    void rewriting(std::uint64_t count) override {
        seen.push_back("rewriting " + std::to_string(count));
    }
    void written(std::uint64_t index) override {
        seen.push_back("written " + std::to_string(index));
    }
    void markerWritten() override { seen.emplace_back("marker"); }
};

// How a run rewrites its file, and in which direction.
struct Way {
    bool exchange; // the new file takes the name; otherwise the file is written over
    bool encrypt;
};
inline constexpr Way kWays[] = {{true, true}, {true, false}, {false, true}, {false, false}};

// One folder, the file plain.txt in it, and file runs as a front end starts them.
class FileRunTest : public ::testing::Test {
protected:
    TempDir dir;
    FaultyFileSystem files;
    RecordingLog log;
    RunJournal journal{dir.file("runs")};
    RunServices services{files, log, journal};
    RecordingEvents events;
    std::atomic<bool> cancel = false;
    EngineOptions engine;
    std::string target = dir.file("plain.txt");

    FileOutcome run(Direction direction, const std::u16string& key = u"k",
                    const std::string& path = {}) {
        FileRun r(services, {utf8ToUtf16(path.empty() ? target : path).value(), direction,
                             SecretUtf16(std::u16string(key)), engine, &cancel});
        return r.run(events);
    }
    FileOutcome run(const Way& way) {
        files.allowExchange = way.exchange;
        return run(way.encrypt ? Direction::Encrypt : Direction::Decrypt);
    }
    // The file holding content, with nothing of a run beside it or on record.
    void reset(const std::string& content) {
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            std::filesystem::remove_all(e.path());
        }
        writeFile(target, content);
        files.calls.clear();
        events.seen.clear();
        log.rows.clear();
    }
    // What a run left beside the file.
    [[nodiscard]] Names leftovers() const {
        Names names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            if (const std::string name = e.path().filename();
                name != "plain.txt" && name != "runs") {
                names.push_back(name);
            }
        }
        return names;
    }
    // A call as the file system recorded it, with the folder left out of its paths:
    // "link plain.txt plain.txt.bak".
    [[nodiscard]] std::string local(std::string call) const {
        const std::string folder = dir.path() + "/";
        for (std::size_t at; (at = call.find(folder)) != std::string::npos;) {
            call.erase(at, folder.size());
        }
        return call;
    }
    // The log row of a run on the target.
    [[nodiscard]] Row row(Direction direction, const std::u16string& status) const {
        return {(direction == Direction::Encrypt ? u"Encrypting \"" : u"Decrypting \"") +
                    utf8ToUtf16(target).value() + u"\"",
                status};
    }

    // A field's piece under key: its ciphertext, ":" and a carriage return.
    static std::string piece(const std::u16string& field, const std::u16string& key) {
        return utf16ToUtf8(modAES::EncryptString(field, key)) + ":\r";
    }
    // The encrypted file of fields under key: piece after piece, then the marker.
    static std::string encrypted(const std::vector<std::u16string>& fields,
                                 const std::u16string& key) {
        std::string out;
        for (const auto& f : fields) {
            out += piece(f, key);
        }
        return out + std::string(kMarkerLine);
    }
};

} // namespace vornal::test
