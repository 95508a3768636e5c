// The bulk conversions on 512-bit vectors (AVX-512 F and BW); the batch conversions, whose
// fields and parts fit a 256-bit vector, are the AVX2 ones.
//
// Only the functions marked VORNAL_AVX512 use the instructions; the set is chosen only where
// the processor has them and the operating system saves the 512-bit registers.
#include "operations/ByteCodesLevels.h"
#include "operations/FileFormat.h"
#include "platform/Hex.h"

#include <immintrin.h>

#define VORNAL_AVX512 __attribute__((target("avx512f,avx512bw,avx2,popcnt")))
#define VORNAL_AVX512_INLINE [[gnu::always_inline]] VORNAL_AVX512 inline
// For the scans of ByteCodesLevels.h: their windows' instructions are inlined here.
#define VORNAL_AVX512_FLAT __attribute__((target("avx512f,avx512bw,avx2,popcnt"), flatten))

namespace vornal::bytecodes {

namespace {

VORNAL_AVX512_INLINE __m512i load512(const void* p) {
    return _mm512_loadu_si512(p);
}
VORNAL_AVX512_INLINE void store512(void* p, __m512i v) {
    _mm512_storeu_si512(p, v);
}
// The 16-bit lanes' low bytes, in order. Masked to every lane: the unmasked intrinsic trips
// GCC 12's uninitialised-value warning.
VORNAL_AVX512_INLINE __m256i lowBytes(__m512i units) {
    return _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, units);
}

VORNAL_AVX512 void encodeHexAvx512(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
    const __m512i digits = _mm512_maskz_broadcast_i32x4(
        0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kHexDigits)));
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    // Unpacking works within 128-bit lanes: the halves of lane k go to lanes 2k and 2k + 1.
    const __m512i firstHalf = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
    const __m512i secondHalf = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i x = load512(bytes + i);
        const __m512i hi =
            _mm512_shuffle_epi8(digits, _mm512_and_si512(_mm512_srli_epi16(x, 4), nibble));
        const __m512i lo = _mm512_shuffle_epi8(digits, _mm512_and_si512(x, nibble));
        const __m512i a = _mm512_unpacklo_epi8(hi, lo);
        const __m512i b = _mm512_unpackhi_epi8(hi, lo);
        store512(out + 2 * i, _mm512_permutex2var_epi64(a, firstHalf, b));
        store512(out + 2 * i + 64, _mm512_permutex2var_epi64(a, secondHalf, b));
    }
    kAvx2.encodeHex(bytes + i, n - i, out + 2 * i);
}

VORNAL_AVX512 bool decodeHexAvx512(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
    __mmask64 bad = 0;
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m512i c = load512(hex + 2 * i);
        const __m512i fromDigit = _mm512_sub_epi8(c, _mm512_set1_epi8('0'));
        const __mmask64 isDigit = _mm512_cmple_epu8_mask(fromDigit, _mm512_set1_epi8(9));
        // Setting the 0x20 bit folds "A" to "F" onto "a" to "f" and nothing else onto them.
        const __m512i fromLetter =
            _mm512_sub_epi8(_mm512_or_si512(c, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('a'));
        const __mmask64 isLetter = _mm512_cmple_epu8_mask(fromLetter, _mm512_set1_epi8(5));
        bad |= ~(isDigit | isLetter);
        const __m512i values = _mm512_mask_blend_epi8(
            isDigit, _mm512_add_epi8(fromLetter, _mm512_set1_epi8(10)), fromDigit);
        // First digit times 16 plus the second, then each 16-bit lane to its byte.
        const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x0110));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), lowBytes(pairs));
    }
    return kAvx2.decodeHex(hex + 2 * i, n - i, out + i) && bad == 0;
}

VORNAL_AVX512 void widen1252Avx512(const char* text, std::size_t n,
                                   std::uint8_t* utf16le) noexcept {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        // 0x80 to 0x9F are the bytes whose characters lie elsewhere: as signed bytes, those
        // below -0x80 + 0x20.
        if (_mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-0x80 + 0x20), c)) != 0) {
            widen1252Plain(text + i, 32, utf16le + 2 * i);
            continue;
        }
        store512(utf16le + 2 * i, _mm512_cvtepu8_epi16(c));
    }
    kAvx2.widen1252(text + i, n - i, utf16le + 2 * i);
}

VORNAL_AVX512 bool narrowTo1252Avx512(const std::uint8_t* utf16le, std::size_t n,
                                      char* out) noexcept {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m512i units = load512(utf16le + 2 * i);
        // Its own byte: nothing in the high byte, and not 0x80 to 0x9F.
        const __mmask32 high =
            _mm512_test_epi16_mask(units, _mm512_set1_epi16(static_cast<short>(0xFF00)));
        const __mmask32 moved = _mm512_cmple_epu16_mask(
            _mm512_sub_epi16(units, _mm512_set1_epi16(0x80)), _mm512_set1_epi16(0x1F));
        if ((high | moved) != 0) {
            if (!narrowTo1252Plain(utf16le + 2 * i, 32, out + i)) {
                return false;
            }
            continue;
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), lowBytes(units));
    }
    return kAvx2.narrowTo1252(utf16le + 2 * i, n - i, out + i);
}

// 64 bytes at a time.
struct Avx512Window {
    static constexpr std::size_t kWidth = 64;
    VORNAL_AVX512 static std::uint64_t equal(const char* p, char c) noexcept {
        return _mm512_cmpeq_epi8_mask(load512(p), _mm512_set1_epi8(c));
    }
};

VORNAL_AVX512_FLAT std::size_t countByteAvx512(const char* text, std::size_t n, char c) noexcept {
    return countBytesWith<Avx512Window>(text, n, c);
}

VORNAL_AVX512_FLAT std::size_t findByteAvx512(const char* text, std::size_t n, char c,
                                              std::uint32_t* at, std::size_t max) noexcept {
    return findBytesWith<Avx512Window>(text, n, c, at, max);
}

VORNAL_AVX512_FLAT std::size_t countSeparatorsAvx512(const char* text, std::size_t n,
                                                     char before) noexcept {
    return countSeparatorsWith<Avx512Window>(text, n, before);
}

VORNAL_AVX512_FLAT std::size_t findAvx512(std::string_view text,
                                          std::string_view pattern) noexcept {
    return findWith<Avx512Window>(text, pattern);
}

} // namespace

constinit const ByteCodes kAvx512 = {
    .level = ByteCodeLevel::Avx512,
    .encodeHex = encodeHexAvx512,
    .decodeHex = decodeHexAvx512,
    .widen1252 = widen1252Avx512,
    .narrowTo1252 = narrowTo1252Avx512,
    .countByte = countByteAvx512,
    .findByte = findByteAvx512,
    .countSeparators = countSeparatorsAvx512,
    .oneBlockParts = oneBlockPartsAvx2,
    .find = findAvx512,
    .frameFields = frameFieldsAvx2,
    .writePieces = writePiecesAvx2,
    .decodeParts = decodePartsAvx2,
    .writeTexts = writeTextsAvx2,
};

} // namespace vornal::bytecodes
