#pragma once

// The sets of ByteCodes.h, one per instruction set, each defined in the file built for it,
// and the plain forms that the others fall back to for what they do not take at once. Not
// part of the interface: ByteCodes.h is.
#include "operations/ByteCodes.h"
#include "operations/FileFormat.h"

#include <bit>

namespace vornal::bytecodes {

extern const ByteCodes kPlain;
extern const ByteCodes kSse2;
extern const ByteCodes kAvx2;
extern const ByteCodes kAvx512;

void encodeHexPlain(const std::uint8_t* bytes, std::size_t n, char* out) noexcept;
bool decodeHexPlain(const char* hex, std::size_t n, std::uint8_t* out) noexcept;
void widen1252Plain(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept;
bool narrowTo1252Plain(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept;
std::size_t countBytePlain(const char* text, std::size_t n, char c) noexcept;
std::size_t findBytePlain(const char* text, std::size_t n, char c, std::uint32_t* at,
                          std::size_t max) noexcept;
std::size_t countSeparatorsPlain(const char* text, std::size_t n, char before) noexcept;
std::size_t findPlain(std::string_view text, std::string_view pattern) noexcept;
// Checks the candidates where the first and the last byte of pattern match, bit i of mask for
// the place at + i: answers the first that holds all of it, or npos.
std::size_t firstWhole(std::string_view text, std::string_view pattern, std::size_t at,
                       std::uint64_t mask) noexcept;

using Widen = void (*)(const char*, std::size_t, std::uint8_t*) noexcept;
using Narrow = bool (*)(const std::uint8_t*, std::size_t, char*) noexcept;

// One field of n > 0 characters framed at frame, widened by widen; answers the bytes.
std::size_t frameField(const char* field, std::size_t n, std::uint8_t* frame, Widen widen) noexcept;
// The text of a decrypted part of total > 0 bytes, narrowed by narrow to out: answers its
// characters, or kNotText.
std::size_t textOfPart(const std::uint8_t* frame, std::size_t total, char* out,
                       Narrow narrow) noexcept;
inline constexpr std::size_t kNotText = ~std::size_t{0};

std::size_t oneBlockPartsPlain(const char* text, std::size_t n) noexcept;

// The AVX2 forms of the batch conversions, which the AVX-512 set shares.
std::size_t oneBlockPartsAvx2(const char* text, std::size_t n) noexcept;
Framing frameFieldsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                        std::uint32_t* blocks, std::size_t maxFields) noexcept;
std::size_t writePiecesAvx2(const std::uint8_t* frames, const std::uint32_t* blocks,
                            std::size_t fields, char* out) noexcept;
Decoding decodePartsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                         std::uint32_t* blocks, std::size_t maxParts) noexcept;
Texts writeTextsAvx2(const std::uint8_t* frames, const std::uint32_t* blocks, std::size_t parts,
                     bool blankFirst, char* out) noexcept;

// The scans that look at bytes a window at a time, written once for every instruction set.
// A window W has W::kWidth bytes (64 at most) and W::equal(p, c), a mask with bit i set
// where byte p[i] is c. Each scan takes whole windows, then the rest by the plain form.
// Instantiated in a function built for W's instructions and flattened into it, the
// windows' instructions are inlined there.

template <typename W>
std::size_t countBytesWith(const char* text, std::size_t n, char c) noexcept {
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + W::kWidth <= n; i += W::kWidth) {
        count += static_cast<std::size_t>(std::popcount(W::equal(text + i, c)));
    }
    return count + countBytePlain(text + i, n - i, c);
}

template <typename W>
std::size_t findBytesWith(const char* text, std::size_t n, char c, std::uint32_t* at,
                          std::size_t max) noexcept {
    std::size_t found = 0;
    std::size_t i = 0;
    for (; i + W::kWidth <= n; i += W::kWidth) {
        for (std::uint64_t mask = W::equal(text + i, c); mask != 0; mask &= mask - 1) {
            if (found == max) {
                return found;
            }
            at[found++] =
                static_cast<std::uint32_t>(i + static_cast<unsigned>(std::countr_zero(mask)));
        }
    }
    const std::size_t rest = findBytePlain(text + i, n - i, c, at + found, max - found);
    for (std::size_t k = found; k < found + rest; ++k) {
        at[k] += static_cast<std::uint32_t>(i);
    }
    return found + rest;
}

template <typename W>
std::size_t countSeparatorsWith(const char* text, std::size_t n, char before) noexcept {
    std::size_t count = 0;
    std::size_t i = 0;
    std::uint64_t carry = before == kPieceEnd[0] ? 1 : 0; // a ":" just before the window
    for (; i + W::kWidth <= n; i += W::kWidth) {
        const std::uint64_t colons = W::equal(text + i, kPieceEnd[0]);
        const std::uint64_t returns = W::equal(text + i, kPieceEnd[1]);
        count += static_cast<std::size_t>(std::popcount(returns & (colons << 1 | carry)));
        carry = colons >> (W::kWidth - 1);
    }
    return count + countSeparatorsPlain(text + i, n - i, i > 0 ? text[i - 1] : before);
}

// Places where the pattern's first and last bytes both match are the only ones compared
// whole: hexadecimal text is full of the marker's first byte, and plain text has few of its
// last.
template <typename W>
std::size_t findWith(std::string_view text, std::string_view pattern) noexcept {
    const std::size_t reach = pattern.size() - 1;
    std::size_t i = 0;
    for (; i + reach + W::kWidth <= text.size(); i += W::kWidth) {
        const std::uint64_t mask = W::equal(text.data() + i, pattern.front()) &
                                   W::equal(text.data() + i + reach, pattern.back());
        if (mask != 0) {
            if (const std::size_t at = firstWhole(text, pattern, i, mask);
                at != std::string_view::npos) {
                return at;
            }
        }
    }
    const std::size_t rest = text.substr(i).find(pattern);
    return rest == std::string_view::npos ? rest : i + rest;
}

// writeTexts with textOf(frame, total, out) for the text of each part (or kNotText).
template <typename TextOf>
Texts writeTextsWith(const std::uint8_t* frames, const std::uint32_t* blocks, std::size_t parts,
                     bool blankFirst, char* out, TextOf textOf) {
    Texts r;
    for (; r.parts < parts; ++r.parts) {
        if (r.parts > 0 || blankFirst) {
            out[r.chars++] = ' ';
        }
        const std::size_t total = 32 * std::size_t{blocks[r.parts]};
        if (total == 0) {
            continue;
        }
        const std::size_t chars = textOf(frames, total, out + r.chars);
        if (chars == kNotText) {
            r.failed = true;
            break;
        }
        r.chars += chars;
        frames += total;
    }
    return r;
}

} // namespace vornal::bytecodes
