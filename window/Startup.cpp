#include "window/Startup.h"

#include "log/OperationLog.h"
#include "operations/FileFormat.h"
#include "operations/TypedPath.h"
#include "platform/RunError.h"
#include "window/FileDisplay.h"
#include "window/Modes.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornal {

namespace {

// A first-run step that fails is skipped; start-up goes on.
template <typename Step>
void skippingFailure(Step&& step) {
    try {
        step();
    } catch (const RunError&) {
    } catch (const std::exception&) {
    }
}

// The direction a file asks for: named alone (a plain path), decryption when it ends
// encrypted, else encryption; named with a switch, the switch's letter, if any.
std::optional<char16_t> requestedDirection(const StartupFile& file, const std::string& path) {
    if (file.plainPath) {
        return endsEncrypted(path) ? u'd' : u'e';
    }
    return file.direction;
}

} // namespace

std::u16string commandLineText(const std::vector<std::u16string>& arguments) {
    std::u16string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            text += u' ';
        }
        text += arguments[i];
    }
    return trimBlanks(text);
}

std::optional<StartupFile>
parseCommandLine(const std::vector<std::u16string>& arguments,
                 const std::function<bool(const std::u16string&)>& names) {
    const std::u16string line = commandLineText(arguments);
    if (line.empty()) {
        return std::nullopt;
    }
    StartupFile file;
    if (names(line)) {
        file.path = line;
        file.plainPath = true;
        return file;
    }
    if (line.size() >= 3 && line[2] != u' ') {
        // Several paths: the first.
        file.path = *std::find_if(arguments.begin(), arguments.end(),
                                  [](const std::u16string& a) { return !trimBlanks(a).empty(); });
        file.plainPath = true;
        return file;
    }
    if (line.size() >= 4) {
        file.path = line.substr(3);
    }
    char16_t letter = line.size() >= 2 ? line[1] : u' ';
    if (letter == u'E' || letter == u'D') {
        letter = static_cast<char16_t>(letter - u'A' + u'a');
    }
    if (letter == u'e' || letter == u'd') {
        file.direction = letter;
    }
    return file;
}

bool endsEncrypted(const std::string& path) {
    constexpr off_t kTail = 4096;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    std::string tail;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t from = std::max<off_t>(0, st.st_size - kTail);
        tail.resize(static_cast<std::size_t>(st.st_size - from));
        const ssize_t got = ::pread(fd, tail.data(), tail.size(), from);
        tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return tail.find(kMarkerLine) != std::string::npos;
}

void loadFile(Window& window, FileSystem& files, const StartupFile& file) {
    window.setText(Ctl::filepath, file.path);
    const std::string path = pathFromText(typedPath(files, file.path));
    if (!FileExists(files, path)) {
        window.FlashFailure(u"The file you selected could not be found.");
        return;
    }
    // Selecting an option runs its handler; one already selected shows its texts already.
    const std::optional<char16_t> direction = requestedDirection(file, path);
    if (direction == u'e') {
        selectOption(window, Ctl::encryption);
    } else if (direction == u'd') {
        selectOption(window, Ctl::decryption);
    }
    showFileSizeOrDenied(window, files);
}

void showFileSizeOrDenied(Window& window, FileSystem& files) {
    try {
        ShowFileSize(window, files);
    } catch (const RunError&) {
        window.setText(Ctl::labelFileSize, u"File size: N/A");
        window.FlashFailure(u"Error: Access to file is denied.");
    }
}

std::string previousFolderPath(const std::string& programFolder) {
    return programFolder + "/prevdir.tmp";
}

std::optional<std::string> readPreviousFolder(FileSystem& files, const std::string& programFolder) {
    try {
        const std::string text = files.readAll(previousFolderPath(programFolder));
        return text.substr(0, text.find_first_of("\r\n"));
    } catch (const RunError&) {
        return std::nullopt;
    }
}

void writePreviousFolder(FileSystem& files, const std::string& programFolder,
                         const std::string& folder) {
    const std::string path = previousFolderPath(programFolder);
    auto out = files.exists(path) ? files.openTruncated(path) : files.createNew(path);
    out->write(folder + "\r\n");
    out->close();
}

bool runFirstStart(SettingsStore& settings, FileSystem& files, const std::string& programFolder,
                   const FirstRunSteps& steps) {
    if (!settings.read(kSettingsApplication, kSettingsSection, kSettingsKey).empty()) {
        return false;
    }
    skippingFailure(
        [&] { settings.write(kSettingsApplication, kSettingsSection, kSettingsKey, "1"); });
    // Unlike a program installed with its folder, ours may have none yet.
    skippingFailure([&] { makePrivateFolder(files, programFolder); });
    skippingFailure([&] { files.createDirectory(programFolder + "/log"); });
    skippingFailure([&] { files.createDirectory(programFolder + "/text"); });
    if (steps.writeReadme) {
        skippingFailure(steps.writeReadme);
    }
    if (steps.writeAbout) {
        skippingFailure(steps.writeAbout);
    }
    return true;
}

} // namespace vornal
