#pragma once

#include "cipher/AES.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// Rijndael with a 256-bit block and a 256-bit key (Nb = Nk = 8, 14 rounds) over many
// independent 32-byte blocks at once, as the framing uses it: every block on its own.
// Built from an AES object keyed with gkey(8, 8, key); the results equal that object's
// Encrypt / Decrypt block by block.
class Rijndael256Engine {
public:
    virtual ~Rijndael256Engine() = default;
    // Encrypts blocks * 32 bytes at data in place.
    virtual void encryptBlocks(std::uint8_t* data, std::size_t blocks) const = 0;
    // Decrypts blocks * 32 bytes at data in place.
    virtual void decryptBlocks(std::uint8_t* data, std::size_t blocks) const = 0;
    // "portable", "aes-ni" or "vaes-avx512".
    [[nodiscard]] virtual std::string_view name() const = 0;
};

// The fastest engine this processor runs, or the portable one when the environment
// variable VORNAL_CIPHER is "portable". keyed must hold a gkey(8, 8, ...) schedule.
[[nodiscard]] std::unique_ptr<Rijndael256Engine> makeEngine(const AES& keyed);

// A named engine, or nullptr when this processor cannot run it.
[[nodiscard]] std::unique_ptr<Rijndael256Engine> makeEngineNamed(const AES& keyed,
                                                                 std::string_view name);

// The names of the engines this processor runs, the portable one first.
[[nodiscard]] std::vector<std::string> availableEngines();

// The name makeEngine would choose here.
[[nodiscard]] std::string chosenEngineName();

} // namespace vornal
