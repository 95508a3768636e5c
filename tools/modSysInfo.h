#pragma once

#include "platform/Launcher.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "window/model/WindowModel.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vornal::modSysInfo {

// Where the system-information tool is registered: its full path, or the folder it is in.
inline constexpr const char* kToolPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kToolPathValue = "PATH";
inline constexpr const char* kToolFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kToolFolderValue = "MSINFO";

// The desktop's system-information programs, looked for in the registered folder in this
// order: HardInfo (both generations) and the KDE Info Center.
inline constexpr std::array<const char*, 3> kSystemInfoPrograms = {"hardinfo2", "hardinfo",
                                                                   "kinfocenter"};

// Room for a value's data, its terminating zero included.
inline constexpr std::size_t kValueBuffer = 1024;

inline constexpr const char16_t* kProgramTitle = u"Vornal Encryption";
inline constexpr const char16_t* kUnavailable = u"System Information Is Unavailable At This Time";

// Reads valueName of the key at keyPath under root into value. A string gives its text, a
// double word its number in decimal; a value of any other type leaves value as it was.
// Those three answer true. A key that cannot be opened for reading, a missing value and one
// too long for the buffer answer false and empty value. Data that fills the whole buffer
// without a zero byte throws RunError.
[[nodiscard]] bool ReadRegistryValue(Registry& registry, const RegistryRoot& root,
                                     const std::string& keyPath, const std::string& valueName,
                                     std::string& value);

// Starts the system-information tool from its registered path, else from the registered
// folder; anything that fails shows the one "unavailable" box.
void LaunchSystemInfo(MessageBoxHook& messages, Registry& registry, Launcher& launcher) noexcept;

// The built-in values: the folder of the first of kSystemInfoPrograms on PATH as the
// folder value; no path value.
[[nodiscard]] std::vector<RegistryEntry> builtInValues(Launcher& launcher);

// The registry the program reads: registryFiles() over builtInValues(), both looked at
// afresh on each read.
[[nodiscard]] std::unique_ptr<Registry>
systemRegistry(FileSystem& files, const Environment& environment, Launcher& launcher);

} // namespace vornal::modSysInfo

namespace vornal {

// The window's input lock, as the window does it.
struct InputLock {
    std::function<void()> lock;
    std::function<void()> unlock;
};

// "System Info": the window's inputs stay locked while the tool is looked up and started,
// and are unlocked again whatever the outcome.
void btnHelp_Click(Window& window, Registry& registry, Launcher& launcher, const InputLock& inputs);

} // namespace vornal
