#pragma once

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// What the tool commands need of the desktop. The window passes the system's own; the tests
// pass fakes.
struct Desktop {
    Launcher& launcher;
    FileSystem& files;
    const Environment& environment;
    std::string executable; // this program's own path, for the help installed beside it
};

// A program to start and its arguments.
struct Command {
    std::string program;
    std::vector<std::string> args;
    bool operator==(const Command&) const = default;
};

// How long a query of the desktop's associations may take before it counts as no answer.
inline constexpr std::chrono::milliseconds kDesktopQueryLimit{5000};

// The words of a desktop entry's Exec value (already read from its file, escapes of the
// entry file included), with the file field codes %f %F %u %U turned into file as one word
// each and the other field codes dropped; file is added at the end when there was no file
// code. Absent when the value has no program or an unclosed quote.
[[nodiscard]] std::optional<Command> execCommand(std::string_view exec, const std::string& file);

// Where desktop entries are looked for: $XDG_DATA_HOME/applications (default
// ~/.local/share/applications), then applications in each folder of $XDG_DATA_DIRS
// (default /usr/local/share and /usr/share).
[[nodiscard]] std::vector<std::string> applicationFolders(const Environment& environment);

// The command that opens file with the desktop's handler for mimeType: the entry that
// `xdg-mime query default` names, from the first application folder that holds it, its
// program found. Absent when there is none. An entry that runs in a terminal is passed over:
// started on its own it would have no terminal to show in; so is an entry that starts this
// program (Desktop::executable).
[[nodiscard]] std::optional<Command> handlerForType(Desktop& desktop, const std::string& mimeType,
                                                    const std::string& file);

// The type the desktop gives the file at path (`xdg-mime query filetype`); absent when it
// gives none.
[[nodiscard]] std::optional<std::string> fileType(Desktop& desktop, const std::string& path);

} // namespace vornal
