// The plain conversions, which are the reference for the others, the SSE2 ones that every
// x86-64 processor runs, and the choice among the sets.
#include "operations/ByteCodes.h"

#include "cipher/LittleEndian.h"
#include "operations/ByteCodesLevels.h"
#include "operations/FileFormat.h"
#include "platform/Hex.h"
#include "platform/Processor.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>
#include <string_view>

namespace vornal {

namespace bytecodes {

namespace {

struct Tables {
    char hex[256][2];         // a byte as two upper-case digits
    std::uint16_t utf16[256]; // a Windows-1252 byte as its code unit
    Tables() {
        for (int b = 0; b < 256; ++b) {
            hex[b][0] = kHexDigits[b >> 4];
            hex[b][1] = kHexDigits[b & 15];
            utf16[b] = windows1252ToChar(static_cast<std::uint8_t>(b));
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
    return decodeHexPairs(hex, n, out);
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
    return static_cast<std::size_t>(std::count(text, text + n, c));
}

std::size_t findBytePlain(const char* text, std::size_t n, char c, std::uint32_t* at,
                          std::size_t max) noexcept {
    std::size_t found = 0;
    for (std::size_t i = 0; i < n && found < max; ++i) {
        if (text[i] == c) {
            at[found++] = static_cast<std::uint32_t>(i);
        }
    }
    return found;
}

std::size_t oneBlockPartsPlain(const char* text, std::size_t n) noexcept {
    constexpr std::size_t kPart = kOneBlockDigits + kPieceEnd.size();
    std::size_t parts = 0;
    for (const char* p = text; n >= kPart; p += kPart, n -= kPart, ++parts) {
        if (std::string_view(p + kOneBlockDigits, kPieceEnd.size()) != kPieceEnd ||
            std::memchr(p, kPieceEnd[1], kOneBlockDigits) != nullptr) {
            break;
        }
    }
    return parts;
}

std::size_t countSeparatorsPlain(const char* text, std::size_t n, char before) noexcept {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        count += text[i] == kPieceEnd[1] && before == kPieceEnd[0] ? 1 : 0;
        before = text[i];
    }
    return count;
}

std::size_t findPlain(std::string_view text, std::string_view pattern) noexcept {
    return text.find(pattern);
}

std::size_t firstWhole(std::string_view text, std::string_view pattern, std::size_t at,
                       std::uint64_t mask) noexcept {
    for (; mask != 0; mask &= mask - 1) {
        const std::size_t place = at + static_cast<unsigned>(__builtin_ctzll(mask));
        if (std::memcmp(text.data() + place + 1, pattern.data() + 1, pattern.size() - 2) == 0) {
            return place;
        }
    }
    return std::string_view::npos;
}

std::size_t frameField(const char* field, std::size_t n, std::uint8_t* frame,
                       Widen widen) noexcept {
    const std::size_t T = AES::framedSize(2 * n);
    store32le(frame, static_cast<std::uint32_t>(2 * n));
    widen(field, n, frame + 4);
    std::memset(frame + 4 + 2 * n, 0, T - 4 - 2 * n);
    return T;
}

std::size_t textOfPart(const std::uint8_t* frame, std::size_t total, char* out,
                       Narrow narrow) noexcept {
    const auto L = static_cast<std::int32_t>(load32le(frame));
    if (!isPieceLength(L, total)) {
        return kNotText;
    }
    // The framing pads with zero bytes: anything else there was not written with this key.
    const auto chars = static_cast<std::size_t>(L) / 2;
    if (!std::all_of(frame + 4 + 2 * chars, frame + total, [](std::uint8_t b) { return b == 0; })) {
        return kNotText;
    }
    return narrow(frame + 4, chars, out) ? chars : kNotText;
}

namespace {

Framing frameFieldsPlain(std::string_view text, std::uint8_t* frames, std::size_t room,
                         std::uint32_t* blocks, std::size_t maxFields) noexcept {
    Framing r;
    while (r.bytes < room && r.fields < maxFields) {
        const std::size_t blank = text.find(' ', r.used);
        if (blank == std::string_view::npos) {
            break;
        }
        const std::size_t n = blank - r.used;
        const std::size_t T =
            n == 0 ? 0 : frameField(text.data() + r.used, n, frames + r.bytes, widen1252Plain);
        blocks[r.fields++] = static_cast<std::uint32_t>(T / 32);
        r.bytes += T;
        r.used = blank + 1;
    }
    return r;
}

std::size_t writePiecesPlain(const std::uint8_t* frames, const std::uint32_t* blocks,
                             std::size_t fields, char* out) noexcept {
    char* o = out;
    for (std::size_t k = 0; k < fields; ++k) {
        const std::size_t bytes = 32 * std::size_t{blocks[k]};
        encodeHexPlain(frames, bytes, o);
        frames += bytes;
        o += 2 * bytes;
        std::memcpy(o, kPieceEnd.data(), kPieceEnd.size());
        o += kPieceEnd.size();
    }
    return static_cast<std::size_t>(o - out);
}

Decoding decodePartsPlain(std::string_view text, std::uint8_t* frames, std::size_t room,
                          std::uint32_t* blocks, std::size_t maxParts) noexcept {
    Decoding r;
    std::size_t from = 0;
    while (r.bytes < room && r.parts < maxParts) {
        // A separator is a carriage return after a ":"; the byte before the text is the end
        // of the separator before it, or nothing.
        const std::size_t cr = text.find(kPieceEnd[1], from);
        if (cr == std::string_view::npos) {
            break;
        }
        from = cr + 1;
        if (cr == 0 || text[cr - 1] != kPieceEnd[0]) {
            continue;
        }
        const std::size_t digits = cr - 1 - r.used;
        const std::size_t n = digits / 2;
        if (digits % 2 != 0 || !decodeHexPlain(text.data() + r.used, n, frames + r.bytes)) {
            r.fault = PartFault::NotHex;
            break;
        }
        if (n % 32 != 0) {
            r.fault = PartFault::NotBlocks;
            break;
        }
        blocks[r.parts++] = static_cast<std::uint32_t>(n / 32);
        r.bytes += n;
        r.used = from;
    }
    return r;
}

Texts writeTextsPlain(const std::uint8_t* frames, const std::uint32_t* blocks, std::size_t parts,
                      bool blankFirst, char* out) noexcept {
    return writeTextsWith(frames, blocks, parts, blankFirst, out,
                          [](const std::uint8_t* frame, std::size_t total, char* text) {
                              return textOfPart(frame, total, text, narrowTo1252Plain);
                          });
}

// ---- SSE2 ----

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

void encodeHexSse2(const std::uint8_t* bytes, std::size_t n, char* out) noexcept {
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

bool decodeHexSse2(const char* hex, std::size_t n, std::uint8_t* out) noexcept {
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

void widen1252Sse2(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept {
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

bool narrowTo1252Sse2(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept {
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

std::size_t countByteSse2(const char* text, std::size_t n, char c) noexcept {
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

// Sixteen bytes at a time.
struct Sse2Window {
    static constexpr std::size_t kWidth = 16;
    static std::uint64_t equal(const char* p, char c) noexcept {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(load(p), _mm_set1_epi8(c))));
    }
};

std::size_t findByteSse2(const char* text, std::size_t n, char c, std::uint32_t* at,
                         std::size_t max) noexcept {
    return findBytesWith<Sse2Window>(text, n, c, at, max);
}

std::size_t countSeparatorsSse2(const char* text, std::size_t n, char before) noexcept {
    return countSeparatorsWith<Sse2Window>(text, n, before);
}

std::size_t findSse2(std::string_view text, std::string_view pattern) noexcept {
    return findWith<Sse2Window>(text, pattern);
}

} // namespace

constinit const ByteCodes kPlain = {
    .level = ByteCodeLevel::Plain,
    .encodeHex = encodeHexPlain,
    .decodeHex = decodeHexPlain,
    .widen1252 = widen1252Plain,
    .narrowTo1252 = narrowTo1252Plain,
    .countByte = countBytePlain,
    .findByte = findBytePlain,
    .countSeparators = countSeparatorsPlain,
    .oneBlockParts = oneBlockPartsPlain,
    .find = findPlain,
    .frameFields = frameFieldsPlain,
    .writePieces = writePiecesPlain,
    .decodeParts = decodePartsPlain,
    .writeTexts = writeTextsPlain,
};

constinit const ByteCodes kSse2 = {
    .level = ByteCodeLevel::Sse2,
    .encodeHex = encodeHexSse2,
    .decodeHex = decodeHexSse2,
    .widen1252 = widen1252Sse2,
    .narrowTo1252 = narrowTo1252Sse2,
    .countByte = countByteSse2,
    .findByte = findByteSse2,
    .countSeparators = countSeparatorsSse2,
    .oneBlockParts = oneBlockPartsPlain,
    .find = findSse2,
    .frameFields = frameFieldsPlain,
    .writePieces = writePiecesPlain,
    .decodeParts = decodePartsPlain,
    .writeTexts = writeTextsPlain,
};

} // namespace bytecodes

std::string_view byteCodesName(ByteCodeLevel level) noexcept {
    switch (level) {
    case ByteCodeLevel::Plain:
        return "plain";
    case ByteCodeLevel::Sse2:
        return "sse2";
    case ByteCodeLevel::Avx2:
        return "avx2";
    case ByteCodeLevel::Avx512:
        return "avx512";
    }
    return "plain";
}

const ByteCodes* byteCodesAt(ByteCodeLevel level) noexcept {
    switch (level) {
    case ByteCodeLevel::Plain:
        return &bytecodes::kPlain;
    case ByteCodeLevel::Sse2:
        return &bytecodes::kSse2; // part of every x86-64 processor
    case ByteCodeLevel::Avx2:
        return processor().avx2 ? &bytecodes::kAvx2 : nullptr;
    case ByteCodeLevel::Avx512:
        return processor().avx2 && processor().avx512bw ? &bytecodes::kAvx512 : nullptr;
    }
    return nullptr;
}

const ByteCodes& byteCodes() noexcept {
    static const ByteCodes& best = []() -> const ByteCodes& {
        for (const auto level : {ByteCodeLevel::Avx512, ByteCodeLevel::Avx2}) {
            if (const ByteCodes* codes = byteCodesAt(level)) {
                return *codes;
            }
        }
        return bytecodes::kSse2;
    }();
    return best;
}

} // namespace vornal
