#include "platform/RunError.h"
#include "tests/support/TempDir.h"
#include "tools/modMakeFiles.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

namespace vornal::test {
namespace {

namespace fs = std::filesystem;
using modMakeFiles::aboutText;
using modMakeFiles::readmeText;

// The lines of a file whose every line ends in CR LF and that ends with one CR LF more
// (the further CR LF is not counted as a line); fails the test when it is not built so.
std::vector<std::string> linesOf(const std::string& file) {
    EXPECT_TRUE(file.ends_with("\r\n\r\n"));
    const std::string text = file.substr(0, file.size() >= 2 ? file.size() - 2 : 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find("\r\n", from);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text after the last line end";
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

// What one line must be.
struct Shape {
    enum Kind { Exact, Rule, Prose, Empty, Prefixed, Underline, Question, Answer, More, Pointer };
    Kind kind = Prose;
    std::string text = {}; // Exact: the line; Prefixed: its start
    std::size_t length = 0;
    char ch = 0;
};

Shape exact(std::string s) {
    return {Shape::Exact, std::move(s)};
}
Shape rule(std::size_t n, char c = '-') {
    return {Shape::Rule, "", n, c};
}
Shape prose() {
    return {Shape::Prose};
}
Shape empty() {
    return {Shape::Empty};
}
Shape prefixed(std::string p) {
    return {Shape::Prefixed, std::move(p)};
}
// A line of "=" as long as the line before it.
Shape underline() {
    return {Shape::Underline};
}
Shape pointer() {
    return {Shape::Pointer};
}

void add(std::vector<Shape>& v, std::initializer_list<Shape> shapes) {
    v.insert(v.end(), shapes);
}
void addProse(std::vector<Shape>& v, int n) {
    for (int i = 0; i < n; ++i) {
        v.push_back(prose());
    }
}
void addHeading(std::vector<Shape>& v, const std::string& heading, std::size_t upper = 64) {
    add(v, {rule(upper), exact(heading), rule(64)});
}
// A question, its underline, the answer's first line and at least one more.
void addQuestion(std::vector<Shape>& v) {
    add(v, {{Shape::Question}, underline(), {Shape::Answer}, {Shape::More}});
}

bool isRule(const std::string& line) {
    return line.size() >= 10 && line.find_first_not_of(line[0]) == std::string::npos &&
           (line[0] == '-' || line[0] == '_' || line[0] == '=');
}

// Checks lines against shapes, one for one. A More shape takes every following line that
// starts with three blanks.
void expectShapes(const std::vector<std::string>& lines, const std::vector<Shape>& shapes) {
    std::size_t at = 0;
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        const Shape& shape = shapes[s];
        ASSERT_LT(at, lines.size()) << "the file ends before shape " << s;
        const std::string& line = lines[at];
        const std::string where = "line " + std::to_string(at + 1) + ": \"" + line + "\"";
        switch (shape.kind) {
        case Shape::Exact:
            EXPECT_EQ(line, shape.text) << where;
            break;
        case Shape::Rule:
            EXPECT_EQ(line, std::string(shape.length, shape.ch)) << where;
            break;
        case Shape::Prose:
            EXPECT_FALSE(line.empty() || line.find_first_not_of(' ') == std::string::npos) << where;
            EXPECT_FALSE(isRule(line)) << where;
            break;
        case Shape::Empty:
            EXPECT_EQ(line, "") << where;
            break;
        case Shape::Prefixed:
            EXPECT_TRUE(line.starts_with(shape.text)) << where;
            EXPECT_GT(line.size(), shape.text.size()) << where;
            EXPECT_NE(line[shape.text.size()], ' ') << where;
            break;
        case Shape::Underline:
            ASSERT_GT(at, 0u);
            EXPECT_EQ(line, std::string(lines[at - 1].size(), '=')) << where;
            break;
        case Shape::Question:
            EXPECT_TRUE(line.starts_with("Q: ")) << where;
            break;
        case Shape::Answer:
            EXPECT_TRUE(line.starts_with("A: ")) << where;
            break;
        case Shape::More:
            EXPECT_TRUE(line.starts_with("   ") && line.size() > 3 && line[3] != ' ') << where;
            while (at + 1 < lines.size() && lines[at + 1].starts_with("   ")) {
                ++at;
            }
            break;
        case Shape::Pointer:
            ASSERT_GE(line.size(), 28u) << where;
            EXPECT_EQ(line.substr(24, 3), "-> ") << where;
            EXPECT_NE(line[0], ' ') << where;
            EXPECT_EQ(line.substr(0, 24).find("->"), std::string::npos) << where;
            EXPECT_NE(line[27], ' ') << where;
            break;
        }
        ++at;
    }
    EXPECT_EQ(at, lines.size()) << "lines after the last shape";
}

// --- readme.txt ------------------------------------------------------------------------

TEST(ReadmeTest, LinesFollowTheLayoutSectionBySection) {
    std::vector<Shape> s;
    addProse(s, 4); // name and version, release notes, copyright, rights reserved
    s.push_back(empty());
    addHeading(s, "TABLE OF CONTENTS");
    add(s, {exact("   o FOREWORD"), exact("   o  MINIMUM REQUIREMENTS"),
            exact("   o INSTALLATION / UNINSTALLATION"), exact("   o  A BRIEF HOW-TO-USE"),
            exact("   o  SOME MUST-KNOW FAQs"), prefixed("   o "), empty()});
    addHeading(s, "FOREWORD");
    s.push_back(empty());
    addProse(s, 9);
    s.push_back(empty());
    addProse(s, 6);
    add(s, {empty(), empty()});
    addHeading(s, "MINIMUM REQUIREMENTS");
    add(s, {prefixed("     o "), prefixed("     o "), prefixed("     o "), empty(),
            prefixed("    "), empty(), empty()});
    addHeading(s, "INSTALLATION/UNINSTALLATION");
    s.push_back(empty());
    addProse(s, 2);
    s.push_back(empty());
    addProse(s, 3);
    add(s, {empty(), empty()});
    addHeading(s, "A BRIEF HOW-TO-USE", 63);
    s.push_back(empty());
    addProse(s, 10);
    s.push_back(empty());
    addProse(s, 6);
    add(s, {empty(), empty(), empty(), empty()});
    addHeading(s, "SOME MUST-KNOW FAQs");
    s.push_back(empty());
    addQuestion(s);
    s.push_back(empty());
    addQuestion(s);
    add(s, {empty(), empty()});
    add(s, {rule(64), prose(), rule(64), empty()}); // the company's section
    add(s, {prose(), rule(20, '=')});
    addProse(s, 6);
    add(s, {exact("Contact Information(E - Mail)"), rule(28, '='), pointer(), pointer(), pointer(),
            exact("World Wide Web"), rule(14, '='), pointer(), pointer(), exact(" "), empty()});
    s.push_back(rule(64));

    expectShapes(linesOf(readmeText()), s);
}

TEST(ReadmeTest, CompanySectionHeadingDiffersFromItsTableOfContentsEntry) {
    const auto lines = linesOf(readmeText());
    const auto hyphens = [](const std::string& l) {
        return !l.empty() && l.find_first_not_of('-') == std::string::npos;
    };
    std::vector<std::string> headings;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (hyphens(lines[i - 1]) && hyphens(lines[i + 1])) {
            headings.push_back(lines[i]);
        }
    }
    ASSERT_EQ(headings.size(), 7u);
    const auto toc = std::find(lines.begin(), lines.end(), "TABLE OF CONTENTS");
    ASSERT_LT(toc + 7, lines.end());
    const std::string sixth = *(toc + 7);
    EXPECT_NE(sixth.find("DIVISION"), std::string::npos) << "names the design division";
    const std::string entryTitle = sixth.substr(sixth.find_first_not_of(' ', 4));
    EXPECT_NE(headings.back(), entryTitle);
    EXPECT_NE(headings.back(), "SOME MUST-KNOW FAQs");
}

TEST(ReadmeTest, RulesAre64HyphensButTheHowToUpperRule) {
    const auto lines = linesOf(readmeText());
    int hyphenRules = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].find_first_not_of('-') == std::string::npos) {
            ++hyphenRules;
            const bool howTo = i + 1 < lines.size() && lines[i + 1] == "A BRIEF HOW-TO-USE";
            EXPECT_EQ(lines[i].size(), howTo ? 63u : 64u) << "line " << i + 1;
        }
    }
    EXPECT_EQ(hyphenRules, 2 * 7 + 1); // seven heading blocks and the closing rule
}

TEST(ReadmeTest, TellsHowThisProgramReallyWorks) {
    const std::string text = readmeText();
    for (const char* fact :
         {"Vornal Encryption", "Talmeric Interactive, Inc.", "Rijndael", "256-bit block",
          "256-bit key", "16 characters", "FILE.bak", "log/log.html", "vornal-cli", "Qt 6",
          "scripts/run.sh", "Debian 12", "$VORNAL_HOME", "~/.local/share/vornal-encryption"}) {
        EXPECT_NE(text.find(fact), std::string::npos) << fact;
    }
    EXPECT_EQ(text.find(".exe"), std::string::npos);
    EXPECT_EQ(text.find("Windows"), std::string::npos);
}

// --- about.txt -------------------------------------------------------------------------

TEST(AboutTest, EighteenLinesThenOneEmptyLineWithRulesOf74Underscores) {
    const std::string text = aboutText();
    const auto lines = linesOf(text);
    ASSERT_EQ(lines.size(), 18u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool isRuleLine = i == 1 || i == 8 || i == 15 || i == 17;
        if (isRuleLine) {
            EXPECT_EQ(lines[i], std::string(74, '_')) << "line " << i + 1;
        } else {
            EXPECT_TRUE(lines[i].starts_with(" ")) << "line " << i + 1;
            EXPECT_GT(lines[i].size(), 1u) << "line " << i + 1;
            EXPECT_NE(lines[i][1], ' ') << "one blank only: line " << i + 1;
            EXPECT_EQ(lines[i].find('_'), std::string::npos) << "line " << i + 1;
        }
    }
    // 18 lines, then the empty line the last CR LF makes.
    EXPECT_TRUE(text.ends_with(std::string(74, '_') + "\r\n\r\n"));
}

TEST(AboutTest, LinesCarryWhatTheyAreFor) {
    const auto lines = linesOf(aboutText());
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_NE(lines[2].find("v2.5a"), std::string::npos);
    EXPECT_TRUE(lines[3].ends_with(":"));
    EXPECT_NE(lines[4].find("Copyright"), std::string::npos);
    EXPECT_NE(lines[5].find("https://vornal.talmeric.example/"), std::string::npos);
    EXPECT_NE(lines[7].find("rights reserved"), std::string::npos);
    EXPECT_NE(lines[11].find("Division"), std::string::npos);
    EXPECT_NE(lines[13].find("Talmeric Interactive, Inc."), std::string::npos);
    EXPECT_NE(lines[14].find('@'), std::string::npos);
    EXPECT_NE(lines[16].find("https://vornal.talmeric.example/"), std::string::npos);
}

// --- Both ------------------------------------------------------------------------------

TEST(InformationFilesTest, AddressesAreOnTheReservedExampleDomain) {
    const std::regex address(R"(([A-Za-z0-9.-]+@[A-Za-z0-9.-]+)|(https?://[^\s/]+))");
    for (const std::string& text : {readmeText(), aboutText()}) {
        int count = 0;
        for (auto m = std::sregex_iterator(text.begin(), text.end(), address);
             m != std::sregex_iterator(); ++m) {
            const std::string a = m->str();
            EXPECT_TRUE(a.ends_with(".example")) << a;
            ++count;
        }
        EXPECT_GE(count, 2);
    }
}

TEST(InformationFilesTest, TextIsPlainAscii) {
    for (const std::string& text : {readmeText(), aboutText()}) {
        for (char c : text) {
            EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80 &&
                        (c >= 0x20 || c == '\r' || c == '\n'))
                << static_cast<int>(c);
        }
    }
}

TEST(InformationFilesTest, WritersCreateAndReplaceTheFiles) {
    TempDir dir;
    PosixFileSystem files;
    fs::create_directories(dir.file("text"));
    writeFile(dir.file("text/about.txt"), std::string(10000, 'x'));

    modMakeFiles::WriteReadmeFile(files, dir.path());
    modMakeFiles::WriteAboutFile(files, dir.path());

    EXPECT_EQ(readFile(dir.file("text/readme.txt")), readmeText());
    EXPECT_EQ(readFile(dir.file("text/about.txt")), aboutText());
}

TEST(InformationFilesTest, WriterWithoutTheTextFolderThrows) {
    TempDir dir;
    PosixFileSystem files;
    EXPECT_THROW(modMakeFiles::WriteReadmeFile(files, dir.path()), RunError);
    EXPECT_FALSE(fileExists(dir.file("text")));
}

} // namespace
} // namespace vornal::test
