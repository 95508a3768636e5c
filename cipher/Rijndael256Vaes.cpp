// Rijndael-256 on the 512-bit VAES round instructions: two blocks per register.
//
// Only the functions marked VORNAL_VAES use the instructions; the engine is made only where
// the processor has them and the operating system saves the 512-bit registers.
#include "cipher/Rijndael256Hardware.h"

#include <cstring>
#include <immintrin.h>
#include <span>

#define VORNAL_VAES __attribute__((target("vaes,avx512f,avx512bw,avx512vbmi")))

namespace vornal::hw {
namespace {

// A register holds two whole blocks, each in a 256-bit half, so the ShiftRow correction of
// a round is a single byte permute (vpermb) within each half, with no regrouping of halves
// on load and store. Twelve registers (24 blocks) in flight keep the round units busy
// through the latency of a permute and a round.
constexpr std::size_t kRegisters = 12;

using Keys = RoundKeys<2>;

// For byte i of a register, the byte it takes before the round: the half blend and the
// shuffle of Rijndael256Hardware.h folded into one index, in both blocks.
constexpr std::array<std::uint8_t, 64> registerPermute(const HalfShuffle& s) {
    std::array<std::uint8_t, 64> index{};
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::size_t block = i / 32;
        const std::size_t half = i / 16 % 2;
        const std::size_t from = s.source[i % 16];
        const std::size_t fromHalf = s.fromOther[from] != 0 ? 1 - half : half;
        index[i] = static_cast<std::uint8_t>(32 * block + 16 * fromHalf + from);
    }
    return index;
}

alignas(64) constexpr std::array<std::uint8_t, 64> kEncryptPermute =
    registerPermute(kEncryptShuffle);
alignas(64) constexpr std::array<std::uint8_t, 64> kDecryptPermute =
    registerPermute(kDecryptShuffle);

// One round on two blocks: the 8-column ShiftRow, less what the round instruction shifts
// itself, then the instruction (the last round's skips MixColumn).
template <bool Forward, bool Last = false>
[[gnu::always_inline]] VORNAL_VAES inline __m512i round(__m512i x, __m512i permute, __m512i key) {
    // Every byte; the unmasked intrinsic trips GCC 12's uninitialised-value warning.
    constexpr __mmask64 all = ~__mmask64{0};
    const __m512i state = _mm512_maskz_permutexvar_epi8(all, permute, x);
    if constexpr (Forward) {
        return Last ? _mm512_aesenclast_epi128(state, key) : _mm512_aesenc_epi128(state, key);
    } else {
        return Last ? _mm512_aesdeclast_epi128(state, key) : _mm512_aesdec_epi128(state, key);
    }
}

// R registers' worth of blocks at data. Partial: the last register holds only one block;
// the 32 bytes after it are neither read nor written.
template <std::size_t R, bool Forward, bool Partial>
[[gnu::always_inline]] VORNAL_VAES inline void crypt(const Keys& keys, std::uint8_t* data) {
    const __m512i permute = _mm512_load_si512((Forward ? kEncryptPermute : kDecryptPermute).data());
    // Four of the eight qwords: the first block.
    constexpr __mmask8 firstBlock = 0x0F;
    const __m512i whitening = _mm512_load_si512(keys.words[0]);
    __m512i x[R];
// Unrolled, so that the array lives in registers rather than on the stack.
#pragma GCC unroll 16
    for (std::size_t i = 0; i < R; ++i) {
        const std::uint8_t* p = data + 64 * i;
        const __m512i in =
            Partial && i + 1 == R ? _mm512_maskz_loadu_epi64(firstBlock, p) : _mm512_loadu_si512(p);
        x[i] = _mm512_xor_si512(in, whitening);
    }
    for (int r = 1; r < kRounds; ++r) {
        const __m512i k = _mm512_load_si512(keys.words[r]);
#pragma GCC unroll 16
        for (std::size_t i = 0; i < R; ++i) {
            x[i] = round<Forward>(x[i], permute, k);
        }
    }
    const __m512i k = _mm512_load_si512(keys.words[kRounds]);
#pragma GCC unroll 16
    for (std::size_t i = 0; i < R; ++i) {
        const __m512i out = round<Forward, true>(x[i], permute, k);
        std::uint8_t* p = data + 64 * i;
        if (Partial && i + 1 == R) {
            _mm512_mask_storeu_epi64(p, firstBlock, out);
        } else {
            _mm512_storeu_si512(p, out);
        }
    }
}

// Up to 2R blocks, in blocks / 2 registers rounded up; the engine's entry with
// R = kRegisters.
template <std::size_t R, bool Forward>
VORNAL_VAES void cryptUpTo(const Keys& keys, std::uint8_t* data, std::size_t blocks) {
    if constexpr (R > 0) {
        if (blocks == 2 * R) {
            return crypt<R, Forward, false>(keys, data);
        }
        if (blocks == 2 * R - 1) {
            return crypt<R, Forward, true>(keys, data);
        }
        cryptUpTo<R - 1, Forward>(keys, data, blocks);
    }
}

} // namespace

std::unique_ptr<Rijndael256Engine> makeVaesEngine(const AES& keyed, std::string_view name) {
    constexpr std::size_t batch = 2 * kRegisters;
    return std::make_unique<
        HardwareEngine<2, batch, cryptUpTo<kRegisters, true>, cryptUpTo<kRegisters, false>>>(keyed,
                                                                                             name);
}

} // namespace vornal::hw
