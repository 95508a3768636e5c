#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vornal {

// The conversions the file engine makes on every byte, each in a form for several
// instruction sets that all give the same result: a plain one, which is the reference and
// runs anywhere, and ones that take many bytes at a time where the processor has the
// instructions.
enum class ByteCodeLevel { Plain, Sse2, Avx2, Avx512 };

// What frameFields did.
struct Framing {
    std::size_t used = 0;   // bytes of text taken: whole fields, each with its blank
    std::size_t bytes = 0;  // bytes of frames written, whole 32-byte blocks
    std::size_t fields = 0; // fields framed
};

// Why decodeParts stopped before a part.
enum class PartFault {
    None,
    NotHex,    // an odd number of characters, or one that is not a hexadecimal digit
    NotBlocks, // whole bytes, but not whole blocks
};

// What decodeParts did.
struct Decoding {
    std::size_t used = 0;              // bytes of text taken: whole parts, each with its separator
    std::size_t bytes = 0;             // bytes decoded, whole 32-byte blocks
    std::size_t parts = 0;             // parts decoded
    PartFault fault = PartFault::None; // of the part after them, which is not taken
};

// What writeTexts did.
struct Texts {
    std::size_t chars = 0; // characters written
    std::size_t parts = 0; // parts written
    bool failed = false;   // the part after them is not a text this key encrypted
};

// The hexadecimal digits of a part of one block.
inline constexpr std::size_t kOneBlockDigits = 64;

// Room writeTexts needs for parts decrypted from bytes: a blank and the characters of each,
// and scratch space past them.
[[nodiscard]] constexpr std::size_t textsRoom(std::size_t parts, std::size_t bytes) {
    return parts + bytes / 2 + 32;
}

// The conversions of one instruction set.
struct ByteCodes {
    ByteCodeLevel level;

    // n bytes as 2n upper-case hexadecimal digits.
    void (*encodeHex)(const std::uint8_t* bytes, std::size_t n, char* out) noexcept;
    // 2n hexadecimal digits (either case) as n bytes; false when any character is not a
    // digit, and then the bytes written are of no use.
    bool (*decodeHex)(const char* hex, std::size_t n, std::uint8_t* out) noexcept;
    // n Windows-1252 bytes as n UTF-16LE code units.
    void (*widen1252)(const char* text, std::size_t n, std::uint8_t* utf16le) noexcept;
    // n UTF-16LE code units as n Windows-1252 bytes; false when a character has no byte,
    // and then the bytes written are of no use.
    bool (*narrowTo1252)(const std::uint8_t* utf16le, std::size_t n, char* out) noexcept;
    // How many of the n bytes at text are c.
    std::size_t (*countByte)(const char* text, std::size_t n, char c) noexcept;
    // The offsets of the bytes c in the n bytes at text, in order, up to max of them;
    // answers how many it wrote to at.
    std::size_t (*findByte)(const char* text, std::size_t n, char c, std::uint32_t* at,
                            std::size_t max) noexcept;
    // How many separators (":" then a carriage return) end in the n bytes at text, the byte
    // before them being before.
    std::size_t (*countSeparators)(const char* text, std::size_t n, char before) noexcept;
    // How many parts of one block the n bytes at text begin with, one after another: 64
    // bytes none of which is a carriage return, then a separator.
    std::size_t (*oneBlockParts)(const char* text, std::size_t n) noexcept;
    // Where pattern, of two bytes or more, first occurs in text; npos when nowhere.
    std::size_t (*find)(std::string_view text, std::string_view pattern) noexcept;

    // Frames the fields at the start of text, each ended by a blank, for the cipher: the
    // length of its UTF-16LE form (32 bits, little-endian), that form, zero bytes up to
    // whole blocks; an empty field gives no bytes. It goes on while fewer than room bytes
    // are framed and fewer than maxFields fields; frames must hold room bytes and the
    // frames of the longest field. blocks[i] is the blocks of field i.
    Framing (*frameFields)(std::string_view text, std::uint8_t* frames, std::size_t room,
                           std::uint32_t* blocks, std::size_t maxFields) noexcept;
    // The pieces of framed and encrypted fields: each field's blocks in upper-case
    // hexadecimal, then ":" and a carriage return. Answers the characters written.
    std::size_t (*writePieces)(const std::uint8_t* frames, const std::uint32_t* blocks,
                               std::size_t fields, char* out) noexcept;
    // Decodes the parts at the start of text, each ended by a ":" and a carriage return,
    // into frames, while fewer than room bytes are decoded and fewer than maxParts parts;
    // frames must hold room bytes and the bytes of the longest part. blocks[i] is the blocks
    // of part i. It stops before a part that is not whole blocks of hexadecimal digits.
    Decoding (*decodeParts)(std::string_view text, std::uint8_t* frames, std::size_t room,
                            std::uint32_t* blocks, std::size_t maxParts) noexcept;
    // The texts of decrypted parts, a blank before each (before the first only when
    // blankFirst), as Windows-1252. It stops before a part whose length field, padding or
    // characters this key's writer could not have written. out holds textsRoom(parts,
    // bytes of frames).
    Texts (*writeTexts)(const std::uint8_t* frames, const std::uint32_t* blocks, std::size_t parts,
                        bool blankFirst, char* out) noexcept;
};

// "plain", "sse2", "avx2" or "avx512".
[[nodiscard]] std::string_view byteCodesName(ByteCodeLevel level) noexcept;

// The fastest set this processor runs.
[[nodiscard]] const ByteCodes& byteCodes() noexcept;
// The set of a level, or nullptr when this processor cannot run it.
[[nodiscard]] const ByteCodes* byteCodesAt(ByteCodeLevel level) noexcept;

} // namespace vornal
