#include "tools/modSysInfo.h"

#include "platform/RunError.h"

#include <cstdint>

namespace vornal::modSysInfo {

bool ReadRegistryValue(Registry& registry, const RegistryRoot& root, const std::string& keyPath,
                       const std::string& valueName, std::string& value) {
    std::unique_ptr<RegistryKey> key; // closed when it goes, on every way out
    // Reading needs read access only; asking to change the key as well would refuse every
    // user who may not change it.
    if (registry.open(root, keyPath, kKeyRead, key) != RegistryAnswer::Ok) {
        value.clear();
        return false;
    }
    RegistryValue data;
    // Data longer than the buffer is not read at all, as the system refuses it.
    if (key->query(valueName, data) != RegistryAnswer::Ok || data.data.size() > kValueBuffer) {
        value.clear();
        return false;
    }
    std::string buffer(kValueBuffer, '\0');
    buffer.replace(0, data.data.size(), data.data);
    const std::size_t zero = buffer.find('\0');
    if (zero == std::string::npos) {
        throw RunError(5, "Invalid procedure call or argument");
    }
    switch (data.type) {
    case kRegString:
        value = buffer.substr(0, zero);
        break;
    case kRegDWord: {
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < 4 && i < data.data.size(); ++i) {
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data.data[i])) << (8 * i);
        }
        value = std::to_string(n);
        break;
    }
    default:
        break;
    }
    return true;
}

void LaunchSystemInfo(MessageBoxHook& messages, Registry& registry, Launcher& launcher) noexcept {
    const auto started = [&] {
        std::string path;
        if (ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, kToolPathKey, kToolPathValue, path)) {
            // The registered path is started as it is; a wrong one fails to start.
            return launcher.start(path, {});
        }
        if (!ReadRegistryValue(registry, HKEY_LOCAL_MACHINE, kToolFolderKey, kToolFolderValue,
                               path)) {
            return false;
        }
        for (const char* name : kSystemInfoPrograms) {
            const std::string program = path + "/" + name;
            if (launcher.isProgram(program)) {
                return launcher.start(program, {});
            }
        }
        return false;
    };
    bool ok = false;
    try {
        ok = started();
    } catch (...) {
        // Whatever went wrong, the user is told the one thing below.
    }
    if (!ok) {
        try {
            messages.messageBox(kUnavailable, kProgramTitle, MsgButtons::Ok, MsgIcon::None);
        } catch (...) {
            // Nothing is left to tell the user with.
        }
    }
}

std::vector<RegistryEntry> builtInValues(Launcher& launcher) {
    std::vector<RegistryEntry> values{{HKEY_LOCAL_MACHINE, kToolPathKey, "", {}}};
    for (const char* name : kSystemInfoPrograms) {
        if (const auto program = launcher.findProgram(name)) {
            const std::string folder = program->substr(0, program->rfind('/'));
            values.push_back({HKEY_LOCAL_MACHINE,
                              kToolFolderKey,
                              kToolFolderValue,
                              {kRegString, (folder.empty() ? "/" : folder) + '\0'}});
            break;
        }
    }
    return values;
}

std::unique_ptr<Registry> systemRegistry(FileSystem& files, const Environment& environment,
                                         Launcher& launcher) {
    return std::make_unique<IniRegistry>(files, registryFiles(environment),
                                         [&launcher] { return builtInValues(launcher); });
}

} // namespace vornal::modSysInfo

namespace vornal {

void btnHelp_Click(Window& window, Registry& registry, Launcher& launcher,
                   const InputLock& inputs) {
    if (inputs.lock) {
        inputs.lock();
    }
    // Lets nothing escape, so the unlock below always runs.
    modSysInfo::LaunchSystemInfo(window, registry, launcher);
    if (inputs.unlock) {
        inputs.unlock();
    }
}

} // namespace vornal
