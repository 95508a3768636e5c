#pragma once

// Shared by the engines that run Rijndael-256 on the processor's AES round instructions.
// Not part of the library's interface: Rijndael256Engine.h is.

#include "cipher/Rijndael256Engine.h"

#include <array>
#include <cstdint>
#include <memory>

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

// Engines built from keyed's two schedules (round k is words 8k..8k+7; AESDEC takes the
// decryption schedule as it is, since its middle round keys already have InvMixColumn
// applied). Their blocks run the instructions: call only once the processor is known to
// have them.
std::unique_ptr<Rijndael256Engine> makeAesNiEngine(const AES& keyed);
std::unique_ptr<Rijndael256Engine> makeVaesEngine(const AES& keyed);

} // namespace vornal::hw
