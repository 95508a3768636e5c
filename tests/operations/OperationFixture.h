#pragma once

#include "cipher/modAES.h"
#include "log/OperationLog.h"
#include "operations/FileFormat.h"
#include "platform/Text.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/FileDisplay.h"
#include "window/Operations.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vornal::test {

// One window, one folder, one log: the operations run as the start command runs them.
class OperationFixture : public ::testing::Test {
protected:
    TempDir dir;
    FaultyFileSystem files;
    FixedClock clock;
    HtmlLog log{files, clock, dir.file("log.html")};
    RunJournal journal{dir.file("runs")};
    RecordingWindow window;
    ProcessState state;
    InlineBackground background{window};
    OperationContext ctx{state, window, {files, log, journal}, background};

    std::string target = dir.file("plain.txt");

    void keys(const std::u16string& key, const std::u16string& confirmation) {
        window.setText(Ctl::txtPass1, key);
        window.setText(Ctl::txtPass2, confirmation);
    }
    void keys(const std::u16string& key) { keys(key, key); }
    void selectFile(const std::string& path) {
        window.setText(Ctl::filepath, utf8ToUtf16(path).value());
    }
    void encrypt() {
        state.ElapsedStopped = false;
        EncryptCurrent(ctx);
    }
    void decrypt() {
        state.ElapsedStopped = false;
        DecryptCurrent(ctx);
    }

    // The bytes the format gives for fields under key: piece after piece, then the marker.
    static std::string expectedFile(const std::vector<std::u16string>& fields,
                                    const std::u16string& key) {
        std::string out;
        for (const auto& f : fields) {
            out += utf16ToUtf8(modAES::EncryptString(f, key)) + ":\r";
        }
        return out + std::string(kMarkerLine);
    }

    // The rows of the log, as (description, status) cells in the file's encoding.
    std::vector<std::pair<std::string, std::string>> logRows() const {
        std::vector<std::pair<std::string, std::string>> rows;
        const std::string text = readFile(dir.file("log.html"));
        const std::string grey =
            "<TD ALIGN='center' BGCOLOR='#CCCCCC'><FONT FACE='Verdana' SIZE='2'>";
        const std::string blue =
            "<TD ALIGN='center' BGCOLOR='#CCCCFF'><FONT FACE='Verdana' SIZE='2'>";
        std::size_t at = 0;
        while ((at = text.find(blue, at)) != std::string::npos) {
            const std::size_t statusStart = at + blue.size();
            const std::string status =
                text.substr(statusStart, text.find("</FONT>", statusStart) - statusStart);
            const std::size_t descStart = text.rfind(grey, at) + grey.size();
            const std::string desc =
                text.substr(descStart, text.find("</FONT>", descStart) - descStart);
            rows.emplace_back(desc, status);
            at = statusStart;
        }
        return rows;
    }

    std::vector<std::u16string> boxPrompts() const {
        std::vector<std::u16string> v;
        for (const auto& b : window.messages.boxes) {
            v.push_back(b.prompt);
        }
        return v;
    }
};

} // namespace vornal::test
