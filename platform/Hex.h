#pragma once

// Hexadecimal digits: the one rule for what a digit is, and the one decoder of digit pairs
// that the faster forms elsewhere are checked against.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vornal {

// The upper-case digits, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// A hexadecimal digit's value (either case); -1 for any other character.
[[nodiscard]] constexpr int hexDigitValue(char32_t c) noexcept {
    if (c >= U'0' && c <= U'9') {
        return static_cast<int>(c - U'0');
    }
    if (c >= U'A' && c <= U'F') {
        return static_cast<int>(c - U'A') + 10;
    }
    if (c >= U'a' && c <= U'f') {
        return static_cast<int>(c - U'a') + 10;
    }
    return -1;
}

// n pairs of digits at hex, the first of each pair the high half, as n bytes; false when
// any character is not a digit, and then the bytes written are of no use.
template <typename Char>
[[nodiscard]] bool decodeHexPairs(const Char* hex, std::size_t n, std::uint8_t* out) noexcept {
    using Unit = std::make_unsigned_t<Char>;
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = hexDigitValue(static_cast<Unit>(hex[2 * i]));
        const int lo = hexDigitValue(static_cast<Unit>(hex[2 * i + 1]));
        bad |= hi | lo;
        out[i] = static_cast<std::uint8_t>((hi & 15) << 4 | (lo & 15));
    }
    return bad >= 0;
}

} // namespace vornal
