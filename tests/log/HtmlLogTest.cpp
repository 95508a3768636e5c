// The HTML operation log and the history commands, on real files in a fresh folder.
#include "log/HistoryCommands.h"
#include "log/OperationLog.h"
#include "platform/RunError.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vornal::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The log as a browser must read it, written out line by line.
std::string lines(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& line : v) {
        out += line + "\r\n";
    }
    return out;
}

const std::string kFreshLine = "<table border>\r\n";

const std::string kHeader = lines({
    "<HTML>",
    "<HEAD><TITLE>Vornal Encryption Log</TITLE></HEAD>",
    "<BODY>",
    "<TABLE BORDER=0 CELLPADDING=3 CELLSPACING=1 WIDTH=600 BGCOLOR=#000000>",
    "<TR VALIGN='bottom' bgcolor='#9999CC'>",
    "<TH><FONT FACE='Verdana' SIZE='2'>Date</FONT></TH>",
    "<TH><FONT FACE='Verdana' SIZE='2'>Time</FONT></TH>",
    "<TH><FONT FACE='Verdana' SIZE='2'>Description</FONT></TH>",
    "<TH><FONT FACE='Verdana' SIZE='2'>Status</FONT></TH>",
    "</TR>",
});

// Cells already in the file's bytes.
std::string row(const std::string& date, const std::string& time, const std::string& description,
                const std::string& status) {
    const std::string grey = "<TD ALIGN='center' BGCOLOR='#CCCCCC'><FONT FACE='Verdana' SIZE='2'>";
    const std::string blue = "<TD ALIGN='center' BGCOLOR='#CCCCFF'><FONT FACE='Verdana' SIZE='2'>";
    const std::string end = "</FONT></TD>";
    return lines({"<TR VALIGN='baseline' BGCOLOR='#CCCCCC'>", grey + date + end, grey + time + end,
                  grey + description + end, blue + status + end, "</TR>"});
}

// A row under the fixture's FixedClock.
std::string row(const std::string& description, const std::string& status) {
    return row("06/12/2026", "21:45:07", description, status);
}

// Answers in the order it is asked, so that a row shows which cell was read first.
class CountingClock : public Clock {
public:
    std::u16string dateText() override { return u"date" + next(); }
    std::u16string timeText() override { return u"time" + next(); }

private:
    std::u16string next() { return std::u16string(1, static_cast<char16_t>(u'0' + ++calls_)); }
    int calls_ = 0;
};

mode_t permissionsOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class HtmlLogTest : public ::testing::Test {
protected:
    TempDir dir;
    PosixFileSystem files;
    FixedClock clock;
    std::string path = dir.file("log.html");
    HtmlLog log{files, clock, path};
    RecordingWindow window;
    RecordingShell shell;

    void append(const std::u16string& description, const std::u16string& status) {
        const auto error = log.AppendLogRow(description, status);
        ASSERT_FALSE(error) << error->what();
    }
};

// The log lists the user's files: only its owner may read it, whoever made it before.
TEST_F(HtmlLogTest, GoesFromAbsentToStartedToClearedToHeaderWithNewRowsAndStaysPrivate) {
    // Absent: clearing does nothing at all, viewing flashes and neither creates it.
    EXPECT_FALSE(log.exists());
    btnClearHis_Click(window, log);
    EXPECT_THAT(window.statusTexts, IsEmpty());
    btnViewHistory_Click(window, log, shell);
    EXPECT_THAT(shell.opened, IsEmpty());
    EXPECT_EQ(window.looks, flashLooks(u"Log file not found!"));
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
    EXPECT_FALSE(fileExists(path));

    append(u"Encrypting \"a.txt\"", u"Success");
    append(u"second", u"Failed");
    EXPECT_TRUE(log.exists());
    EXPECT_EQ(readFile(path),
              kFreshLine + row("Encrypting \"a.txt\"", "Success") + row("second", "Failed"));
    EXPECT_EQ(permissionsOf(path), 0600u);

    window.looks.clear();
    ::chmod(path.c_str(), 0666);
    btnClearHis_Click(window, log);
    EXPECT_EQ(readFile(path), kHeader);
    EXPECT_EQ(permissionsOf(path), 0600u);
    EXPECT_THAT(window.looks, ElementsAre(successLook(u"History cleared.")));
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");

    append(u"third", u"Success");
    EXPECT_EQ(readFile(path), kHeader + row("third", "Success"));
    btnViewHistory_Click(window, log, shell);
    EXPECT_THAT(shell.opened, ElementsAre(path));
    EXPECT_EQ(window.looks.size(), 1u);
    EXPECT_EQ(readFile(path), kHeader + row("third", "Success"));
    EXPECT_THAT(window.messages.boxes, IsEmpty());
}

TEST_F(HtmlLogTest, AnExistingLogGetsRowsWithoutAFreshLineTheDateReadBeforeTheTime) {
    writeFile(path, "kept as it is\r\n");
    ::chmod(path.c_str(), 0644);
    CountingClock counting;
    HtmlLog other(files, counting, path);
    ASSERT_FALSE(other.AppendLogRow(u"d", u"s"));
    EXPECT_EQ(permissionsOf(path), 0600u);
    EXPECT_EQ(readFile(path), "kept as it is\r\n" + row("date1", "time2", "d", "s"));
}

TEST_F(HtmlLogTest, CellsEscapeAmpersandAndAngleBracketsOnlyAndReferOutsideWindows1252) {
    clock.date = u"1<2";
    clock.time = u"3>4";
    append(u"a & b <i>\"q\" 'x'</i> &amp;", u"ok;#&");
    append(u"caf\u00e9 \u20ac \u4e2d\u6587", u"\U0001F600!");
    EXPECT_EQ(readFile(path),
              kFreshLine +
                  row("1&lt;2", "3&gt;4", "a &amp; b &lt;i&gt;\"q\" 'x'&lt;/i&gt; &amp;amp;",
                      "ok;#&amp;") +
                  row("1&lt;2", "3&gt;4", "caf\xE9 \x80 &#20013;&#25991;", "&#128512;!"));
}

// --- Logs that cannot be written: the answer is an error, never a lost log.

TEST_F(HtmlLogTest, AMissingLogFolderIsAnsweredAndNotMade) {
    HtmlLog lost(files, clock, dir.file("missing/log.html"));
    const auto error = lost.AppendLogRow(u"d", u"s");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ENOENT);
    EXPECT_FALSE(fileExists(dir.file("missing")));
}

TEST_F(HtmlLogTest, FailedWritesAreAnsweredAndClearingThatCannotWriteFlashesAndKeepsTheLog) {
    FaultyFileSystem faulty;
    // The second row's write: the fresh line and each row are one write, so that rows of
    // two programs writing at once never mix.
    faulty.failWrite = 3;
    faulty.failOpenTruncated = true;
    HtmlLog faultyLog(faulty, clock, path);
    ASSERT_FALSE(faultyLog.AppendLogRow(u"first", u"s"));
    std::optional<RunError> error;
    ASSERT_NO_THROW(error = faultyLog.AppendLogRow(u"second", u"s"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ENOSPC);
    EXPECT_EQ(faulty.writes, 3);

    const std::string before = readFile(path);
    btnClearHis_Click(window, faultyLog);
    EXPECT_EQ(readFile(path), before);
    ASSERT_EQ(window.looks.size(), 6u);
    EXPECT_EQ(window.looks, flashLooks(window.looks.front().message));
    EXPECT_NE(window.looks.front().message.find(numberAndText(RunError::fromErrno(EACCES))),
              std::u16string::npos);
    EXPECT_EQ(window.text(Ctl::Status), u"Ready.");
}

} // namespace
} // namespace vornal::test
