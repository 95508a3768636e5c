#pragma once

#include "cipher/AES.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornal {

// The last line of every encrypted file, with no line end of its own. Files written with
// it are recognised only by a program with the same line, so it never changes.
inline constexpr std::string_view kMarkerLine =
    "File encrypted by: Vornal Encryption (c),Talmeric Interactive, Inc. "
    "<https://vornal.talmeric.example/>";

// Each piece of an encrypted file is its hexadecimal ciphertext, ":" and a carriage return.
inline constexpr std::string_view kPieceEnd = ":\r";

// What may follow the last piece and still count as nothing: blanks, tabs and line ends,
// such as a text editor adds when it saves the file.
[[nodiscard]] constexpr bool isIgnoredTail(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// File text is held as its bytes: one character per byte, through Windows-1252.

// The fields of a plain text: split at every blank; adjacent blanks give empty fields.
[[nodiscard]] std::vector<std::string_view> splitFields(std::string_view text);

// The parts of an encrypted text: split at every ":" followed by a carriage return. A file
// of N pieces gives N + 1 parts, the last one empty.
[[nodiscard]] std::vector<std::string_view> splitParts(std::string_view text);

// The size of one piece for a field of n characters: 2 for an empty field, otherwise the
// hexadecimal ciphertext of 2n bytes plus its two end characters.
[[nodiscard]] constexpr std::uint64_t pieceSize(std::uint64_t n) {
    return kPieceEnd.size() + (n == 0 ? 0 : 2 * AES::framedSize(2 * n));
}

// Whether a decrypted length field L is one the writer frames a field with in total bytes:
// whole characters of two bytes, at least one, and the least padding that fills the blocks.
[[nodiscard]] constexpr bool isPieceLength(std::int32_t L, std::uint64_t total) {
    return AES::plausibleLength(L, total) && L % 2 == 0 &&
           AES::framedSize(static_cast<std::size_t>(L)) == total;
}

// The exact size of the encrypted file for a plain text.
[[nodiscard]] std::uint64_t encryptedSize(std::string_view text);

// Every occurrence of the marker removed in one pass from the start, then blanks trimmed.
[[nodiscard]] std::string withoutMarker(std::string_view text);

// Blanks (0x20) trimmed from both ends.
[[nodiscard]] std::u16string trimBlanks(std::u16string_view text);
[[nodiscard]] std::string_view trimBlanks(std::string_view text);

} // namespace vornal
