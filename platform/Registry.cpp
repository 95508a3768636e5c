#include "platform/Registry.h"

#include "platform/Hex.h"
#include "platform/RunError.h"
#include "platform/Text.h"

#include <cerrno>
#include <map>
#include <optional>

namespace vornal {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = lowerAscii(c);
    }
    return out;
}

// The key path as it is compared: "\" between parts, none at either end, lower case.
std::string keyOf(std::string_view path) {
    std::string out;
    for (char c : path) {
        out += c == '/' ? '\\' : lowerAscii(c);
    }
    while (!out.empty() && out.front() == '\\') {
        out.erase(out.begin());
    }
    while (!out.empty() && out.back() == '\\') {
        out.pop_back();
    }
    return out;
}

std::optional<RegistryRoot> rootNamed(std::string_view name) {
    static const std::pair<const char*, RegistryRoot> roots[] = {
        {"hkey_classes_root", HKEY_CLASSES_ROOT},
        {"hkcr", HKEY_CLASSES_ROOT},
        {"hkey_current_user", HKEY_CURRENT_USER},
        {"hkcu", HKEY_CURRENT_USER},
        {"hkey_local_machine", HKEY_LOCAL_MACHINE},
        {"hklm", HKEY_LOCAL_MACHINE},
        {"hkey_users", HKEY_USERS},
        {"hku", HKEY_USERS},
    };
    const std::string lower = folded(name);
    for (const auto& [text, root] : roots) {
        if (lower == text) {
            return root;
        }
    }
    return std::nullopt;
}

// Up to maxDigits hexadecimal digits, at least one.
std::optional<std::uint32_t> hexNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint32_t n = 0;
    for (char c : text) {
        const int d = hexDigitValue(static_cast<unsigned char>(c));
        if (d < 0) {
            return std::nullopt;
        }
        n = n * 16 + static_cast<std::uint32_t>(d);
    }
    return n;
}

// "01,02,ff" (blanks allowed around each byte) as bytes.
std::optional<std::string> hexBytes(std::string_view text) {
    std::string bytes;
    text = trimWhitespace(text);
    if (text.empty()) {
        return bytes;
    }
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const auto byte = hexNumber(trimWhitespace(text.substr(from, comma - from)), 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*byte);
        from = comma + 1;
    }
    return bytes;
}

std::optional<RegistryValue> valueOf(std::string_view text) {
    const std::string lower = folded(text.substr(0, 6));
    if (lower.starts_with("dword:")) {
        const auto n = hexNumber(trimWhitespace(text.substr(6)), 8);
        if (!n) {
            return std::nullopt;
        }
        std::string data;
        for (int i = 0; i < 4; ++i) {
            data += static_cast<char>((*n >> (8 * i)) & 0xFF);
        }
        return RegistryValue{kRegDWord, data};
    }
    if (lower.starts_with("hex:")) {
        const auto bytes = hexBytes(text.substr(4));
        return bytes ? std::optional<RegistryValue>({kRegBinary, *bytes}) : std::nullopt;
    }
    if (lower.starts_with("hex(")) {
        const std::size_t close = text.find("):");
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const auto type = hexNumber(text.substr(4, close - 4), 8);
        const auto bytes = hexBytes(text.substr(close + 2));
        if (!type || !bytes) {
            return std::nullopt;
        }
        return RegistryValue{*type, *bytes};
    }
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return RegistryValue{kRegString, std::string(text) + '\0'};
}

class MemoryKey : public RegistryKey {
public:
    explicit MemoryKey(std::map<std::string, RegistryValue> values) : values_(std::move(values)) {}

    RegistryAnswer query(const std::string& valueName, RegistryValue& value) override {
        const auto found = values_.find(folded(valueName));
        if (found == values_.end()) {
            return RegistryAnswer::NotFound;
        }
        value = found->second;
        return RegistryAnswer::Ok;
    }

private:
    std::map<std::string, RegistryValue> values_;
};

} // namespace

std::vector<RegistryEntry> parseRegistryFile(std::string_view text) {
    std::vector<RegistryEntry> entries;
    std::optional<std::pair<RegistryRoot, std::string>> section;
    for (const std::string_view line : trimmedLines(text)) {
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            section.reset();
            if (line.back() != ']') {
                continue;
            }
            const std::string_view inside = line.substr(1, line.size() - 2);
            const std::size_t slash = inside.find_first_of("\\/");
            const auto root = rootNamed(trimWhitespace(inside.substr(0, slash)));
            if (root) {
                const std::string_view path =
                    slash == std::string_view::npos ? std::string_view() : inside.substr(slash);
                section.emplace(*root, keyOf(path));
                entries.push_back({*root, section->second, "", {}});
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!section || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view name = trimWhitespace(line.substr(0, equals));
        const auto value = valueOf(trimWhitespace(line.substr(equals + 1)));
        if (!name.empty() && value) {
            entries.push_back({section->first, section->second, std::string(name), *value});
        }
    }
    return entries;
}

IniRegistry::IniRegistry(FileSystem& files, std::vector<std::string> paths, BuiltIn builtIn)
    : files_(files), paths_(std::move(paths)), builtIn_(std::move(builtIn)) {}

RegistryAnswer IniRegistry::open(RegistryRoot root, const std::string& keyPath,
                                 std::uint32_t access, std::unique_ptr<RegistryKey>& key) {
    if ((access & ~kKeyRead) != 0) {
        return RegistryAnswer::AccessDenied;
    }
    // Lowest first, so that each layer overwrites the ones beneath it.
    std::vector<std::vector<RegistryEntry>> layers;
    if (builtIn_) {
        layers.push_back(builtIn_());
    }
    for (auto path = paths_.rbegin(); path != paths_.rend(); ++path) {
        try {
            layers.push_back(parseRegistryFile(files_.readAll(*path)));
        } catch (const RunError& e) {
            if (e.number() != ENOENT && e.number() != ENOTDIR) {
                return RegistryAnswer::AccessDenied;
            }
        }
    }
    const std::string wanted = keyOf(keyPath);
    bool found = false;
    std::map<std::string, RegistryValue> values;
    for (const auto& layer : layers) {
        for (const RegistryEntry& entry : layer) {
            if (entry.root != root || keyOf(entry.keyPath) != wanted) {
                continue;
            }
            found = true;
            if (!entry.valueName.empty()) {
                values[folded(entry.valueName)] = entry.value;
            }
        }
    }
    if (!found) {
        return RegistryAnswer::NotFound;
    }
    key = std::make_unique<MemoryKey>(std::move(values));
    return RegistryAnswer::Ok;
}

std::vector<std::string> registryFiles(const Environment& environment) {
    std::vector<std::string> files{"/etc/vornal-encryption/registry.ini"};
    const std::string home = homeFolder(environment);
    const std::string config =
        absolutePathVariable(environment, "XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
    if (!config.empty()) {
        files.push_back(config + "/vornal-encryption/registry.ini");
    }
    return files;
}

} // namespace vornal
