#pragma once

// Shared by the engines that run Rijndael-256 on the processor's AES round instructions.
// Not part of the library's interface: Rijndael256Engine.h is.

#include "cipher/Rijndael256Engine.h"
#include "platform/Secrets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

namespace vornal::hw {

// The AES round instructions work on a 4-column state and shift row r by r columns within
// it. A 256-bit block is kept as two such halves, columns 0-3 and 4-7, and before every
// round the bytes are moved so that this 4-column shift lands each byte where the 8-column
// ShiftRow (offsets 1, 3, 4) would have put it.
//
// The move is: for each byte position of a half, take it from the same half or from the
// other one (a blend with `fromOther`), then permute within the half (a byte shuffle with
// `source`). Both halves use the same two tables, since the 8-column shift treats them
// alike (the second half is the first's mirror image). The 512-bit engine folds the two
// steps into one byte permute.
struct HalfShuffle {
    // Byte i of the shuffled half is byte source[i] of the blended one.
    std::array<std::uint8_t, 16> source;
    // 0x80 where the blended half holds the other half's byte (the sign bit is what the
    // blend instructions test); indexed by position before the shuffle.
    std::array<std::uint8_t, 16> fromOther;
};

// forward: ShiftRow before SubBytes, as AESENC; otherwise InvShiftRow, as AESDEC.
constexpr HalfShuffle halfShuffle(bool forward) {
    constexpr int offset[4] = {0, 1, 3, 4};
    HalfShuffle s{};
    for (int r = 0; r < 4; ++r) {
        for (int m = 0; m < 4; ++m) {
            // After the instruction's own shift, column j of the half holds what sat in
            // column m = j + r (forward) or j - r (inverse) before it; that has to be the
            // byte the 8-column shift brings to column j, from column j + Cr or j - Cr.
            const int j = forward ? (m - r + 4) % 4 : (m + r) % 4;
            const int column = forward ? (j + offset[r]) % 8 : (j - offset[r] + 8) % 8;
            const int from = 4 * (column % 4) + r;
            s.source[static_cast<std::size_t>(4 * m + r)] = static_cast<std::uint8_t>(from);
            s.fromOther[static_cast<std::size_t>(from)] = column >= 4 ? 0x80 : 0x00;
        }
    }
    return s;
}

inline constexpr HalfShuffle kEncryptShuffle = halfShuffle(true);
inline constexpr HalfShuffle kDecryptShuffle = halfShuffle(false);

inline constexpr int kRounds = 14;

// One direction's round keys with each round's eight words (round k is words 8k..8k+7 of
// the schedule) written Copies times in a row, so that a register of Copies blocks takes a
// round key in one aligned load. Half h of a block's key is words[k][4h..4h+3].
template <std::size_t Copies>
struct RoundKeys {
    alignas(64) std::uint32_t words[kRounds + 1][8 * Copies];

    explicit RoundKeys(std::span<const std::uint32_t, 120> schedule) noexcept {
        for (int r = 0; r <= kRounds; ++r) {
            for (std::size_t copy = 0; copy < Copies; ++copy) {
                std::memcpy(&words[r][8 * copy], &schedule[8 * static_cast<std::size_t>(r)],
                            8 * sizeof(std::uint32_t));
            }
        }
    }
    // The first and last round keys are the key itself.
    ~RoundKeys() { wipe(words, sizeof words); }
    RoundKeys(const RoundKeys&) = delete;
    RoundKeys& operator=(const RoundKeys&) = delete;
};

// Runs the rounds over up to one batch of blocks at data, in place.
template <std::size_t Copies>
using CryptBatch = void (*)(const RoundKeys<Copies>& keys, std::uint8_t* data, std::size_t blocks);

// An engine on one set of round instructions: Encrypt and Decrypt take up to Batch blocks,
// Copies to a register (see RoundKeys). AESDEC takes the decryption schedule as it is,
// since its middle round keys already have InvMixColumn applied.
template <std::size_t Copies, std::size_t Batch, CryptBatch<Copies> Encrypt,
          CryptBatch<Copies> Decrypt>
class HardwareEngine final : public Rijndael256Engine {
public:
    // name: a string that lives as long as the program.
    HardwareEngine(const AES& keyed, std::string_view name)
        : enc_(keyed.encryptionSchedule()), dec_(keyed.decryptionSchedule()), name_(name) {}

    void encryptBlocks(std::uint8_t* data, std::size_t blocks) const override {
        inBatches<Encrypt>(enc_, data, blocks);
    }
    void decryptBlocks(std::uint8_t* data, std::size_t blocks) const override {
        inBatches<Decrypt>(dec_, data, blocks);
    }
    [[nodiscard]] std::string_view name() const override { return name_; }

private:
    template <CryptBatch<Copies> Crypt>
    static void inBatches(const RoundKeys<Copies>& keys, std::uint8_t* data, std::size_t blocks) {
        while (blocks > 0) {
            const std::size_t n = blocks < Batch ? blocks : Batch;
            Crypt(keys, data, n);
            data += 32 * n;
            blocks -= n;
        }
    }

    RoundKeys<Copies> enc_;
    RoundKeys<Copies> dec_;
    std::string_view name_;
};

// Engines built from keyed's two schedules and named name. Their blocks run the
// instructions: call only once the processor is known to have them.
std::unique_ptr<Rijndael256Engine> makeAesNiEngine(const AES& keyed, std::string_view name);
std::unique_ptr<Rijndael256Engine> makeVaesEngine(const AES& keyed, std::string_view name);

} // namespace vornal::hw
