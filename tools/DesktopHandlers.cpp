#include "tools/DesktopHandlers.h"

#include "platform/RunError.h"
#include "platform/Text.h"

#include <filesystem>

namespace vornal {

namespace {

// Whether both paths name the same existing file, links followed.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec);
}

// The escapes of a string value in a desktop entry file: \s \n \t \r \\.
std::string unescapeValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += value.substr(i, 2);
            break;
        }
        ++i;
    }
    return out;
}

struct DesktopEntry {
    std::string exec;
    bool terminal = false;
};

// The keys of the "Desktop Entry" group that matter here; absent when there is no Exec.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text) {
    DesktopEntry entry;
    bool inEntry = false;
    bool hasExec = false;
    for (const std::string_view line : trimmedLines(text)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inEntry || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimWhitespace(line.substr(0, equals));
        const std::string_view value = trimWhitespace(line.substr(equals + 1));
        if (key == "Exec" && !hasExec) {
            entry.exec = unescapeValue(value);
            hasExec = true;
        } else if (key == "Terminal") {
            entry.terminal = value == "true";
        }
    }
    if (!hasExec) {
        return std::nullopt;
    }
    return entry;
}

// The words of an Exec value: blanks separate them, double quotes group them, and inside
// quotes a backslash takes the next character literally.
std::optional<std::vector<std::string>> execWords(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

} // namespace

std::optional<Command> execCommand(std::string_view exec, const std::string& file) {
    const auto words = execWords(exec);
    if (!words || words->empty()) {
        return std::nullopt;
    }
    Command command;
    bool fileGiven = false;
    for (std::size_t w = 0; w < words->size(); ++w) {
        const std::string& word = (*words)[w];
        std::string out;
        bool dropped = false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                out += word[i];
                continue;
            }
            const char code = word[++i];
            if (code == '%') {
                out += '%';
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                // One file however many the code could take; the file is inserted as
                // text, so a "%" in its name is not read as a code.
                out += file;
                fileGiven = true;
            } else {
                // %i %c %k and the deprecated codes: nothing to give them.
                dropped = true;
            }
        }
        if (w == 0) {
            command.program = out;
        } else if (!(dropped && out.empty())) {
            command.args.push_back(out);
        }
    }
    if (command.program.empty()) {
        return std::nullopt;
    }
    if (!fileGiven) {
        command.args.push_back(file);
    }
    return command;
}

std::vector<std::string> applicationFolders(const Environment& environment) {
    std::vector<std::string> folders;
    const std::string home = homeFolder(environment);
    const std::string dataHome = absolutePathVariable(environment, "XDG_DATA_HOME",
                                                      home.empty() ? "" : home + "/.local/share");
    if (!dataHome.empty()) {
        folders.push_back(dataHome + "/applications");
    }
    std::string dirs = environment.variable("XDG_DATA_DIRS").value_or("");
    if (dirs.empty()) {
        dirs = "/usr/local/share:/usr/share";
    }
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t colon = dirs.find(':', from);
        if (colon == std::string::npos) {
            colon = dirs.size();
        }
        std::string folder = dirs.substr(from, colon - from);
        from = colon + 1;
        if (folder.empty() || folder.front() != '/') {
            continue; // relative entries are invalid and ignored
        }
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        folders.push_back(folder + "/applications");
    }
    return folders;
}

std::optional<std::string> fileType(Desktop& desktop, const std::string& path) {
    const auto answer =
        desktop.launcher.capture("xdg-mime", {"query", "filetype", path}, kDesktopQueryLimit);
    if (!answer) {
        return std::nullopt;
    }
    const std::string type(trimWhitespace(std::string_view(*answer).substr(0, answer->find('\n'))));
    // A type is one word with one "/"; anything else is a message, not an answer.
    if (type.empty() || type.find_first_of(" \t;") != std::string::npos ||
        type.find('/') == std::string::npos) {
        return std::nullopt;
    }
    return type;
}

std::optional<Command> handlerForType(Desktop& desktop, const std::string& mimeType,
                                      const std::string& file) {
    const auto answer =
        desktop.launcher.capture("xdg-mime", {"query", "default", mimeType}, kDesktopQueryLimit);
    if (!answer) {
        return std::nullopt;
    }
    std::string_view id = trimWhitespace(std::string_view(*answer).substr(0, answer->find('\n')));
    id = trimWhitespace(id.substr(0, id.find(';')));
    // An entry's id is a file name; a "/" in it would reach outside the folders.
    if (!id.ends_with(".desktop") || id.find('/') != std::string_view::npos ||
        id.starts_with(".")) {
        return std::nullopt;
    }
    for (const std::string& folder : applicationFolders(desktop.environment)) {
        const std::string path = folder + "/" + std::string(id);
        if (!desktop.files.canOpenForReading(path)) {
            continue;
        }
        std::optional<DesktopEntry> entry;
        try {
            entry = parseDesktopEntry(desktop.files.readAll(path));
        } catch (const RunError&) {
            continue;
        }
        // The first folder that holds the id decides, as the desktop itself does.
        if (!entry || entry->terminal) {
            return std::nullopt;
        }
        auto command = execCommand(entry->exec, file);
        if (!command) {
            return std::nullopt;
        }
        const auto program = desktop.launcher.findProgram(command->program);
        // This program's own entry claims text files, for opening them to encrypt; it is
        // no viewer of them.
        if (!program || sameFile(*program, desktop.executable)) {
            return std::nullopt;
        }
        command->program = *program;
        return command;
    }
    return std::nullopt;
}

} // namespace vornal
