// The conversions on 256-bit vectors (AVX2). A word of text fits one vector, so the batch
// conversions take a field or a part of one block at once; what they do not take at once
// (a field near the ends of the text, a character that Windows-1252 moves, a part of many
// blocks) goes to the plain forms or the bulk loops here.
//
// Only the functions marked VORNAL_AVX2 use the instructions; the set is chosen only where
// the processor has them.
#include "cipher/LittleEndian.h"
#include "operations/ByteCodesLevels.h"
#include "operations/FileFormat.h"
#include "platform/Hex.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>

#define VORNAL_AVX2 __attribute__((target("avx2,popcnt")))
#define VORNAL_AVX2_INLINE [[gnu::always_inline]] VORNAL_AVX2 inline
// For the scans of ByteCodesLevels.h: their windows' instructions are inlined here.
#define VORNAL_AVX2_FLAT __attribute__((target("avx2,popcnt"), flatten))

namespace vornal::bytecodes {

namespace {

// 32 bytes of 0xFF, then 32 of zero.
alignas(64) constexpr std::uint8_t kOnesThenZeros[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

VORNAL_AVX2_INLINE __m256i load256(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
VORNAL_AVX2_INLINE void store256(void* p, __m256i v) {
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}
// The first k bytes set, the rest clear; k from 0 to 32.
VORNAL_AVX2_INLINE __m256i firstBytes(std::size_t k) {
    return load256(kOnesThenZeros + 32 - k);
}

// Bit i set where byte i is one of 0x80 to 0x9F, the bytes whose characters Windows-1252
// puts elsewhere: as signed bytes, those below -0x80 + 0x20.
VORNAL_AVX2_INLINE unsigned movedBytes(__m128i c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(c, _mm_set1_epi8(-0x80 + 0x20))));
}

// Whether all sixteen code units are their own Windows-1252 bytes: nothing in the high
// byte, and not 0x80 to 0x9F.
VORNAL_AVX2_INLINE bool allOwnBytes(__m256i units) {
    const __m256i shifted = _mm256_sub_epi16(units, _mm256_set1_epi16(0x80));
    const __m256i moved =
        _mm256_cmpeq_epi16(_mm256_min_epu16(shifted, _mm256_set1_epi16(0x1F)), shifted);
    const __m256i other = _mm256_or_si256(
        moved, _mm256_and_si256(units, _mm256_set1_epi16(static_cast<short>(0xFF00))));
    return _mm256_testz_si256(other, other) != 0;
}

// Sixteen code units, each its own byte, as those bytes in order.
VORNAL_AVX2_INLINE __m128i lowBytes(__m256i units) {
    const __m256i packed = _mm256_packus_epi16(units, units);
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
}

// 32 bytes as 64 upper-case digits.
VORNAL_AVX2_INLINE void hex32(const std::uint8_t* in, char* out) {
    const __m256i digits =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kHexDigits)));
    const __m256i x = load256(in);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i hi =
        _mm256_shuffle_epi8(digits, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble));
    const __m256i lo = _mm256_shuffle_epi8(digits, _mm256_and_si256(x, nibble));
    const __m256i a = _mm256_unpacklo_epi8(hi, lo); // bytes 0-7 and 16-23
    const __m256i b = _mm256_unpackhi_epi8(hi, lo); // bytes 8-15 and 24-31
    store256(out, _mm256_permute2x128_si256(a, b, 0x20));
    store256(out + 32, _mm256_permute2x128_si256(a, b, 0x31));
}

// 32 digits as 16 bytes, each in the low half of a 16-bit lane (lanes 0-7 in the low 128
// bits); ok loses the bits of any character that is not a digit.
VORNAL_AVX2_INLINE __m256i pairs32(const char* in, __m256i& ok) {
    const __m256i c = load256(in);
    const __m256i fromDigit = _mm256_sub_epi8(c, _mm256_set1_epi8('0'));
    const __m256i isDigit =
        _mm256_cmpeq_epi8(_mm256_min_epu8(fromDigit, _mm256_set1_epi8(9)), fromDigit);
    // Setting the 0x20 bit folds "A" to "F" onto "a" to "f" and nothing else onto them.
    const __m256i fromLetter =
        _mm256_sub_epi8(_mm256_or_si256(c, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i isLetter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(fromLetter, _mm256_set1_epi8(5)), fromLetter);
    ok = _mm256_and_si256(ok, _mm256_or_si256(isDigit, isLetter));
    const __m256i values =
        _mm256_blendv_epi8(_mm256_add_epi8(fromLetter, _mm256_set1_epi8(10)), fromDigit, isDigit);
    // First digit times 16 plus the second.
    return _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x0110));
}

VORNAL_AVX2_INLINE bool allSet(__m256i ok) {
    return static_cast<unsigned>(_mm256_movemask_epi8(ok)) == 0xFFFFFFFFu;
}

// 64 digits as 32 bytes.
VORNAL_AVX2_INLINE void unhex64(const char* in, std::uint8_t* out, __m256i& ok) {
    const __m256i a = pairs32(in, ok);      // bytes 0-7 and 8-15
    const __m256i b = pairs32(in + 32, ok); // bytes 16-23 and 24-31
    store256(out, _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
}

// Bit i set where byte at + i of the size bytes at text is c (wanted in every byte), for
// the 32 bytes from at < size, or as many as are left.
VORNAL_AVX2_INLINE unsigned matches(const char* text, std::size_t size, std::size_t at,
                                    __m256i wanted, char c) {
    if (at + 32 <= size) {
        return static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(load256(text + at), wanted)));
    }
    if (size >= 32) {
        // The last 32 bytes, less those before at.
        const auto last = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(load256(text + size - 32), wanted)));
        return last >> (at + 32 - size);
    }
    unsigned m = 0;
    for (std::size_t i = at; i < size; ++i) {
        m |= static_cast<unsigned>(text[i] == c) << (i - at);
    }
    return m;
}

VORNAL_AVX2 void encodeHexAvx2(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        hex32(bytes + i, out + 2 * i);
    }
    encodeHexPlain(bytes + i, n - i, out + 2 * i);
}

VORNAL_AVX2 bool decodeHexAvx2(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
    __m256i ok = _mm256_set1_epi8(-1);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        unhex64(hex + 2 * i, out + i, ok);
    }
    return decodeHexPlain(hex + 2 * i, n - i, out + i) && allSet(ok);
}

VORNAL_AVX2 void widen1252Avx2(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        if (movedBytes(c) != 0) {
            widen1252Plain(text + i, 16, utf16le + 2 * i);
            continue;
        }
        store256(utf16le + 2 * i, _mm256_cvtepu8_epi16(c));
    }
    widen1252Plain(text + i, n - i, utf16le + 2 * i);
}

VORNAL_AVX2 bool narrowTo1252Avx2(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i units = load256(utf16le + 2 * i);
        if (!allOwnBytes(units)) {
            if (!narrowTo1252Plain(utf16le + 2 * i, 16, out + i)) {
                return false;
            }
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), lowBytes(units));
    }
    return narrowTo1252Plain(utf16le + 2 * i, n - i, out + i);
}

// 32 bytes at a time.
struct Avx2Window {
    static constexpr std::size_t kWidth = 32;
    VORNAL_AVX2 static std::uint64_t equal(const char* p, char c) noexcept {
        return static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(load256(p), _mm256_set1_epi8(c))));
    }
};

VORNAL_AVX2_FLAT std::size_t countByteAvx2(const char* text, std::size_t n, char c) noexcept {
    return countBytesWith<Avx2Window>(text, n, c);
}

VORNAL_AVX2_FLAT std::size_t findByteAvx2(const char* text, std::size_t n, char c,
                                          std::uint32_t* at, std::size_t max) noexcept {
    return findBytesWith<Avx2Window>(text, n, c, at, max);
}

VORNAL_AVX2_FLAT std::size_t countSeparatorsAvx2(const char* text, std::size_t n,
                                                 char before) noexcept {
    return countSeparatorsWith<Avx2Window>(text, n, before);
}

VORNAL_AVX2_FLAT std::size_t findAvx2(std::string_view text, std::string_view pattern) noexcept {
    return findWith<Avx2Window>(text, pattern);
}

// A field of 1 to 14 characters, whose framing is one block, with 2 bytes readable before
// it and 14 from its start: the block is its characters widened where they lie, masked,
// with the length put in front.
VORNAL_AVX2_INLINE std::size_t frameShortField(const char* field, std::size_t n,
                                               std::uint8_t* frame) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field - 2));
    if ((movedBytes(raw) & ((1u << n) - 1) << 2) != 0) {
        return frameField(field, n, frame, widen1252Avx2);
    }
    const __m256i chars = _mm256_and_si256(_mm256_cvtepu8_epi16(raw), firstBytes(4 + 2 * n));
    const __m256i length = _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(2 * n)));
    store256(frame, _mm256_blend_epi32(chars, length, 0x01));
    return 32;
}

} // namespace

VORNAL_AVX2 Framing frameFieldsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                                    std::uint32_t* blocks, std::size_t maxFields) noexcept {
    const char* const base = text.data();
    const std::size_t size = text.size();
    const __m256i blank = _mm256_set1_epi8(' ');
    Framing r;
    if (room == 0 || maxFields == 0) {
        return r;
    }
    for (std::size_t at = 0; at < size; at += 32) {
        for (unsigned m = matches(base, size, at, blank, ' '); m != 0; m &= m - 1) {
            const std::size_t end = at + static_cast<unsigned>(__builtin_ctz(m));
            const std::size_t start = r.used;
            const std::size_t n = end - start;
            std::size_t T = 0;
            if (n > 0 && n <= 14 && start >= 2 && start + 14 <= size) {
                T = frameShortField(base + start, n, frames + r.bytes);
            } else if (n > 0) {
                T = frameField(base + start, n, frames + r.bytes, widen1252Avx2);
            }
            blocks[r.fields++] = static_cast<std::uint32_t>(T / 32);
            r.bytes += T;
            r.used = end + 1;
            if (r.bytes >= room || r.fields >= maxFields) {
                return r;
            }
        }
    }
    return r;
}

VORNAL_AVX2 std::size_t writePiecesAvx2(const std::uint8_t* frames, const std::uint32_t* blocks,
                                        std::size_t fields, char* out) noexcept {
    char* o = out;
    for (std::size_t k = 0; k < fields; ++k) {
        for (std::uint32_t b = 0; b < blocks[k]; ++b) {
            hex32(frames, o);
            frames += 32;
            o += 64;
        }
        std::memcpy(o, kPieceEnd.data(), kPieceEnd.size());
        o += kPieceEnd.size();
    }
    return static_cast<std::size_t>(o - out);
}

VORNAL_AVX2 std::size_t oneBlockPartsAvx2(const char* text, std::size_t n) noexcept {
    constexpr std::size_t kPart = kOneBlockDigits + kPieceEnd.size();
    const __m256i carriageReturn = _mm256_set1_epi8(kPieceEnd[1]);
    std::size_t parts = 0;
    for (const char* p = text; n >= kPart; p += kPart, n -= kPart, ++parts) {
        if (p[kOneBlockDigits] != kPieceEnd[0] || p[kOneBlockDigits + 1] != kPieceEnd[1]) {
            break;
        }
        const __m256i found = _mm256_or_si256(_mm256_cmpeq_epi8(load256(p), carriageReturn),
                                              _mm256_cmpeq_epi8(load256(p + 32), carriageReturn));
        if (_mm256_testz_si256(found, found) == 0) {
            break;
        }
    }
    return parts;
}

namespace {

// Adds to r the part of digits digits at r.used of base, ended by the separator before
// end; false when it is not whole blocks of digits, r.fault telling why.
VORNAL_AVX2_INLINE bool takePart(const char* base, std::size_t digits, std::size_t end,
                                 std::uint8_t* frames, std::uint32_t* blocks, Decoding& r) {
    const std::size_t n = digits / 2;
    if (digits % 2 != 0 || !decodeHexAvx2(base + r.used, n, frames + r.bytes)) {
        r.fault = PartFault::NotHex;
        return false;
    } else if (n % 32 != 0) {
        r.fault = PartFault::NotBlocks;
        return false;
    }
    blocks[r.parts++] = static_cast<std::uint32_t>(n / 32);
    r.bytes += n;
    r.used = end;
    return true;
}

} // namespace

VORNAL_AVX2 Decoding decodePartsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                                     std::uint32_t* blocks, std::size_t maxParts) noexcept {
    const char* const base = text.data();
    const std::size_t size = text.size();
    const __m256i carriageReturn = _mm256_set1_epi8(kPieceEnd[1]);
    Decoding r;
    if (room == 0 || maxParts == 0) {
        return r;
    }
    while (true) {
        // Most parts are one block: 64 digits, then the separator. Where the 64 bytes are
        // all digits, no separator ends among them, so this is the part's own.
        while (r.used + kOneBlockDigits + kPieceEnd.size() <= size &&
               base[r.used + kOneBlockDigits] == kPieceEnd[0] &&
               base[r.used + kOneBlockDigits + 1] == kPieceEnd[1]) {
            __m256i ok = _mm256_set1_epi8(-1);
            unhex64(base + r.used, frames + r.bytes, ok);
            if (!allSet(ok)) {
                break; // the search below finds where it ends and what is wrong
            }
            blocks[r.parts++] = 1;
            r.bytes += 32;
            r.used += kOneBlockDigits + kPieceEnd.size();
            if (r.bytes >= room || r.parts >= maxParts) {
                return r;
            }
        }
        // The next separator: a carriage return after a ":"; the byte before the text is
        // the end of the separator before it, or nothing.
        std::size_t cr = size;
        for (std::size_t at = r.used; at < size && cr == size; at += 32) {
            for (unsigned m = matches(base, size, at, carriageReturn, kPieceEnd[1]); m != 0;
                 m &= m - 1) {
                const std::size_t c = at + static_cast<unsigned>(__builtin_ctz(m));
                if (c > 0 && base[c - 1] == kPieceEnd[0]) {
                    cr = c;
                    break;
                }
            }
        }
        if (cr == size || !takePart(base, cr - 1 - r.used, cr + 1, frames, blocks, r) ||
            r.bytes >= room || r.parts >= maxParts) {
            return r;
        }
    }
}

namespace {

// The text of a part of one block, written with up to 16 bytes of scratch after it: the
// block holds the length field, up to 14 characters and zero padding, all of which go
// through one vector.
VORNAL_AVX2 std::size_t textOfBlock(const std::uint8_t* frame, char* out) {
    const auto L = static_cast<std::int32_t>(load32le(frame));
    if (!isPieceLength(L, 32)) {
        return kNotText;
    }
    const __m256i block = load256(frame);
    const __m256i padding =
        _mm256_andnot_si256(firstBytes(4 + static_cast<std::size_t>(L)), _mm256_set1_epi8(-1));
    if (_mm256_testz_si256(block, padding) == 0) {
        return kNotText;
    }
    // The length field's two units (L is at most 28) and the padding are their own bytes.
    if (!allOwnBytes(block)) {
        return textOfPart(frame, 32, out, narrowTo1252Avx2);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_srli_si128(lowBytes(block), 2));
    return static_cast<std::size_t>(L) / 2;
}

} // namespace

VORNAL_AVX2_FLAT Texts writeTextsAvx2(const std::uint8_t* frames, const std::uint32_t* blocks,
                                      std::size_t parts, bool blankFirst, char* out) noexcept {
    return writeTextsWith(frames, blocks, parts, blankFirst, out,
                          [](const std::uint8_t* frame, std::size_t total, char* text) {
                              return total == 32 ? textOfBlock(frame, text)
                                                 : textOfPart(frame, total, text, narrowTo1252Avx2);
                          });
}

constinit const ByteCodes kAvx2 = {
    .level = ByteCodeLevel::Avx2,
    .encodeHex = encodeHexAvx2,
    .decodeHex = decodeHexAvx2,
    .widen1252 = widen1252Avx2,
    .narrowTo1252 = narrowTo1252Avx2,
    .countByte = countByteAvx2,
    .findByte = findByteAvx2,
    .countSeparators = countSeparatorsAvx2,
    .oneBlockParts = oneBlockPartsAvx2,
    .find = findAvx2,
    .frameFields = frameFieldsAvx2,
    .writePieces = writePiecesAvx2,
    .decodeParts = decodePartsAvx2,
    .writeTexts = writeTextsAvx2,
};

} // namespace vornal::bytecodes
