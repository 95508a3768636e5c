#pragma once

#include "tools/DesktopHandlers.h"

#include <array>
#include <optional>
#include <string>

namespace vornal {

class Window;

// The product's web address, as the encrypted files' marker line gives it.
inline constexpr const char* kProductAddress = "https://vornal.talmeric.example/";

// The help page that ships with the program: index.html in the help folder installed
// beside the executable (VORNAL_HELP_RELATIVE from its folder, ../share/vornal/help unless
// the install layout says otherwise), else in $VORNAL_HELP_DIR; the first of the two that
// can be read, as an absolute path. Absent when neither can.
[[nodiscard]] std::optional<std::string>
helpPagePath(const Environment& environment, FileSystem& files, const std::string& executable);

// "file://" and the path with every byte but letters, digits, "-._~" and "/" written as %XX.
[[nodiscard]] std::string fileUrl(const std::string& absolutePath);

// The program that opens the help page, set to open the page at pagePath: the program
// named by $BROWSER; else the desktop's handler of the type it gives htmlFile (an .htm
// file; text/html when it gives no type, or when there is no such file); else xdg-open.
[[nodiscard]] std::optional<Command> findBrowser(Desktop& desktop, const std::string& htmlFile,
                                                 const std::string& pagePath);

// "Help": starts the browser on the help page. Without a browser, the "Browser Not Found"
// box tells where the page is; a missing page and a browser that does not start give the
// "URL Failed" box.
// The .htm scratch file the browser is looked up with is gone again in every outcome.
void btnAbout_Click(Window& window, Desktop& desktop);

// The folder of the programs that come with the system, where a text editor is looked for
// first. No separator at the end.
[[nodiscard]] std::string GetWindowsDir();

// Graphical text editors, looked for in this order when the desktop names none for text.
inline constexpr std::array<const char*, 8> kTextEditors = {
    "gedit", "gnome-text-editor", "kate", "mousepad", "pluma", "xed", "featherpad", "leafpad"};

// The editor that opens file: the desktop's handler of text/plain, else the first of
// kTextEditors in GetWindowsDir() or on PATH.
[[nodiscard]] std::optional<Command> findTextEditor(Desktop& desktop, const std::string& file);

// "View File": opens the file named in filepath in a text editor, without waiting for it.
// An empty path, a file that cannot be read and a desktop without an editor are flashed.
void view_file_Click(Window& window, Desktop& desktop);

} // namespace vornal
