#include "operations/ByteCodes.h"

#include "platform/Text.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vornal {

namespace {

struct Tables {
    char hex[256][2];         // a byte as two upper-case digits
    std::int16_t pair[65536]; // two digits (first in the low byte) as a byte, -1 if not
    std::uint16_t utf16[256]; // a Windows-1252 byte as its code unit
    Tables() {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::int8_t nibble[256];
        for (int b = 0; b < 256; ++b) {
            hex[b][0] = kDigits[b >> 4];
            hex[b][1] = kDigits[b & 15];
            utf16[b] = windows1252ToChar(static_cast<std::uint8_t>(b));
            nibble[b] = -1;
        }
        for (int d = 0; d < 10; ++d) {
            nibble['0' + d] = static_cast<std::int8_t>(d);
        }
        for (int d = 0; d < 6; ++d) {
            nibble['A' + d] = static_cast<std::int8_t>(10 + d);
            nibble['a' + d] = static_cast<std::int8_t>(10 + d);
        }
        for (int i = 0; i < 65536; ++i) {
            const int hi = nibble[i & 0xFF];
            const int lo = nibble[i >> 8];
            pair[i] = static_cast<std::int16_t>(hi < 0 || lo < 0 ? -1 : hi << 4 | lo);
        }
    }
};

const Tables kTables;

// A code unit that is its own Windows-1252 byte: below 0x80, or 0xA0 to 0xFF.
bool isOwnByte(char16_t c) noexcept {
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF);
}

} // namespace

void encodeHexPlain(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(out + 2 * i, kTables.hex[bytes[i]], 2);
    }
}

bool decodeHexPlain(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint16_t two;
        std::memcpy(&two, hex + 2 * i, 2);
        const std::int16_t v = kTables.pair[two];
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
    }
    return bad >= 0;
}

void widen1252Plain(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t c = kTables.utf16[static_cast<std::uint8_t>(text[i])];
        utf16le[2 * i] = static_cast<std::uint8_t>(c);
        utf16le[2 * i + 1] = static_cast<std::uint8_t>(c >> 8);
    }
}

bool narrowTo1252Plain(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<char16_t>(utf16le[2 * i] | utf16le[2 * i + 1] << 8);
        if (isOwnByte(c)) {
            out[i] = static_cast<char>(c);
        } else if (const auto b = charToWindows1252(c)) {
            out[i] = static_cast<char>(*b);
        } else {
            return false;
        }
    }
    return true;
}

std::size_t countBytePlain(const char* text, std::size_t n, char c) noexcept {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        count += text[i] == c ? 1 : 0;
    }
    return count;
}

#if defined(__SSE2__)

namespace {

__m128i load(const void* p) noexcept {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
void store(void* p, __m128i v) noexcept {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Sixteen nibbles (0 to 15) as their upper-case digits.
__m128i digitsOf(__m128i nibbles) noexcept {
    const __m128i letters =
        _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}

// Sixteen digits as their values; bad gets all bits set for any that is not a digit.
__m128i valuesOf(__m128i c, __m128i& bad) noexcept {
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(c, _mm_set1_epi8('9' + 1)));
    // Setting the 0x20 bit folds "A" to "F" onto "a" to "f" and nothing else onto them.
    const __m128i folded = _mm_or_si128(c, _mm_set1_epi8(0x20));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(folded, _mm_set1_epi8('f' + 1)));
    bad = _mm_or_si128(bad, _mm_andnot_si128(_mm_or_si128(digit, letter), _mm_set1_epi8(-1)));
    const __m128i fromDigit = _mm_and_si128(digit, _mm_sub_epi8(c, _mm_set1_epi8('0')));
    const __m128i fromLetter = _mm_and_si128(letter, _mm_sub_epi8(folded, _mm_set1_epi8('a' - 10)));
    return _mm_or_si128(fromDigit, fromLetter);
}

// Eight pairs of values (first in the low byte of each 16-bit lane) as eight bytes in the
// low lanes.
__m128i pairsOf(__m128i values) noexcept {
    const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00FF)), 4);
    const __m128i low = _mm_srli_epi16(values, 8);
    return _mm_or_si128(high, low);
}

} // namespace

void encodeHex(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i b = load(bytes + i);
        const __m128i hi = _mm_and_si128(_mm_srli_epi16(b, 4), _mm_set1_epi8(0x0F));
        const __m128i lo = _mm_and_si128(b, _mm_set1_epi8(0x0F));
        const __m128i h = digitsOf(hi);
        const __m128i l = digitsOf(lo);
        store(out + 2 * i, _mm_unpacklo_epi8(h, l));
        store(out + 2 * i + 16, _mm_unpackhi_epi8(h, l));
    }
    encodeHexPlain(bytes + i, n - i, out + 2 * i);
}

bool decodeHex(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
    std::size_t i = 0;
    __m128i bad = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i a = pairsOf(valuesOf(load(hex + 2 * i), bad));
        const __m128i b = pairsOf(valuesOf(load(hex + 2 * i + 16), bad));
        store(out + i, _mm_packus_epi16(a, b));
    }
    const bool rest = decodeHexPlain(hex + 2 * i, n - i, out + i);
    return rest && _mm_movemask_epi8(bad) == 0;
}

void widen1252(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c = load(text + i);
        // 0x80 to 0x9F are the bytes whose characters lie elsewhere.
        // As signed bytes they are the ones below -0x80 + 0x20.
        const __m128i moved = _mm_cmplt_epi8(c, _mm_set1_epi8(-0x80 + 0x20));
        if (_mm_movemask_epi8(moved) != 0) {
            widen1252Plain(text + i, 16, utf16le + 2 * i);
            continue;
        }
        store(utf16le + 2 * i, _mm_unpacklo_epi8(c, _mm_setzero_si128()));
        store(utf16le + 2 * i + 16, _mm_unpackhi_epi8(c, _mm_setzero_si128()));
    }
    widen1252Plain(text + i, n - i, utf16le + 2 * i);
}

bool narrowTo1252(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i u = load(utf16le + 2 * i);
        // Its own byte: nothing in the high byte, and not 0x80 to 0x9F.
        const __m128i high = _mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xFF00)));
        const __m128i shifted = _mm_sub_epi16(u, _mm_set1_epi16(0x80));
        const __m128i moved = _mm_and_si128(_mm_cmpgt_epi16(shifted, _mm_set1_epi16(-1)),
                                            _mm_cmplt_epi16(shifted, _mm_set1_epi16(0x20)));
        const __m128i other = _mm_or_si128(
            _mm_cmpeq_epi16(_mm_cmpeq_epi16(high, _mm_setzero_si128()), _mm_setzero_si128()),
            moved);
        if (_mm_movemask_epi8(other) != 0) {
            if (!narrowTo1252Plain(utf16le + 2 * i, 8, out + i)) {
                return false;
            }
            continue;
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(u, u));
    }
    return narrowTo1252Plain(utf16le + 2 * i, n - i, out + i);
}

std::size_t countByte(const char* text, std::size_t n, char c) noexcept {
    const __m128i wanted = _mm_set1_epi8(c);
    std::size_t count = 0;
    std::size_t i = 0;
    while (i + 16 <= n) {
        // Each byte of the sum counts at most 255 matches before it is added up.
        __m128i sums = _mm_setzero_si128();
        for (int k = 0; k < 255 && i + 16 <= n; ++k, i += 16) {
            sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(load(text + i), wanted));
        }
        const __m128i halves = _mm_sad_epu8(sums, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(halves)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
    }
    return count + countBytePlain(text + i, n - i, c);
}

#else

std::size_t countByte(const char* text, std::size_t n, char c) noexcept {
    return countBytePlain(text, n, c);
}

void encodeHex(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
    encodeHexPlain(bytes, n, out);
}
bool decodeHex(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
    return decodeHexPlain(hex, n, out);
}
void widen1252(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept {
    widen1252Plain(text, n, utf16le);
}
bool narrowTo1252(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept {
    return narrowTo1252Plain(utf16le, n, out);
}

#endif

} // namespace vornal
