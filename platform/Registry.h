#pragma once

#include "platform/Environment.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// A registry root, numbered as the system numbers it.
using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr RegistryRoot HKEY_CURRENT_USER = 0x80000001;
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr RegistryRoot HKEY_USERS = 0x80000003;

// The access rights that reading a key's values needs (read control, query value, enumerate
// sub-keys, notify). Asking for more, such as setting values, asks to change the key.
inline constexpr std::uint32_t kKeyRead = 0x20019;

// Value types.
inline constexpr std::uint32_t kRegString = 1;
inline constexpr std::uint32_t kRegExpandString = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDWord = 4;

// A value as the registry holds it: a string with its terminating zero byte, a double word
// as four bytes, least significant first.
struct RegistryValue {
    std::uint32_t type = kRegString;
    std::string data;
};

enum class RegistryAnswer { Ok, NotFound, AccessDenied };

// An open key; closed when it goes.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    [[nodiscard]] virtual RegistryAnswer query(const std::string& valueName,
                                               RegistryValue& value) = 0;
};

// Keys and their named values under a root. Key paths use "\" between their parts; key and
// value names compare without regard to the case of ASCII letters.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens the key with the access asked for; key is set only when the answer is Ok.
    [[nodiscard]] virtual RegistryAnswer open(RegistryRoot root, const std::string& keyPath,
                                              std::uint32_t access,
                                              std::unique_ptr<RegistryKey>& key) = 0;
};

// One value: where it lives and what it holds.
struct RegistryEntry {
    RegistryRoot root = HKEY_LOCAL_MACHINE;
    std::string keyPath;
    std::string valueName; // empty for an entry that only says the key exists
    RegistryValue value;
};

// The values in the text of a registry file, in order:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO]
//   PATH=/usr/bin/hardinfo          a string (quotes around it are removed)
//   Count=dword:0000002a            a double word, in hexadecimal
//   Blob=hex:01,02,ff               bytes of type 3; hex(N):... gives type N
//
// Lines starting with ";" or "#" are comments; "/" may stand for "\" in key paths. Lines
// it does not understand are skipped.
[[nodiscard]] std::vector<RegistryEntry> parseRegistryFile(std::string_view text);

// A registry read from settings files and built-in values. The files are read afresh at
// every open, the first file named having the last word: a value is taken from the first
// file that holds it, else from the built-in values. A file that is missing is passed
// over; one that exists but cannot be read refuses every key (AccessDenied), as a key the
// user may not read. The files are only read, so asking for more than kKeyRead is refused.
class IniRegistry : public Registry {
public:
    using BuiltIn = std::function<std::vector<RegistryEntry>()>;

    IniRegistry(FileSystem& files, std::vector<std::string> paths, BuiltIn builtIn = {});

    RegistryAnswer open(RegistryRoot root, const std::string& keyPath, std::uint32_t access,
                        std::unique_ptr<RegistryKey>& key) override;

private:
    FileSystem& files_;
    std::vector<std::string> paths_;
    BuiltIn builtIn_;
};

// The settings files of the program's registry, the administrator's first:
// /etc/vornal-encryption/registry.ini, then registry.ini in vornal-encryption under
// $XDG_CONFIG_HOME (default ~/.config).
[[nodiscard]] std::vector<std::string> registryFiles(const Environment& environment);

} // namespace vornal
