#include "tools/Help.h"

#include "log/OperationLog.h"
#include "platform/RunError.h"
#include "platform/ScratchFile.h"
#include "platform/Text.h"
#include "window/model/WindowModel.h"

#include <filesystem>
#include <vector>

namespace vornal {

namespace {

// One line, a quoted value and CR LF: what the scratch file holds.
constexpr const char* kScratchContent = "\"<HTML> <\\HTML>\"\r\n";

bool allBlanks(std::u16string_view text) {
    return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

// The box for a help page that cannot be opened.
void urlFailed(Window& window) {
    window.messageBox(u"Help file not Opened", u"URL Failed", MsgButtons::Ok, MsgIcon::Exclamation);
}

} // namespace

std::optional<Command> findBrowser(Desktop& desktop, const std::string& htmlFile,
                                   const std::string& pagePath) {
    // Every browser gets the address without its scheme: the page's path, which they all
    // open as a local file (a file URL's %20 some would take literally).
    //
    // $BROWSER lists programs separated by ":"; the first word of the first entry is taken,
    // and started directly like any other browser.
    const std::string listed = desktop.environment.variable("BROWSER").value_or("");
    const std::string first = listed.substr(0, listed.find(':'));
    const std::size_t begin = first.find_first_not_of(" \t");
    if (begin != std::string::npos) {
        const std::string name = first.substr(begin, first.find_first_of(" \t", begin) - begin);
        if (const auto program = desktop.launcher.findProgram(name)) {
            return Command{*program, {pagePath}};
        }
    }
    // The desktop's association for an .htm file: the handler of the type it gives one.
    std::optional<std::string> type;
    if (!htmlFile.empty()) {
        type = fileType(desktop, htmlFile);
    }
    if (auto handler = handlerForType(desktop, type.value_or("text/html"), pagePath)) {
        return handler;
    }
    if (const auto opener = desktop.launcher.findProgram("xdg-open")) {
        return Command{*opener, {pagePath}};
    }
    return std::nullopt;
}

void btnAbout_Click(Window& window, Desktop& desktop) {
    const std::optional<std::string> page =
        helpPagePath(desktop.environment, desktop.files, desktop.executable);
    if (!page) {
        urlFailed(window);
        return;
    }
    std::optional<Command> browser;
    {
        std::optional<ScratchFile> scratch;
        try {
            scratch.emplace(desktop.environment, "vornal-help-", ".htm", kScratchContent);
        } catch (const RunError&) {
            // No temporary folder to write in: the browser is still found for text/html.
        }
        browser = findBrowser(desktop, scratch ? scratch->path() : std::string(), *page);
    } // the scratch file is removed here, whatever follows

    if (!browser) {
        window.messageBox(u"Could not find associated Browser to Get to help.\r\n Visit " +
                              ascii(fileUrl(*page)) + u" for the latest help and information.",
                          u"Browser Not Found", MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (!desktop.launcher.start(browser->program, browser->args)) {
        urlFailed(window);
    }
}

std::string GetWindowsDir() {
    return "/usr/bin";
}

std::optional<Command> findTextEditor(Desktop& desktop, const std::string& file) {
    if (auto handler = handlerForType(desktop, "text/plain", file)) {
        return handler;
    }
    for (const char* name : kTextEditors) {
        const std::string inSystem = GetWindowsDir() + "/" + name;
        if (desktop.launcher.isProgram(inSystem)) {
            return Command{inSystem, {file}};
        }
        if (const auto found = desktop.launcher.findProgram(name)) {
            return Command{*found, {file}};
        }
    }
    return std::nullopt;
}

void view_file_Click(Window& window, Desktop& desktop) {
    const std::u16string text = window.text(Ctl::filepath);
    if (allBlanks(text)) {
        window.FlashFailure(u"No file to view.");
        return;
    }
    // Untrimmed, as typed: leading blanks are part of the name here.
    const std::string path = utf16ToUtf8(text);
    if (!FileExists(desktop.files, path)) {
        window.FlashFailure(u"Unable to find the file specified.");
        window.setFocus(Ctl::filepath);
        return;
    }
    // A relative name starting with "-" would be read by the editor as an option.
    const std::string argument = path.front() == '-' ? "./" + path : path;
    const std::optional<Command> editor = findTextEditor(desktop, argument);
    if (!editor) {
        window.FlashFailure(u"Could not locate " + ascii(GetWindowsDir()) + u"/" +
                            ascii(kTextEditors.front()));
        return;
    }
    if (!desktop.launcher.start(editor->program, editor->args)) {
        window.FlashFailure(
            u"Could not locate " +
            utf8ToUtf16(editor->program).value_or(decodeWindows1252(editor->program)));
    }
}

} // namespace vornal
