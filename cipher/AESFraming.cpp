// The framing: a 4-byte length, the message and zero padding to whole 32-byte blocks, each
// block encrypted on its own under a 256-bit block and key.
#include "cipher/AES.h"
#include "cipher/LittleEndian.h"
#include "platform/RunError.h"
#include "platform/Secrets.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vornal {

std::array<std::uint8_t, 32> AES::keyFromPassword(std::span<const std::uint8_t> password) {
    std::array<std::uint8_t, 32> key{};
    if (!password.empty()) {
        std::memcpy(key.data(), password.data(), std::min<std::size_t>(32, password.size()));
    }
    return key;
}

void AES::keyWithPassword(std::span<const std::uint8_t> password) {
    auto key = keyFromPassword(password);
    const WipeOnExit wipeKey(key);
    gentables();
    gkey(8, 8, key);
}

std::vector<std::uint8_t> AES::encryptFramed(std::span<const std::uint8_t> message) const {
    if (message.empty()) {
        // Copying from the first byte of an empty message fails.
        throw RunError::subscriptOutOfRange();
    }
    if (message.size() > static_cast<std::size_t>(INT32_MAX) - 35) {
        throw RunError::overflow();
    }
    const std::size_t T = framedSize(message.size());
    std::vector<std::uint8_t> out(T); // the padding is zero
    store32le(out.data(), static_cast<std::uint32_t>(message.size()));
    std::memcpy(out.data() + 4, message.data(), message.size());
    for (std::size_t c = 0; c < T; c += 32) {
        Encrypt(std::span<std::uint8_t>(out.data() + c, 32));
    }
    return out;
}

ByteArray AES::decryptFramed(std::span<const std::uint8_t> ciphertext) const {
    const std::size_t T = ciphertext.size();
    if (T == 0 || T % 32 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(ciphertext.begin(), ciphertext.end());
    for (std::size_t c = 0; c < T; c += 32) {
        Decrypt(std::span<std::uint8_t>(buffer.data() + c, 32));
    }
    const auto L = static_cast<std::int32_t>(load32le(buffer.data()));
    if (!plausibleLength(L, T)) {
        wipeAll(buffer);
        return std::nullopt;
    }
    // Reuse the buffer: drop the length field and the padding.
    buffer.erase(buffer.begin(), buffer.begin() + 4);
    buffer.resize(static_cast<std::size_t>(L));
    return buffer;
}

ByteArray AES::EncryptData(const ByteArray& bytMessage, const ByteArray& bytPassword) {
    try {
        if (!isdimensioned(bytMessage) || !isdimensioned(bytPassword)) {
            return std::nullopt;
        }
        keyWithPassword(*bytPassword);
        return encryptFramed(*bytMessage);
    } catch (...) {
        return std::nullopt;
    }
}

ByteArray AES::DecryptData(const ByteArray& bytIn, const ByteArray& bytPassword) {
    try {
        if (!isdimensioned(bytIn) || !isdimensioned(bytPassword)) {
            return std::nullopt;
        }
        if (bytIn->size() % 32 != 0) {
            return std::nullopt; // before any key work
        }
        keyWithPassword(*bytPassword);
        return decryptFramed(*bytIn);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace vornal
