// readme.txt and about.txt: their characters, lines and addresses, and the writers.
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

// Plain ASCII in CR LF lines, as the oldest editors show them, with addresses only on the
// reserved example domain.
TEST(InformationFilesTest, PlainAsciiLinesWithExampleAddresses) {
    const std::regex address(R"(([A-Za-z0-9.-]+@[A-Za-z0-9.-]+)|(https?://[^\s/]+))");
    for (const std::string& text : {readmeText(), aboutText()}) {
        EXPECT_TRUE(text.ends_with("\r\n\r\n"));
        EXPECT_EQ(std::regex_replace(text, std::regex("\r\n"), "").find_first_of("\r\n"),
                  std::string::npos);
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
