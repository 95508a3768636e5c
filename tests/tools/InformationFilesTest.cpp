// readme.txt and about.txt: their layout line by line, their characters and addresses, and
// the writers.
#include "platform/RunError.h"
#include "tests/support/TempDir.h"
#include "tools/modMakeFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace vornal::test {
namespace {

using modMakeFiles::aboutText;
using modMakeFiles::readmeText;
constexpr auto npos = std::string::npos;

// Checks that every line of file ends in CR LF, and one CR LF more ends the file; then the
// lines one for one against shapes separated by "|": "p" (or "p9", nine of them) a line of
// prose, "u" '=' as long as the line before, "+" any number of lines indented by three
// blanks, anything else a regular expression for one line.
void expectLayout(const std::string& file, const std::string& layout) {
    EXPECT_TRUE(file.ends_with("\r\n\r\n"));
    std::vector<std::string> lines;
    for (std::size_t from = 0, end = 0; (end = file.find("\r\n", from)) != npos; from = end + 2) {
        lines.push_back(file.substr(from, end - from));
        EXPECT_EQ(lines.back().find_first_of("\r\n"), npos) << "bare CR or LF: " << lines.size();
    }
    lines.pop_back(); // the empty line the last CR LF ends
    const std::regex prose(R"((?![-_=]+$) *\S.*)");
    std::size_t at = 0;
    std::istringstream shapes(layout);
    for (std::string shape; std::getline(shapes, shape, '|');) {
        const bool isProse = shape.starts_with("p");
        for (int n = isProse && shape.size() > 1 ? std::stoi(shape.substr(1)) : 1; n > 0; --n) {
            ASSERT_LT(at, lines.size()) << "the file ends before \"" << shape << "\"";
            const std::string& line = lines[at++];
            EXPECT_TRUE(isProse        ? std::regex_match(line, prose)
                        : shape == "u" ? line == std::string(lines[at - 2].size(), '=')
                        : shape == "+" ? line.starts_with("   ") && line[3] != ' '
                                       : std::regex_match(line, std::regex(shape)))
                << "line " << at << " is not \"" << shape << "\": \"" << line << "\"";
            while (shape == "+" && at < lines.size() && lines[at].starts_with("   ")) {
                ++at;
            }
        }
    }
    EXPECT_EQ(at, lines.size()) << "lines after the last shape";
}

TEST(InformationFilesTest, ReadmeFollowsTheLayoutSectionBySection) {
    const std::string entry = "   o \\S.*", item = "     o \\S.*", qa = "Q: \\S.*|u|A: \\S.*|+";
    const std::string pointer = "[^ ].{23}-> \\S.*"; // a label padded to 24 characters
    // Name and version, release notes, copyright, rights reserved; then the sections.
    expectLayout(readmeText(),
                 "p4||-{64}|TABLE OF CONTENTS|-{64}|   o FOREWORD|   o  MINIMUM REQUIREMENTS|"
                 "   o INSTALLATION / UNINSTALLATION|   o  A BRIEF HOW-TO-USE|"
                 "   o  SOME MUST-KNOW FAQs|" +
                     entry + "||-{64}|FOREWORD|-{64}||p9||p6|||-{64}|MINIMUM REQUIREMENTS|-{64}|" +
                     item + "|" + item + "|" + item + "||    \\S.*|||" +
                     "-{64}|INSTALLATION/UNINSTALLATION|-{64}||p2||p3|||"
                     "-{63}|A BRIEF HOW-TO-USE|-{64}||p10||p6|||||"
                     "-{64}|SOME MUST-KNOW FAQs|-{64}||" +
                     qa + "||" + qa + "|||-{64}|p|-{64}||p|={20}|p6|" +
                     "Contact Information\\(E - Mail\\)|={28}|" + pointer + "|" + pointer + "|" +
                     pointer + "|World Wide Web|={14}|" + pointer + "|" + pointer + "| ||-{64}");
}

TEST(InformationFilesTest, AboutIsEighteenLinesBetweenRulesOf74Underscores) {
    // The fourth line, the full name, ends in ":".
    expectLayout(aboutText(), " \\S.*|_{74}| \\S.*| \\S.*:| \\S.*| \\S.*| \\S.*| \\S.*|_{74}|"
                              " \\S.*| \\S.*| \\S.*| \\S.*| \\S.*| \\S.*|_{74}| \\S.*|_{74}");
}

// Plain ASCII, with addresses only on the reserved example domain.
TEST(InformationFilesTest, PlainAsciiWithExampleAddresses) {
    const std::regex address(R"(([A-Za-z0-9.-]+@[A-Za-z0-9.-]+)|(https?://[^\s/]+))");
    for (const std::string& text : {readmeText(), aboutText()}) {
        for (const unsigned char c : text) {
            EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
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
