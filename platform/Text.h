#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// Strict UTF-8 to UTF-16: absent for overlong forms, encoded surrogates, code points past
// U+10FFFF and truncated sequences.
[[nodiscard]] std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD so that output is always valid UTF-8.
[[nodiscard]] std::string utf16ToUtf8(std::u16string_view utf16);

// Blanks, tabs, carriage returns and line feeds trimmed from both ends.
[[nodiscard]] std::string_view trimWhitespace(std::string_view text);

// The lines of a text (split at line feeds), each with trimWhitespace applied.
[[nodiscard]] std::vector<std::string_view> trimmedLines(std::string_view text);

// ASCII text as UTF-16, for messages built from fixed English strings.
[[nodiscard]] std::u16string ascii(std::string_view text);

// Files hold one character per byte through Windows-1252 as the WHATWG Encoding Standard
// defines it, so that every byte value maps to a character and back.
[[nodiscard]] char16_t windows1252ToChar(std::uint8_t byte) noexcept;
[[nodiscard]] std::u16string decodeWindows1252(std::string_view bytes);
// The byte for a character, or absent when Windows-1252 has no byte for it.
[[nodiscard]] std::optional<std::uint8_t> charToWindows1252(char16_t ch) noexcept;
// Encodes text; on an unmappable character returns absent and sets *badIndex to its index.
[[nodiscard]] std::optional<std::string> encodeWindows1252(std::u16string_view text,
                                                           std::size_t* badIndex = nullptr);

} // namespace vornal
