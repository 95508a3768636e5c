#pragma once

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "window/model/WindowModel.h"

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

// What a command line asks for: the path to load, and the direction when the line gives it.
struct StartupFile {
    std::u16string path;
    std::optional<char16_t> direction; // 'e' or 'd'
    bool plainPath = false;            // no switch: the file itself decides the direction
};
// The switch form "/e PATH" or "/d PATH" (in the argument text: character 2 the direction
// letter, in either case; characters 4 to the end the path, quotes kept, empty when there
// are fewer) applies when the whole text names no file and character 3 is a blank or
// missing. Any other text is a plain path, as a file manager passes it: the whole text
// when it names a file, else the first argument. Absent when the text is empty. names
// answers whether a path text names a file.
[[nodiscard]] std::optional<StartupFile>
parseCommandLine(const std::vector<std::u16string>& arguments,
                 const std::function<bool(const std::u16string&)>& names);

// Whether the file ends encrypted: the marker line within its last few kilobytes, where it
// ends every encrypted file even after an editor added a line end. Reads only that much,
// whatever the size; false when the file cannot be read.
[[nodiscard]] bool endsEncrypted(const std::string& path);

// Loads a file named on the command line or dropped on the window as a file picked in the
// lists is loaded: filepath gets the path as given; when it names no file, the not-found
// message; else the direction asked for is selected and the size shown. A plain path asks
// for decryption when the file ends encrypted, else for encryption.
void loadFile(Window& window, FileSystem& files, const StartupFile& file);

// ShowFileSize, or "File size: N/A" and the access message when the file does not open for
// reading and writing.
void showFileSizeOrDenied(Window& window, FileSystem& files);

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
