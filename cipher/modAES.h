#pragma once

#include "cipher/AES.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// Text as cipher input: each UTF-16 code unit becomes two bytes, low byte first.
[[nodiscard]] std::vector<std::uint8_t> utf16leBytes(std::u16string_view text);
// Bytes taken two at a time as UTF-16LE code units; an odd last byte is dropped.
[[nodiscard]] std::u16string textFromUtf16le(std::span<const std::uint8_t> bytes);
// Two upper-case hexadecimal digits per byte, no separators.
[[nodiscard]] std::u16string toHexUpper(std::span<const std::uint8_t> bytes);
// Pairs of hexadecimal digits (either case) to bytes; absent for an odd count, a single
// digit or any character that is not a hexadecimal digit.
[[nodiscard]] ByteArray parseHexPairs(std::u16string_view hex);

namespace modAES {

// Hexadecimal ciphertext of text under password; empty when either is empty or the
// cipher fails.
[[nodiscard]] std::u16string EncryptString(const std::u16string& text,
                                           const std::u16string& password);

// The text that hex decrypts to under password. Empty for empty input or malformed hex
// (no message), and empty after the "Invalid password" box for a wrong password.
[[nodiscard]] std::u16string
DecryptString(const std::u16string& hex, const std::u16string& password, MessageBoxHook& messages);

} // namespace modAES

// One key prepared once for many texts: results equal EncryptString / DecryptString under
// the same password, without rebuilding the key schedule per text.
class TextCipher {
public:
    enum class Outcome { Text, Malformed, InvalidPassword };
    struct Decrypted {
        Outcome outcome;
        std::u16string text; // empty unless outcome is Text
    };

    explicit TextCipher(std::u16string_view password);

    // Empty for an empty text.
    [[nodiscard]] std::u16string encrypt(std::u16string_view text) const;
    [[nodiscard]] Decrypted decrypt(std::u16string_view hex) const;

    // The same for a file's piece, whose hexadecimal digits are bytes.
    [[nodiscard]] Decrypted decryptHex(std::string_view hex) const;

    [[nodiscard]] const AES& cipher() const noexcept { return aes_; }

private:
    AES aes_;
};

} // namespace vornal
