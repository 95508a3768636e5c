#include "cipher/modAES.h"

#include "platform/Hex.h"
#include "platform/Secrets.h"
#include "platform/Text.h"

namespace vornal {

std::vector<std::uint8_t> utf16leBytes(std::u16string_view text) {
    std::vector<std::uint8_t> out(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return out;
}

std::u16string textFromUtf16le(std::span<const std::uint8_t> bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return out;
}

std::u16string toHexUpper(std::span<const std::uint8_t> bytes) {
    std::u16string out(bytes.size() * 2, u'0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[2 * i] = static_cast<char16_t>(kHexDigits[bytes[i] >> 4]);
        out[2 * i + 1] = static_cast<char16_t>(kHexDigits[bytes[i] & 15]);
    }
    return out;
}

namespace {

template <typename Char>
ByteArray parsePairs(std::basic_string_view<Char> hex) {
    // An odd count leaves a last digit with no byte to go to, which is a failure too.
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(hex.size() / 2);
    if (!decodeHexPairs(hex.data(), out.size(), out.data())) {
        return std::nullopt;
    }
    return out;
}

TextCipher::Decrypted decryptBytes(const AES& aes, const ByteArray& bytes) {
    if (!bytes) {
        return {TextCipher::Outcome::Malformed, {}};
    }
    const ByteArray plaintext = aes.decryptFramed(*bytes);
    std::u16string text = plaintext ? textFromUtf16le(*plaintext) : std::u16string{};
    if (text.empty()) {
        return {TextCipher::Outcome::InvalidPassword, {}};
    }
    return {TextCipher::Outcome::Text, std::move(text)};
}

} // namespace

ByteArray parseHexPairs(std::u16string_view hex) {
    return parsePairs(hex);
}

namespace modAES {

std::u16string EncryptString(const std::u16string& text, const std::u16string& password) {
    if (text.empty() || password.empty()) {
        return {};
    }
    try {
        AES aes;
        ByteArray passwordBytes = utf16leBytes(password);
        const WipeOnExit wipePassword(passwordBytes);
        const ByteArray ciphertext = aes.EncryptData(utf16leBytes(text), passwordBytes);
        if (!ciphertext) {
            return {};
        }
        return toHexUpper(*ciphertext);
    } catch (...) {
        return {};
    }
}

std::u16string DecryptString(const std::u16string& hex, const std::u16string& password,
                             MessageBoxHook& messages) {
    if (hex.empty() || password.empty()) {
        return {};
    }
    std::u16string text;
    try {
        AES aes;
        const ByteArray bytes = parseHexPairs(hex);
        if (!bytes) {
            return {};
        }
        ByteArray passwordBytes = utf16leBytes(password);
        const WipeOnExit wipePassword(passwordBytes);
        const ByteArray plaintext = aes.DecryptData(bytes, passwordBytes);
        if (plaintext) {
            text = textFromUtf16le(*plaintext);
        }
    } catch (...) {
        return {};
    }
    if (text.empty()) {
        messages.messageBox(u"Invalid password", u"Error", MsgButtons::Ok, MsgIcon::None);
    }
    return text;
}

} // namespace modAES

TextCipher::TextCipher(std::u16string_view password) {
    auto bytes = utf16leBytes(password);
    const WipeOnExit wipeBytes(bytes);
    aes_.keyWithPassword(bytes);
}

std::u16string TextCipher::encrypt(std::u16string_view text) const {
    if (text.empty()) {
        return {};
    }
    return toHexUpper(aes_.encryptFramed(utf16leBytes(text)));
}

TextCipher::Decrypted TextCipher::decrypt(std::u16string_view hex) const {
    if (hex.empty()) {
        return {Outcome::Malformed, {}};
    }
    return decryptBytes(aes_, parseHexPairs(hex));
}

TextCipher::Decrypted TextCipher::decryptHex(std::string_view hex) const {
    if (hex.empty()) {
        return {Outcome::Malformed, {}};
    }
    return decryptBytes(aes_, parsePairs(hex));
}

} // namespace vornal
