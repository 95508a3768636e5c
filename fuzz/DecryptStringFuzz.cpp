// modAES::DecryptString on any text and key. Input: one byte n, then n % 24 bytes of key,
// then the text; each byte is one character. It never fails; what it gives back is text
// that re-encrypts to a ciphertext decrypting to it again, and to the very ciphertext where
// that was framed as the writer frames.
#include "cipher/modAES.h"
#include "tests/support/RecordingMessages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace vornal;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Whether the bytes are framed as the writer frames: whole characters, the least padding,
// and zero padding.
bool framedAsWritten(std::vector<std::uint8_t> bytes, const AES& keyed) {
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        keyed.Decrypt(std::span(bytes).subspan(at, 32));
    }
    const std::uint32_t L =
        bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return L % 2 == 0 && AES::framedSize(L) == bytes.size() &&
           std::all_of(bytes.begin() + 4 + L, bytes.end(), [](std::uint8_t b) { return b == 0; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t keyLength = std::min<std::size_t>(data[0] % 24, size - 1);
    const std::u16string key(data + 1, data + 1 + keyLength);
    const std::u16string hex(data + 1 + keyLength, data + size);
    test::RecordingMessages boxes;
    const std::u16string text = modAES::DecryptString(hex, key, boxes);
    if (text.empty()) {
        require(boxes.boxes.size() <= 1);
        require(boxes.boxes.empty() || boxes.boxes[0].prompt == u"Invalid password");
        return 0;
    }
    require(boxes.boxes.empty());
    const TextCipher keyed(key);
    require(keyed.decrypt(hex).text == text);
    const std::u16string again = modAES::EncryptString(text, key);
    require(modAES::DecryptString(again, key, boxes) == text && boxes.boxes.empty());
    const ByteArray bytes = parseHexPairs(hex);
    require(bytes.has_value());
    if (framedAsWritten(*bytes, keyed.cipher())) {
        require(again == toHexUpper(*bytes));
    }
    return 0;
}
