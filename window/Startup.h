#pragma once

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

inline constexpr const char16_t* kWindowCaption = u"Vornal Encryption (v2.5a)";
// Where the first-run value lives in the settings store.
inline constexpr const char* kSettingsApplication = "Vornal Encryption";
inline constexpr const char* kSettingsSection = "SETTINGS";
inline constexpr const char* kSettingsKey = "RUN";

// The argument text after the program name: the arguments joined by one blank, then
// trimmed of blanks.
[[nodiscard]] std::u16string commandLineText(const std::vector<std::u16string>& arguments);

// What a non-empty command line asks for: the path (characters 4 to the end, quotes kept,
// empty when there are fewer) and the direction letter (character 2 in lower case) when it
// is 'e' or 'd'.
struct StartupFile {
    std::u16string path;
    std::optional<char16_t> direction;
};
// Absent when the trimmed text is empty.
[[nodiscard]] std::optional<StartupFile> parseCommandLine(std::u16string_view text);

// <program folder>/prevdir.tmp
[[nodiscard]] std::string previousFolderPath(const std::string& programFolder);
// The first line of prevdir.tmp; absent when it cannot be read.
[[nodiscard]] std::optional<std::string> readPreviousFolder(FileSystem& files,
                                                            const std::string& programFolder);
// Creates or overwrites prevdir.tmp with folder and CR LF; throws RunError when it cannot.
void writePreviousFolder(FileSystem& files, const std::string& programFolder,
                         const std::string& folder);

// The first-run steps, each skipped when it fails.
struct FirstRunSteps {
    std::function<void()> writeReadme;
    std::function<void()> writeAbout;
};
// Reads the first-run value; when it is empty, writes "1", makes the program folder with
// its "log" and "text" folders and runs the steps, readme first. Answers whether this was
// the first run.
bool runFirstStart(SettingsStore& settings, FileSystem& files, const std::string& programFolder,
                   const FirstRunSteps& steps);

} // namespace vornal
