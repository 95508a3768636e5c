#pragma once

// The sets of ByteCodes.h, one per instruction set, each defined in the file built for it,
// and the plain forms that the others fall back to for what they do not take at once. Not
// part of the interface: ByteCodes.h is.
#include "operations/ByteCodes.h"

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

using Widen = void (*)(const char*, std::size_t, std::uint8_t*) noexcept;
using Narrow = bool (*)(const std::uint8_t*, std::size_t, char*) noexcept;

// One field of n > 0 characters framed at frame, widened by widen; answers the bytes.
std::size_t frameField(const char* field, std::size_t n, std::uint8_t* frame, Widen widen) noexcept;
// The text of a decrypted part of total > 0 bytes, narrowed by narrow to out: answers its
// characters, or kNotText.
std::size_t textOfPart(const std::uint8_t* frame, std::size_t total, char* out,
                       Narrow narrow) noexcept;
inline constexpr std::size_t kNotText = ~std::size_t{0};

// The AVX2 forms of the batch conversions, which the AVX-512 set shares.
Framing frameFieldsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                        std::uint32_t* blocks, std::size_t maxFields) noexcept;
std::size_t writePiecesAvx2(const std::uint8_t* frames, const std::uint32_t* blocks,
                            std::size_t fields, char* out) noexcept;
Decoding decodePartsAvx2(std::string_view text, std::uint8_t* frames, std::size_t room,
                         std::uint32_t* blocks, std::size_t maxParts) noexcept;
Texts writeTextsAvx2(const std::uint8_t* frames, const std::uint32_t* blocks, std::size_t parts,
                     bool blankFirst, char* out) noexcept;

} // namespace vornal::bytecodes
