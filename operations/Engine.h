#pragma once

#include "cipher/Rijndael256Engine.h"
#include "cipher/modAES.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vornal {

struct ByteCodes;

// How the file engine divides its work. Every setting gives the same bytes; they only
// trade memory for speed.
struct EngineOptions {
    std::size_t chunkSize = 1 << 20;   // bytes read from a file at a time
    std::size_t batchSize = 128 << 10; // text handed to one worker at a time
    unsigned threads = 0;              // 0: $VORNAL_THREADS, else every core
    const ByteCodes* codes = nullptr;  // the byte conversions; none: the fastest here

    [[nodiscard]] unsigned threadCount() const;
    [[nodiscard]] const ByteCodes& conversions() const;
};

// The user asked to stop; the file is to be put back.
struct OperationCancelled {};

// A part of an encrypted file that does not decrypt.
struct PartFailed {
    TextCipher::Outcome outcome; // InvalidPassword or Malformed
    std::uint64_t index;         // of the part in the file, from 0
};

// Told of the pieces written, a few times a second at most, and asked whether to stop.
class EngineProgress {
public:
    virtual ~EngineProgress() = default;
    // Pieces 0..index are written.
    virtual void written(std::uint64_t index) = 0;
    [[nodiscard]] virtual bool cancelRequested() = 0;
};

// What one pass over a plain file found.
struct PlainScan {
    bool marked = false;             // the marker line occurs somewhere
    std::uint64_t size = 0;          // bytes read
    std::uint64_t fields = 0;        // blank-separated fields (blanks + 1)
    std::uint64_t longest = 0;       // characters of the longest field
    std::uint64_t encryptedSize = 0; // exact size of the encrypted file
    // (index, characters) of every field longer than a batch, in order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> longFields;
};

// What one pass over an encrypted file found, on its text without the marker and the
// blanks around it.
struct EncryptedScan {
    bool marked = false;
    std::uint64_t textSize = 0;       // bytes left after the marker and the blanks are taken off
    std::uint64_t parts = 0;          // parts between separators, the one after the last included
    bool lastPartBlank = true;        // nothing but isIgnoredTail text follows the last separator
    std::uint64_t decryptedBound = 0; // the decrypted file is at most this large
    // The first part with a ciphertext: its index, its length and its first bytes.
    std::optional<std::uint64_t> firstFull;
    std::uint64_t firstFullLength = 0;
    std::string firstFullHead;
    // (index, characters) of every part longer than a batch, in order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> longParts;
};

[[nodiscard]] PlainScan scanPlain(FileReader& in, const EngineOptions& options);
[[nodiscard]] EncryptedScan scanEncrypted(FileReader& in, const EngineOptions& options);

// Opens the scanned file again from its start.
using Reopen = std::function<std::unique_ptr<FileReader>()>;

// The first decryptable part decrypted in full, by the rules decryptStream applies, before
// the file is touched: Text when the key opens it. A part longer than the head the scan
// kept is read again through reopen and streams past in bounded memory; between its
// pieces progress is asked whether to stop (OperationCancelled).
[[nodiscard]] TextCipher::Outcome checkFirstPart(const EncryptedScan& scan,
                                                 const Rijndael256Engine& cipher,
                                                 const Reopen& reopen, const EngineOptions& options,
                                                 EngineProgress& progress);

// Writes the pieces and the marker line for the plain text in `in`.
void encryptStream(FileReader& in, FileWriter& out, const Rijndael256Engine& cipher,
                   const PlainScan& scan, const EngineOptions& options, EngineProgress& progress);

// Writes the decrypted parts of the encrypted text in `in` with one blank between two, so
// that the text comes back as it was encrypted. Throws PartFailed for the first part that
// does not decrypt: a length field, padding or hexadecimal digits the writer could not
// have written with this key, or text without a Windows-1252 byte per character.
void decryptStream(FileReader& in, FileWriter& out, const Rijndael256Engine& cipher,
                   const EncryptedScan& scan, const EngineOptions& options,
                   EngineProgress& progress);

} // namespace vornal
