#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornal::test {

// Bytes written as hexadecimal digits, as published test vectors give them.
inline std::vector<std::uint8_t> hex(std::string_view digits) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

} // namespace vornal::test
