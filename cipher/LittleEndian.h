#pragma once

// 32-bit words in little-endian byte order: the column order of the cipher's state and the
// byte order of the framing's length field.

#include <cstdint>

namespace vornal {

// The word whose bytes, lowest first, are p[0..3].
[[nodiscard]] inline std::uint32_t load32le(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Writes w to p[0..3], lowest byte first.
inline void store32le(std::uint8_t* p, std::uint32_t w) noexcept {
    p[0] = static_cast<std::uint8_t>(w);
    p[1] = static_cast<std::uint8_t>(w >> 8);
    p[2] = static_cast<std::uint8_t>(w >> 16);
    p[3] = static_cast<std::uint8_t>(w >> 24);
}

} // namespace vornal
