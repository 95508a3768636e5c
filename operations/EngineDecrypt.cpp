// The decrypting half of the file engine: the scan of an encrypted file, the key check and
// the stream of decrypted parts.
#include "operations/ByteCodes.h"
#include "operations/Engine.h"
#include "operations/EngineWork.h"
#include "operations/FileFormat.h"
#include "operations/TextStream.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

namespace vornal {

namespace {

using engine::kGroupBytes;
using engine::load32;
using engine::OrderedWork;

// How much of the first decryptable part the scan keeps for the key check.
constexpr std::size_t kHeadBytes = 64 * 1024;

// A hexadecimal digit's value, -1 for anything else.
int nibbleOf(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Appends decrypted UTF-16LE units of part index as Windows-1252 bytes. A file's text has
// a byte for every character, so a character without one was not written with this key.
void appendAs1252(const std::uint8_t* utf16le, std::size_t units, std::string& out,
                  std::uint64_t index) {
    const std::size_t at = out.size();
    out.resize(at + units);
    if (!narrowTo1252(utf16le, units, out.data() + at)) {
        throw PartFailed{TextCipher::Outcome::InvalidPassword, index};
    }
}

// The text of an encrypted file as the decrypt probe gives it: every marker removed, then
// the blanks around it trimmed. It comes out in large pieces, to be split into parts at
// each ":" and carriage return by whoever takes it.
class EncryptedText {
public:
    explicit EncryptedText(Sink out)
        : trimmer_(std::move(out)),
          remover_(kMarkerLine, [this](std::string_view s) { trimmer_.push(s); }) {}

    void push(std::string_view piece) { remover_.push(piece); }
    void finish() {
        remover_.finish();
        trimmer_.finish();
    }
    [[nodiscard]] bool marked() const noexcept { return remover_.removed() > 0; }
    [[nodiscard]] std::uint64_t size() const noexcept { return trimmer_.emitted(); }

private:
    BlankTrimmer trimmer_;
    PatternRemover remover_;
};

// Finds the part separators (":" then a carriage return) in a text that comes in pieces.
// Two separators cannot overlap, so every carriage return after a ":" ends one.
class SeparatorFinder {
public:
    // Where in piece the next separator ends (one past its carriage return) at or after
    // from; npos when there is none.
    [[nodiscard]] std::size_t next(std::string_view piece, std::size_t from) const noexcept {
        while (from < piece.size()) {
            const void* cr = std::memchr(piece.data() + from, kPieceEnd[1], piece.size() - from);
            if (cr == nullptr) {
                return std::string_view::npos;
            }
            const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - piece.data());
            if ((at > 0 ? piece[at - 1] : last_) == kPieceEnd[0]) {
                return at + 1;
            }
            from = at + 1;
        }
        return std::string_view::npos;
    }
    // The piece has been looked at; its last byte may begin a separator.
    void passed(std::string_view piece) noexcept {
        if (!piece.empty()) {
            last_ = piece.back();
        }
    }

private:
    char last_ = '\0';
};

// The message length that a part's decrypted first block gives, when the writer could have
// written it for a part of total bytes: whole characters of two bytes, at least one, with
// the least padding that fills the last block.
std::optional<std::uint64_t> messageLength(const std::uint8_t* firstBlock, std::uint64_t total) {
    const std::int32_t L = load32(firstBlock);
    if (L <= 0 || L % 2 != 0 || AES::framedSize(static_cast<std::size_t>(L)) != total) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(L);
}

// The framing pads with zero bytes: anything else there was not written with this key.
void checkPadding(const std::uint8_t* padding, std::size_t n, std::uint64_t index) {
    if (!std::all_of(padding, padding + n, [](std::uint8_t b) { return b == 0; })) {
        throw PartFailed{TextCipher::Outcome::InvalidPassword, index};
    }
}

struct DecodedPart {
    std::size_t offset; // of its bytes in the group's buffer
    std::size_t size;   // 0 for an empty part
};

// Decrypted parts, the first of them part `first` of the file; a blank goes before each
// one but the file's first.
std::string decryptParts(const Rijndael256Engine& cipher, const std::vector<std::string_view>& all,
                         std::size_t textSize, std::uint64_t first) {
    std::string out;
    out.reserve(textSize / 4 + all.size() + 64);
    std::vector<std::uint8_t> frames;
    std::vector<DecodedPart> parts;
    std::size_t next = 0;
    while (next < all.size()) {
        frames.clear();
        parts.clear();
        const std::uint64_t groupFirst = first + next;
        std::optional<PartFailed> stop; // a part that cannot even be decoded
        while (next < all.size() && frames.size() < kGroupBytes) {
            const std::uint64_t index = first + next;
            const std::string_view hex = all[next];
            ++next;
            if (hex.empty()) {
                parts.push_back({0, 0});
                continue;
            }
            if (hex.size() % 2 != 0) {
                stop = PartFailed{TextCipher::Outcome::Malformed, index};
                break;
            }
            const std::size_t at = frames.size();
            frames.resize(at + hex.size() / 2);
            if (!decodeHex(hex.data(), hex.size() / 2, frames.data() + at)) {
                frames.resize(at);
                stop = PartFailed{TextCipher::Outcome::Malformed, index};
                break;
            }
            if ((hex.size() / 2) % 32 != 0) {
                // Whole bytes, but not whole blocks: no key opens it.
                frames.resize(at);
                stop = PartFailed{TextCipher::Outcome::InvalidPassword, index};
                break;
            }
            parts.push_back({at, hex.size() / 2});
        }
        cipher.decryptBlocks(frames.data(), frames.size() / 32);
        for (std::size_t k = 0; k < parts.size(); ++k) {
            const std::uint64_t index = groupFirst + k;
            if (index > 0) {
                out.push_back(' ');
            }
            const DecodedPart& p = parts[k];
            if (p.size > 0) {
                const std::uint8_t* bytes = frames.data() + p.offset;
                const auto L = messageLength(bytes, p.size);
                if (!L) {
                    throw PartFailed{TextCipher::Outcome::InvalidPassword, index};
                }
                checkPadding(bytes + 4 + *L, p.size - 4 - *L, index);
                appendAs1252(bytes + 4, *L / 2, out, index);
            }
        }
        if (stop) {
            throw *stop;
        }
    }
    return out;
}

// Decrypted parts for a batch of whole parts, each ended by its separator, the first of
// them part `first` of the file.
std::string decryptBatch(const Rijndael256Engine& cipher, const std::string& batch,
                         std::uint64_t first) {
    std::vector<std::string_view> parts;
    SeparatorFinder separators;
    std::size_t start = 0;
    for (std::size_t end; (end = separators.next(batch, start)) != std::string_view::npos;
         start = end) {
        parts.emplace_back(batch.data() + start, end - kPieceEnd.size() - start);
    }
    return decryptParts(cipher, parts, batch.size(), first);
}

// Where decrypted text goes: its bytes, and the last part that is complete with them.
using Emit = std::function<void(const std::string&, std::uint64_t)>;

// One part too long for a batch, decrypted as it streams past, with the blank before it.
class LongPartDecryptor {
public:
    LongPartDecryptor(const Rijndael256Engine& cipher, Emit emit, std::uint64_t chars,
                      std::uint64_t index)
        : cipher_(cipher), emit_(std::move(emit)), index_(index) {
        if (chars % 2 != 0) {
            throw PartFailed{TextCipher::Outcome::Malformed, index};
        }
        if ((chars / 2) % 32 != 0) {
            throw PartFailed{TextCipher::Outcome::InvalidPassword, index};
        }
        total_ = chars / 2;
    }

    void feed(std::string_view hex) {
        for (const char c : hex) {
            const int v = nibbleOf(c);
            if (v < 0) {
                throw PartFailed{TextCipher::Outcome::Malformed, index_};
            }
            if (half_ < 0) {
                half_ = v;
            } else {
                bytes_.push_back(static_cast<std::uint8_t>(half_ << 4 | v));
                half_ = -1;
            }
            if (bytes_.size() >= kGroupBytes * 8) {
                flush();
            }
        }
    }

    // All its characters were fed.
    void finish() {
        flush();
        emit_(std::string(), index_);
    }

private:
    void flush() {
        const std::size_t whole = bytes_.size() / 32 * 32;
        if (whole == 0) {
            return;
        }
        cipher_.decryptBlocks(bytes_.data(), whole / 32);
        std::string out;
        std::size_t from = 0;
        if (!started_) {
            started_ = true;
            const auto L = messageLength(bytes_.data(), total_);
            if (!L) {
                throw PartFailed{TextCipher::Outcome::InvalidPassword, index_};
            }
            messageLeft_ = *L;
            from = 4;
            if (index_ > 0) {
                out.push_back(' ');
            }
        }
        // Characters begin at even offsets, as flushes do, so none is cut in two.
        const auto message =
            static_cast<std::size_t>(std::min<std::uint64_t>(messageLeft_, whole - from));
        appendAs1252(bytes_.data() + from, message / 2, out, index_);
        messageLeft_ -= message;
        checkPadding(bytes_.data() + from + message, whole - from - message, index_);
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(whole));
        if (!out.empty()) {
            emit_(out, index_ > 0 ? index_ - 1 : 0);
        }
    }

    const Rijndael256Engine& cipher_;
    Emit emit_;
    std::uint64_t index_;
    std::uint64_t total_ = 0;       // bytes of ciphertext
    std::uint64_t messageLeft_ = 0; // message bytes still to come
    bool started_ = false;
    int half_ = -1;
    std::vector<std::uint8_t> bytes_;
};

// The most characters a part of so many hexadecimal digits decrypts to: its bytes less
// the length field, two per character.
constexpr std::uint64_t decryptedChars(std::uint64_t digits) {
    return digits >= 64 ? digits / 4 - 2 : 0;
}

} // namespace

EncryptedScan scanEncrypted(FileReader& in, const EngineOptions& options) {
    EncryptedScan scan;
    SeparatorFinder separators;
    std::uint64_t current = 0; // bytes of the part being read, its separator's ":" included
    bool blank = true;         // and they are all blanks, tabs or line ends
    bool capturing = true;     // the head of the current part is kept until one has bytes
    auto endPart = [&](std::uint64_t length, bool last) {
        if (capturing && length > 0) {
            scan.firstFull = scan.parts;
            scan.firstFullLength = length;
            scan.firstFullHead.resize(std::min<std::size_t>(scan.firstFullHead.size(), length));
            capturing = false;
        } else if (capturing) {
            scan.firstFullHead.clear();
        }
        if (length > options.batchSize) {
            scan.longParts.emplace_back(scan.parts, length);
        }
        if (!last) {
            scan.decryptedBound += (scan.parts > 0 ? 1 : 0) + decryptedChars(length);
        }
        scan.lastPartBlank = blank;
        blank = true;
        ++scan.parts;
    };
    // One byte more than the head, to tell a part longer than it; the separator's bytes
    // are taken off when the part ends. Blankness counts only for the last part, which has
    // no separator.
    auto keep = [&](std::string_view bytes) {
        blank = blank && isIgnoredTail(bytes);
        std::string& head = scan.firstFullHead;
        if (capturing && head.size() <= kHeadBytes) {
            head.append(bytes.substr(0, kHeadBytes + 1 - head.size()));
        }
    };
    EncryptedText text([&](std::string_view piece) {
        std::size_t start = 0;
        for (std::size_t end; (end = separators.next(piece, start)) != std::string_view::npos;
             start = end) {
            keep(piece.substr(start, end - start));
            endPart(current + (end - start) - kPieceEnd.size(), false);
            current = 0;
        }
        keep(piece.substr(start));
        current += piece.size() - start;
        separators.passed(piece);
    });
    std::vector<char> buffer(options.chunkSize);
    while (const std::size_t n = in.read(buffer.data(), buffer.size())) {
        text.push(std::string_view(buffer.data(), n));
    }
    text.finish();
    if (text.size() > 0) {
        endPart(current, true); // the part after the last separator
    }
    if (scan.firstFullHead.size() > kHeadBytes) {
        scan.firstFullHead.resize(kHeadBytes);
    }
    scan.marked = text.marked();
    scan.textSize = text.size();
    // The part after the last separator is never decrypted.
    if (scan.firstFull && *scan.firstFull + 1 == scan.parts) {
        scan.firstFull.reset();
    }
    return scan;
}

TextCipher::Outcome checkFirstPart(const EncryptedScan& scan, const Rijndael256Engine& cipher,
                                   const Reopen& reopen, const EngineOptions& options,
                                   EngineProgress& progress) {
    if (!scan.firstFull) {
        return TextCipher::Outcome::Text;
    }
    const std::uint64_t index = *scan.firstFull;
    try {
        const std::string& head = scan.firstFullHead;
        if (scan.firstFullLength == head.size()) {
            (void)decryptParts(cipher, {head}, head.size(), index);
            return TextCipher::Outcome::Text;
        }
        // Too long to keep: it is read again, decrypted as it streams past and dropped.
        // Only empty parts come before it, so it begins after their separators.
        std::uint64_t skip = index * kPieceEnd.size();
        std::uint64_t left = scan.firstFullLength;
        LongPartDecryptor part(
            cipher,
            [&progress](const std::string&, std::uint64_t) {
                if (progress.cancelRequested()) {
                    throw OperationCancelled{};
                }
            },
            left, index);
        EncryptedText text([&](std::string_view piece) {
            const auto skipped =
                static_cast<std::size_t>(std::min<std::uint64_t>(skip, piece.size()));
            piece.remove_prefix(skipped);
            skip -= skipped;
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
            if (n > 0) {
                part.feed(piece.substr(0, n));
                left -= n;
                if (left == 0) {
                    part.finish();
                }
            }
        });
        const auto in = reopen();
        std::vector<char> buffer(options.chunkSize);
        while (left > 0) {
            const std::size_t n = in->read(buffer.data(), buffer.size());
            if (n == 0) {
                text.finish();
                break;
            }
            text.push(std::string_view(buffer.data(), n));
        }
        // Shorter than it was when scanned: changed since, and not to be trusted.
        return left == 0 ? TextCipher::Outcome::Text : TextCipher::Outcome::Malformed;
    } catch (const PartFailed& f) {
        return f.outcome;
    }
}

void decryptStream(FileReader& in, FileWriter& out, const Rijndael256Engine& cipher,
                   const EncryptedScan& scan, const EngineOptions& options,
                   EngineProgress& progress) {
    OrderedWork work(options.threadCount(), out, progress);
    // The last part is never decrypted; with no parts at all nothing is.
    const std::uint64_t decryptable = scan.parts > 0 ? scan.parts - 1 : 0;
    auto longPart = scan.longParts.begin();
    // This thread only cuts the text into batches of whole parts; the workers split them.
    SeparatorFinder separators;
    std::uint64_t index = 0;    // of the first part in batch
    std::string batch;          // whole parts with their separators, then a part begun
    std::uint64_t whole = 0;    // whole parts in batch
    std::size_t wholeBytes = 0; // their bytes
    std::optional<LongPartDecryptor> longOne;
    std::uint64_t longLeft = 0;    // characters of the long part still to come
    std::size_t separatorLeft = 0; // and of its separator
    bool done = false;             // only the part after the last separator is left

    // Hands the whole parts to a worker; the part begun stays.
    auto submitWhole = [&] {
        if (whole == 0) {
            return;
        }
        std::string begun = batch.substr(wholeBytes);
        batch.resize(wholeBytes);
        work.submit([&cipher, text = std::move(batch),
                     first = index] { return decryptBatch(cipher, text, first); },
                    index + whole - 1);
        batch = std::move(begun);
        batch.reserve(options.batchSize + 64);
        index += whole;
        whole = 0;
        wholeBytes = 0;
    };

    auto take = [&](std::string_view piece) {
        while (!piece.empty() && !done) {
            if (longOne) {
                // Its text, then its separator, as far as the piece has them.
                const auto n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(longLeft, piece.size()));
                longOne->feed(piece.substr(0, n));
                longLeft -= n;
                const std::size_t skip = std::min(separatorLeft, piece.size() - n);
                separatorLeft -= skip;
                separators.passed(piece.substr(0, n + skip));
                piece.remove_prefix(n + skip);
                if (longLeft == 0 && separatorLeft == 0) {
                    longOne->finish();
                    longOne.reset();
                    ++index;
                }
                continue;
            }
            // Parts join the batch up to the next long part or the part after the last
            // separator, whichever comes first.
            const bool longNext = longPart != scan.longParts.end() && longPart->first < decryptable;
            const std::uint64_t stop = longNext ? longPart->first : decryptable;
            std::uint64_t room = stop - index - whole;
            const std::size_t slice = batch.size() < options.batchSize
                                          ? std::min(piece.size(), options.batchSize - batch.size())
                                          : piece.size();
            const std::string_view part = piece.substr(0, slice);
            std::size_t used = room > 0 ? part.size() : 0;
            for (std::size_t start = 0; room > 0;) {
                const std::size_t end = separators.next(part, start);
                if (end == std::string_view::npos) {
                    break;
                }
                ++whole;
                wholeBytes = batch.size() + end;
                start = end;
                if (--room == 0) {
                    used = end;
                }
            }
            batch.append(part.substr(0, used));
            separators.passed(part.substr(0, used));
            piece.remove_prefix(used);
            if (room == 0) {
                // Nothing follows the whole parts in the batch here.
                submitWhole();
                if (!longNext) {
                    done = true;
                    break;
                }
                // What came before the long part is written first; it streams on its own.
                work.drain();
                longOne.emplace(
                    cipher,
                    [&work](const std::string& bytes, std::uint64_t last) {
                        work.write(bytes, last);
                    },
                    longPart->second, index);
                longLeft = longPart->second;
                separatorLeft = kPieceEnd.size();
                ++longPart;
            } else if (batch.size() >= options.batchSize) {
                submitWhole();
            }
        }
    };
    EncryptedText text(take);
    if (decryptable == 0) {
        return;
    }
    std::vector<char> buffer(options.chunkSize);
    batch.reserve(options.batchSize + 64);
    while (const std::size_t n = in.read(buffer.data(), buffer.size())) {
        text.push(std::string_view(buffer.data(), n));
    }
    text.finish();
    submitWhole();
    work.drain();
}

} // namespace vornal
