#include "tools/modMakeFiles.h"

#include <string_view>
#include <vector>

namespace vornal::modMakeFiles {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::size_t kLabelWidth = 24;

std::string rule(std::size_t length, char ch) {
    return std::string(length, ch);
}

// "label" padded with blanks to 24 characters, then "-> " and the address.
std::string pointer(std::string_view label, std::string_view address) {
    std::string line(label);
    line.resize(kLabelWidth, ' ');
    return line + "-> " + std::string(address);
}

// A question and its answer: the question underlined to its own length, the answer's
// first line after "A: " and the rest indented to match.
void question(std::vector<std::string>& lines, std::string_view text,
              std::initializer_list<std::string_view> answer) {
    const std::string q = "Q: " + std::string(text);
    lines.push_back(q);
    lines.push_back(rule(q.size(), '='));
    bool first = true;
    for (std::string_view a : answer) {
        lines.push_back((first ? "A: " : "   ") + std::string(a));
        first = false;
    }
}

// The heading block of a readme section: rule, heading, rule.
void heading(std::vector<std::string>& lines, std::string_view text, std::size_t upperRule = 64) {
    lines.push_back(rule(upperRule, '-'));
    lines.emplace_back(text);
    lines.push_back(rule(64, '-'));
}

// Every line ended by CR LF, and one more CR LF after the last, as the file is written.
std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += kEol;
    }
    text += kEol;
    return text;
}

void writeReplacing(FileSystem& files, const std::string& path, const std::string& text) {
    auto out = files.exists(path) ? files.openTruncated(path) : files.createNew(path);
    out->write(text);
    out->close();
}

} // namespace

std::string readmeText() {
    std::vector<std::string> l;
    l.emplace_back("Vornal Encryption v2.5a");
    l.emplace_back("Release Notes - 6 December 2026");
    l.emplace_back("Copyright (c) 2026 Talmeric Interactive, Inc.");
    l.emplace_back("All rights reserved.");
    l.emplace_back("");

    heading(l, "TABLE OF CONTENTS");
    l.emplace_back("   o FOREWORD");
    l.emplace_back("   o  MINIMUM REQUIREMENTS");
    l.emplace_back("   o INSTALLATION / UNINSTALLATION");
    l.emplace_back("   o  A BRIEF HOW-TO-USE");
    l.emplace_back("   o  SOME MUST-KNOW FAQs");
    l.emplace_back("   o TALMERIC DESIGN DIVISION");
    l.emplace_back("");

    heading(l, "FOREWORD");
    l.emplace_back("");
    l.emplace_back("Vornal Encryption encrypts files in place, and short texts typed");
    l.emplace_back("into its window, with a key that you type twice. The cipher is");
    l.emplace_back("Rijndael with a 256-bit block and a 256-bit key, in the program's");
    l.emplace_back("own implementation; the key is made of the first 16 characters");
    l.emplace_back("you type. A file is encrypted word by word: each blank-separated");
    l.emplace_back("word becomes a piece of upper-case hexadecimal ended by \":\" and a");
    l.emplace_back("carriage return, and a marker line at the end lets the program");
    l.emplace_back("recognise the file as encrypted later. Decrypting puts the words");
    l.emplace_back("back with the blanks between them, byte for byte as they were.");
    l.emplace_back("");
    l.emplace_back("This release runs on Linux: a Qt 6 desktop window (vornal) and a");
    l.emplace_back("command line (vornal-cli) share the same core. While a file is");
    l.emplace_back("rewritten its original is kept as FILE.bak (or the next free");
    l.emplace_back("FILE.bak.N) until the rewrite has succeeded, and put back if");
    l.emplace_back("anything fails or another program changes the file meanwhile.");
    l.emplace_back("Every file attempt is recorded in <program folder>/log/log.html.");
    l.emplace_back("");
    l.emplace_back("");

    heading(l, "MINIMUM REQUIREMENTS");
    l.emplace_back("     o Debian 12 (bookworm) on a 64-bit PC, or a similar Linux system");
    l.emplace_back("     o A desktop with Qt 6 for the window, or a terminal for vornal-cli");
    l.emplace_back("     o Free disk space for the result of a rewrite");
    l.emplace_back("");
    l.emplace_back("    Encrypted files are ten or more times the size of the original.");
    l.emplace_back("");
    l.emplace_back("");

    heading(l, "INSTALLATION/UNINSTALLATION");
    l.emplace_back("");
    l.emplace_back("Run scripts/run.sh in the source folder on Debian 12: it installs");
    l.emplace_back("the packages it needs with apt-get, then builds both programs.");
    l.emplace_back("");
    l.emplace_back("To uninstall, delete the source folder with its build folders and");
    l.emplace_back("the program folder ($VORNAL_HOME, by default the folder");
    l.emplace_back("~/.local/share/vornal-encryption) with its log and these notes.");
    l.emplace_back("");
    l.emplace_back("");

    heading(l, "A BRIEF HOW-TO-USE", 63);
    l.emplace_back("");
    l.emplace_back("To encrypt a file, choose File as the source and Encryption as");
    l.emplace_back("the direction, then pick the file in the drive, folder and file");
    l.emplace_back("lists or type its path. Type the key in \"Enter encryption key:\"");
    l.emplace_back("and again in \"Re-enter encryption key:\", then press Encrypt!");
    l.emplace_back("(or Enter). Only the first 16 characters of the key count, and");
    l.emplace_back("keys are compared exactly, capitals included. Files of 4,120,000");
    l.emplace_back("bytes or more ask first. To encrypt a text instead, choose String,");
    l.emplace_back("type or paste the text and press Encrypt!: the hexadecimal result");
    l.emplace_back("replaces it in the box. Decryption works the same way with the");
    l.emplace_back("direction Decryption; the key must be the one used to encrypt.");
    l.emplace_back("");
    l.emplace_back("View File opens the file in your desktop's text editor, View");
    l.emplace_back("History opens the log in your browser, Clear History empties it,");
    l.emplace_back("Help opens the help page that comes with the program and System");
    l.emplace_back("Info starts the system information tool (HardInfo or the KDE Info");
    l.emplace_back("Center). Files and texts can also be encrypted and decrypted in a");
    l.emplace_back("terminal: see vornal-cli --help.");
    l.emplace_back("");
    l.emplace_back("");
    l.emplace_back("");
    l.emplace_back("");

    heading(l, "SOME MUST-KNOW FAQs");
    l.emplace_back("");
    question(l, "What if I forget the key of an encrypted file?",
             {"Then the file cannot be decrypted. The key is not stored",
              "anywhere, and nobody, its makers included, can recover it."});
    l.emplace_back("");
    question(l, "What if the computer stops while a file is being rewritten?",
             {"The original is kept as FILE.bak until the rewrite has",
              "succeeded, and the run is recorded. The next run on the file",
              "says so: \"vornal-cli recover FILE\", or the window when it next",
              "starts, puts the original back."});
    l.emplace_back("");
    l.emplace_back("");

    heading(l, "ABOUT TALMERIC INTERACTIVE, INC.");
    l.emplace_back("");
    l.emplace_back("Welcome to Talmeric!");
    l.push_back(rule(20, '='));
    l.emplace_back("Talmeric Interactive, Inc. makes small desktop utilities that do");
    l.emplace_back("one job well. Vornal Encryption comes from its Design Division,");
    l.emplace_back("which reworked it for Linux: a Qt 6 window and a command line");
    l.emplace_back("(vornal-cli) on one shared, tested core. The program sends");
    l.emplace_back("nothing over the network; your keys and files stay with you.");
    l.emplace_back("Reports of problems and ideas are welcome at the addresses below.");
    l.emplace_back("Contact Information(E - Mail)");
    l.push_back(rule(28, '='));
    l.push_back(pointer("Product support", "vornal-support@talmeric.example"));
    l.push_back(pointer("Design Division", "design@talmeric.example"));
    l.push_back(pointer("General enquiries", "info@talmeric.example"));
    l.emplace_back("World Wide Web");
    l.push_back(rule(14, '='));
    l.push_back(pointer("Vornal Encryption", "https://vornal.talmeric.example/"));
    l.push_back(pointer("Talmeric Interactive", "https://www.talmeric.example/"));
    l.emplace_back(" ");
    l.emplace_back("");

    l.push_back(rule(64, '-'));
    return joined(l);
}

std::string aboutText() {
    const std::string line = rule(74, '_');
    return joined({
        " This program may be used only where the law allows strong encryption.",
        line,
        " Vornal Encryption v2.5a, released 6 December 2026",
        " Vornal Encryption for Linux, file and text encryption with Rijndael:",
        " Copyright (c) 2026 Talmeric Interactive, Inc.",
        " Product information:  https://vornal.talmeric.example/",
        " Company information:  https://www.talmeric.example/",
        " All rights reserved.",
        line,
        " Originated as Vornal Encryption for Windows, by Talmeric Interactive.",
        " First reworking, 2026: the cipher core and vornal-cli in C++20.",
        " Talmeric Design Division",
        " Second reworking, 2026: the Qt 6 desktop window for Debian 12.",
        " Talmeric Interactive, Inc.",
        " Contact: Vornal product support, vornal-support@talmeric.example",
        line,
        " Details of the modifications: https://vornal.talmeric.example/",
        line,
    });
}

void WriteReadmeFile(FileSystem& files, const std::string& programFolder) {
    writeReplacing(files, programFolder + "/text/readme.txt", readmeText());
}

void WriteAboutFile(FileSystem& files, const std::string& programFolder) {
    writeReplacing(files, programFolder + "/text/about.txt", aboutText());
}

} // namespace vornal::modMakeFiles
