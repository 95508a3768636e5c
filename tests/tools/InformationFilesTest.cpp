#include "platform/RunError.h"
#include "tests/support/TempDir.h"
#include "tools/modMakeFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace vornal::test {
namespace {

using modMakeFiles::aboutText;
using modMakeFiles::readmeText;
constexpr auto npos = std::string::npos;

// The lines of a file whose every line ends in CR LF and that ends with one CR LF more
// (the further CR LF is not counted as a line); fails the test when it is not built so.
std::vector<std::string> linesOf(const std::string& file) {
    EXPECT_TRUE(file.ends_with("\r\n\r\n"));
    std::vector<std::string> lines;
    for (std::size_t from = 0, end = 0; (end = file.find("\r\n", from)) != npos; from = end + 2) {
        lines.push_back(file.substr(from, end - from));
        EXPECT_EQ(lines.back().find_first_of("\r\n"), npos) << "bare CR or LF: " << lines.size();
    }
    if (!lines.empty()) {
        lines.pop_back(); // the empty line the last CR LF ends
    }
    return lines;
}

bool isRule(const std::string& line) {
    return line.size() >= 10 && line.find_first_not_of(line[0]) == npos &&
           (line[0] == '-' || line[0] == '_' || line[0] == '=');
}

// Whether a line has a shape: "" empty; "=TEXT" exactly TEXT; "r" with a character and a
// count, a rule of them; "p" prose; "^START" START then something not blank; "u" '=' as long as
// the line before; "Q" and "A" a question and an answer; "+" indented by three blanks; ">" a
// pointer, "name<blanks>-> address" with the arrow in column 25.
bool fits(const std::string& shape, const std::string& line, const std::string& previous) {
    const std::string rest = shape.empty() ? "" : shape.substr(1);
    switch (shape.empty() ? 'e' : shape[0]) {
    case 'e':
        return line.empty();
    case '=':
        return line == rest;
    case 'r':
        return line == std::string(std::stoul(rest.substr(1)), rest[0]);
    case 'p':
        return line.find_first_not_of(' ') != npos && !isRule(line);
    case '^':
        return line.starts_with(rest) && line.size() > rest.size() && line[rest.size()] != ' ';
    case 'u':
        return line == std::string(previous.size(), '=');
    case 'Q':
    case 'A':
        return line.starts_with(shape + ": ");
    case '+':
        return line.starts_with("   ") && line.size() > 3 && line[3] != ' ';
    case '>':
        return line.size() > 27 && line[0] != ' ' && line.substr(0, 24).find("->") == npos &&
               line.compare(24, 3, "-> ") == 0 && line[27] != ' ';
    }
    return false;
}

// Checks lines one for one against '|'-separated shapes; "p9" is nine lines of prose and "+"
// takes every following indented line too.
void expectLayout(const std::vector<std::string>& lines, const std::string& layout) {
    std::size_t at = 0;
    for (std::size_t from = 0; from <= layout.size(); from = layout.find('|', from) + 1) {
        const std::string shape = layout.substr(from, layout.find('|', from) - from);
        const bool many = shape.size() > 1 && shape[0] == 'p';
        for (int n = many ? std::stoi(shape.substr(1)) : 1; n > 0; --n, ++at) {
            ASSERT_LT(at, lines.size()) << "the file ends before \"" << shape << "\"";
            EXPECT_TRUE(fits(many ? "p" : shape, lines[at], at > 0 ? lines[at - 1] : ""))
                << "line " << at + 1 << " is not \"" << shape << "\": \"" << lines[at] << "\"";
            while (shape == "+" && at + 1 < lines.size() && lines[at + 1].starts_with("   ")) {
                ++at;
            }
        }
        if (layout.find('|', from) == npos) {
            break;
        }
    }
    EXPECT_EQ(at, lines.size()) << "lines after the last shape";
}

TEST(ReadmeTest, LinesFollowTheLayoutSectionBySection) {
    // Name and version, release notes, copyright, rights reserved; then the sections.
    expectLayout(linesOf(readmeText()),
                 "p4||r-64|=TABLE OF CONTENTS|r-64|=   o FOREWORD|=   o  MINIMUM REQUIREMENTS|"
                 "=   o INSTALLATION / UNINSTALLATION|=   o  A BRIEF HOW-TO-USE|"
                 "=   o  SOME MUST-KNOW FAQs|^   o ||"
                 "r-64|=FOREWORD|r-64||p9||p6|||"
                 "r-64|=MINIMUM REQUIREMENTS|r-64|^     o |^     o |^     o ||^    |||"
                 "r-64|=INSTALLATION/UNINSTALLATION|r-64||p2||p3|||"
                 "r-63|=A BRIEF HOW-TO-USE|r-64||p10||p6|||||"
                 "r-64|=SOME MUST-KNOW FAQs|r-64||Q|u|A|+||Q|u|A|+|||"
                 "r-64|p|r-64||p|r=20|p6|=Contact Information(E - Mail)|r=28|>|>|>|"
                 "=World Wide Web|r=14|>|>|= ||r-64");
}

TEST(ReadmeTest, CompanySectionHeadingDiffersFromItsTableOfContentsEntry) {
    const auto lines = linesOf(readmeText());
    ASSERT_GT(lines.size(), 13u);
    const std::string entry = lines[13]; // the sixth entry of the table of contents
    EXPECT_NE(entry.find("DIVISION"), npos) << "names the design division";
    std::size_t heading = lines.size() - 2;
    while (heading > 0 && !(isRule(lines[heading - 1]) && isRule(lines[heading + 1]))) {
        --heading;
    }
    EXPECT_NE(lines[heading], entry.substr(entry.find_first_not_of(' ', 4)));
    EXPECT_NE(lines[heading], "SOME MUST-KNOW FAQs");
}

TEST(ReadmeTest, TellsHowThisProgramReallyWorks) {
    const std::string text = readmeText();
    for (const char* fact :
         {"Vornal Encryption", "Talmeric Interactive, Inc.", "Rijndael", "256-bit block",
          "256-bit key", "16 characters", "FILE.bak", "log/log.html", "vornal-cli", "Qt 6",
          "scripts/run.sh", "Debian 12", "$VORNAL_HOME", "~/.local/share/vornal-encryption"}) {
        EXPECT_NE(text.find(fact), npos) << fact;
    }
    EXPECT_EQ(text.find(".exe"), npos);
    EXPECT_EQ(text.find("Windows"), npos);
}

TEST(AboutTest, EighteenLinesBetweenRulesOf74UnderscoresCarryingWhatTheyAreFor) {
    const auto lines = linesOf(aboutText());
    expectLayout(lines, "^ |r_74|^ |^ |^ |^ |^ |^ |r_74|^ |^ |^ |^ |^ |^ |r_74|^ |r_74");
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_TRUE(lines[3].ends_with(":"));
    const std::vector<std::pair<std::size_t, std::string>> contents = {
        {2, "v2.5a"},
        {4, "Copyright"},
        {5, "https://vornal.talmeric.example/"},
        {7, "rights reserved"},
        {11, "Division"},
        {13, "Talmeric Interactive, Inc."},
        {14, "@"},
        {16, "https://vornal.talmeric.example/"}};
    for (const auto& [line, text] : contents) {
        EXPECT_NE(lines[line].find(text), npos) << "line " << line + 1 << ": " << text;
    }
}

TEST(InformationFilesTest, PlainAsciiWithAddressesOnlyOnTheReservedExampleDomain) {
    const std::regex address(R"(([A-Za-z0-9.-]+@[A-Za-z0-9.-]+)|(https?://[^\s/]+))");
    for (const std::string& text : {readmeText(), aboutText()}) {
        for (const char c : text) {
            EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80 &&
                        (c >= 0x20 || c == '\r' || c == '\n'))
                << static_cast<int>(c);
        }
        int count = 0;
        for (auto m = std::sregex_iterator(text.begin(), text.end(), address);
             m != std::sregex_iterator(); ++m, ++count) {
            EXPECT_TRUE(m->str().ends_with(".example")) << m->str();
        }
        EXPECT_GE(count, 2);
    }
}

TEST(InformationFilesTest, WritersReplaceTheFilesAndNeedTheTextFolder) {
    TempDir dir;
    PosixFileSystem files;
    EXPECT_THROW(modMakeFiles::WriteReadmeFile(files, dir.path()), RunError);
    EXPECT_FALSE(fileExists(dir.file("text")));

    std::filesystem::create_directories(dir.file("text"));
    writeFile(dir.file("text/about.txt"), std::string(10000, 'x'));
    modMakeFiles::WriteReadmeFile(files, dir.path());
    modMakeFiles::WriteAboutFile(files, dir.path());
    EXPECT_EQ(readFile(dir.file("text/readme.txt")), readmeText());
    EXPECT_EQ(readFile(dir.file("text/about.txt")), aboutText());
}

} // namespace
} // namespace vornal::test
