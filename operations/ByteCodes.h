#pragma once

#include <cstddef>
#include <cstdint>

namespace vornal {

// The conversions the file engine makes on every byte, each in two forms that give the
// same result: a plain loop and one that takes many bytes at a time where the processor
// has the instructions (SSE2, part of every x86-64), falling back to the plain loop.

// n bytes as 2n upper-case hexadecimal digits.
void encodeHex(const std::uint8_t* bytes, std::size_t n, char* out) noexcept;
void encodeHexPlain(const std::uint8_t* bytes, std::size_t n, char* out) noexcept;

// 2n hexadecimal digits (either case) as n bytes; false when any character is not a
// digit, and then the bytes written are of no use.
[[nodiscard]] bool decodeHex(const char* hex, std::size_t n, std::uint8_t* out) noexcept;
[[nodiscard]] bool decodeHexPlain(const char* hex, std::size_t n, std::uint8_t* out) noexcept;

// n Windows-1252 bytes as n UTF-16LE code units.
void widen1252(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept;
void widen1252Plain(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept;

// n UTF-16LE code units as n Windows-1252 bytes; false when a character has no byte, and
// then the bytes written are of no use.
[[nodiscard]] bool narrowTo1252(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept;
[[nodiscard]] bool narrowTo1252Plain(const std::uint8_t* utf16le, std::size_t n,
                                     char* out) noexcept;

// How many of the n bytes at text are c.
[[nodiscard]] std::size_t countByte(const char* text, std::size_t n, char c) noexcept;
[[nodiscard]] std::size_t countBytePlain(const char* text, std::size_t n, char c) noexcept;

} // namespace vornal
