#include "window/Startup.h"

#include "operations/FileFormat.h"
#include "platform/RunError.h"

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

std::optional<StartupFile> parseCommandLine(std::u16string_view text) {
    const std::u16string line = trimBlanks(text);
    if (line.empty()) {
        return std::nullopt;
    }
    StartupFile file;
    if (line.size() >= 4) {
        file.path = line.substr(3);
    }
    if (line.size() >= 2) {
        char16_t letter = line[1];
        if (letter == u'E' || letter == u'D') {
            letter = static_cast<char16_t>(letter - u'A' + u'a');
        }
        if (letter == u'e' || letter == u'd') {
            file.direction = letter;
        }
    }
    return file;
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
