// The decrypting half of the file engine: the scan of an encrypted file, the key check and
// the stream of decrypted parts.
#include "cipher/LittleEndian.h"
#include "operations/ByteCodes.h"
#include "operations/Engine.h"
#include "operations/EngineWork.h"
#include "operations/FileFormat.h"
#include "operations/TextStream.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>

namespace vornal {

namespace {

using engine::Batch;
using engine::kGroupBytes;
using engine::kGroupUnits;
using engine::OrderedWork;

// How much of the first decryptable part the scan keeps for the key check.
constexpr std::size_t kHeadBytes = 64 * 1024;

// The text of an encrypted file as the decrypt probe gives it: every marker removed, then
// the blanks around it trimmed. It comes out in large pieces, to be split into parts at
// each ":" and carriage return by whoever takes it.
class EncryptedText {
public:
    EncryptedText(const ByteCodes& codes, Sink out)
        : trimmer_(std::move(out)),
          remover_(
              kMarkerLine, [this](std::string_view s) { trimmer_.push(s); }, codes) {}

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
    // The ends (one past the carriage return) of the next separators in piece from byte
    // from on, in order, up to max of them; from moves past what was looked at, to the end of
    // piece when nothing is left. Answers how many.
    std::size_t find(const ByteCodes& codes, std::string_view piece, std::size_t& from,
                     std::uint32_t* ends, std::size_t max) const {
        const std::size_t found =
            codes.findByte(piece.data() + from, piece.size() - from, kPieceEnd[1], ends, max);
        const std::size_t next = found < max ? piece.size() : from + ends[found - 1] + 1;
        std::size_t kept = 0;
        for (std::size_t k = 0; k < found; ++k) {
            const std::size_t at = from + ends[k];
            if ((at > 0 ? piece[at - 1] : last_) == kPieceEnd[0]) {
                ends[kept++] = static_cast<std::uint32_t>(at + 1);
            }
        }
        from = next;
        return kept;
    }
    // How many separators end in piece.
    [[nodiscard]] std::size_t count(const ByteCodes& codes, std::string_view piece) const {
        return codes.countSeparators(piece.data(), piece.size(), last_);
    }
    // The end of the n-th separator (from 1) in piece, which has at least n.
    [[nodiscard]] std::size_t endOf(const ByteCodes& codes, std::string_view piece,
                                    std::size_t n) const {
        std::uint32_t ends[kWindow];
        for (std::size_t from = 0;;) {
            const std::size_t found = find(codes, piece, from, ends, std::min(n, kWindow));
            if (found >= n) {
                return ends[n - 1];
            }
            if (from == piece.size()) {
                return piece.size(); // fewer than n: not to be asked
            }
            n -= found;
        }
    }
    // The piece has been looked at; its last byte may begin a separator.
    void passed(std::string_view piece) noexcept {
        if (!piece.empty()) {
            last_ = piece.back();
        }
    }

    static constexpr std::size_t kWindow = 1024;

private:
    char last_ = '\0';
};

// The decrypted texts of whole parts, each ended by its separator, the first of them part
// `first` of the file, to b.out with a blank before each but the file's first. Throws
// PartFailed for the first part that does not decrypt.
void decryptParts(const Rijndael256Engine& cipher, const ByteCodes& codes, std::string_view parts,
                  std::uint64_t first, Batch& b) {
    // Room for a group and for the longest part the text can hold.
    engine::atLeast(b.frames, kGroupBytes + parts.size() / 2);
    engine::atLeast(b.blocks, kGroupUnits);
    b.out.clear();
    std::uint64_t index = first;
    while (!parts.empty()) {
        const Decoding d =
            codes.decodeParts(parts, b.frames.data(), kGroupBytes, b.blocks.data(), kGroupUnits);
        cipher.decryptBlocks(b.frames.data(), d.bytes / 32);
        char* out = b.out.room(textsRoom(d.parts, d.bytes));
        const Texts t = codes.writeTexts(b.frames.data(), b.blocks.data(), d.parts, index > 0, out);
        if (t.failed) {
            throw PartFailed{TextCipher::Outcome::InvalidPassword, index + t.parts};
        }
        b.out.commit(t.chars);
        if (d.fault != PartFault::None) {
            // Digits that are no bytes are damage; bytes that are no blocks, no key opens.
            throw PartFailed{d.fault == PartFault::NotHex ? TextCipher::Outcome::Malformed
                                                          : TextCipher::Outcome::InvalidPassword,
                             index + d.parts};
        }
        if (d.parts == 0) {
            break; // no separator: not a whole part, which a batch never holds
        }
        index += d.parts;
        parts.remove_prefix(d.used);
    }
}

// Where decrypted text goes: its bytes, and the last part that is complete with them.
using Emit = std::function<void(const std::string&, std::uint64_t)>;

// One part too long for a batch, decrypted as it streams past, with the blank before it.
class LongPartDecryptor {
public:
    LongPartDecryptor(const Rijndael256Engine& cipher, const ByteCodes& codes, Emit emit,
                      std::uint64_t chars, std::uint64_t index)
        : cipher_(cipher), codes_(codes), emit_(std::move(emit)), index_(index) {
        if (chars % 2 != 0) {
            throw PartFailed{TextCipher::Outcome::Malformed, index};
        }
        if ((chars / 2) % 32 != 0) {
            throw PartFailed{TextCipher::Outcome::InvalidPassword, index};
        }
        total_ = chars / 2;
    }

    void feed(std::string_view hex) {
        if (half_ && !hex.empty()) {
            const char pair[2] = {*half_, hex[0]};
            half_.reset();
            hex.remove_prefix(1);
            decode(pair, 1);
        }
        while (hex.size() >= 2) {
            const std::size_t n = std::min(hex.size() / 2, kFlushBytes - bytes_.size());
            decode(hex.data(), n);
            hex.remove_prefix(2 * n);
        }
        if (!hex.empty()) {
            half_ = hex[0];
        }
    }

    // All its characters were fed.
    void finish() {
        flush();
        emit_(std::string(), index_);
    }

private:
    static constexpr std::size_t kFlushBytes = kGroupBytes * 8;

    void decode(const char* hex, std::size_t n) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + n);
        if (!codes_.decodeHex(hex, n, bytes_.data() + at)) {
            throw PartFailed{TextCipher::Outcome::Malformed, index_};
        }
        if (bytes_.size() >= kFlushBytes) {
            flush();
        }
    }

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
            const auto L = static_cast<std::int32_t>(load32le(bytes_.data()));
            if (!isPieceLength(L, total_)) {
                fail();
            }
            messageLeft_ = static_cast<std::uint64_t>(L);
            from = 4;
            if (index_ > 0) {
                out.push_back(' ');
            }
        }
        // Characters begin at even offsets, as flushes do, so none is cut in two.
        const auto message =
            static_cast<std::size_t>(std::min<std::uint64_t>(messageLeft_, whole - from));
        const std::size_t at = out.size();
        out.resize(at + message / 2);
        if (!codes_.narrowTo1252(bytes_.data() + from, message / 2, out.data() + at)) {
            fail(); // a file's text has a byte for every character
        }
        messageLeft_ -= message;
        // The framing pads with zero bytes: anything else was not written with this key.
        if (!std::all_of(bytes_.data() + from + message, bytes_.data() + whole,
                         [](std::uint8_t b) { return b == 0; })) {
            fail();
        }
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(whole));
        if (!out.empty()) {
            emit_(out, index_ > 0 ? index_ - 1 : 0);
        }
    }

    [[noreturn]] void fail() const {
        throw PartFailed{TextCipher::Outcome::InvalidPassword, index_};
    }

    const Rijndael256Engine& cipher_;
    const ByteCodes& codes_;
    Emit emit_;
    std::uint64_t index_;
    std::uint64_t total_ = 0;       // bytes of ciphertext
    std::uint64_t messageLeft_ = 0; // message bytes still to come
    bool started_ = false;
    std::optional<char> half_; // the first digit of a pair whose second is still to come
    std::vector<std::uint8_t> bytes_;
};

// The most characters a part of so many hexadecimal digits decrypts to: its bytes less
// the length field, two per character.
constexpr std::uint64_t decryptedChars(std::uint64_t digits) {
    return digits >= 64 ? digits / 4 - 2 : 0;
}

} // namespace

EncryptedScan scanEncrypted(FileReader& in, const EngineOptions& options) {
    const ByteCodes& codes = options.conversions();
    EncryptedScan scan;
    SeparatorFinder separators;
    std::uint64_t current = 0;   // bytes of the part being read, its separator's ":" included
    bool blank = true;           // and they are all blanks, tabs or line ends
    bool capturing = true;       // the head of the current part is kept until one has bytes
    std::uint64_t separated = 0; // parts with a separator
    std::uint64_t chars = 0;     // the most characters they decrypt to
    // The first part with bytes is kept whole, up to one byte more than the head, to tell a
    // part longer than it; the separator's bytes are taken off when the part ends.
    auto keep = [&](std::string_view bytes) {
        std::string& head = scan.firstFullHead;
        if (head.size() <= kHeadBytes) {
            head.append(bytes.substr(0, kHeadBytes + 1 - head.size()));
        }
    };
    auto ended = [&](std::uint64_t index, std::uint64_t length) {
        if (length > 0) {
            scan.firstFull = index;
            scan.firstFullLength = length;
            scan.firstFullHead.resize(std::min<std::size_t>(scan.firstFullHead.size(), length));
            capturing = false;
        } else {
            scan.firstFullHead.clear();
        }
    };
    std::uint32_t ends[SeparatorFinder::kWindow];
    // Parts of one block, most of a file, are counted many at a time where nothing else is
    // to be done with them: the first part is kept, and a long one noted.
    const bool counted = kOneBlockDigits <= options.batchSize;
    EncryptedText text(codes, [&](std::string_view piece) {
        std::size_t start = 0;
        for (std::size_t from = 0; from < piece.size();) {
            std::size_t window = std::size(ends);
            if (counted && current == 0 && from == start) {
                if (!capturing) {
                    const std::size_t n =
                        codes.oneBlockParts(piece.data() + start, piece.size() - start);
                    chars += n * decryptedChars(kOneBlockDigits);
                    separated += n;
                    start += n * (kOneBlockDigits + kPieceEnd.size());
                    from = start;
                }
                window = 1; // a part of another length next, the first part, or the piece's end
            }
            const std::size_t found = separators.find(codes, piece, from, ends, window);
            for (std::size_t k = 0; k < found; ++k) {
                const std::size_t end = ends[k];
                const std::uint64_t length = current + (end - start) - kPieceEnd.size();
                if (capturing) [[unlikely]] {
                    keep(piece.substr(start, end - start));
                    ended(separated, length);
                }
                if (length > options.batchSize) [[unlikely]] {
                    scan.longParts.emplace_back(separated, length);
                }
                chars += decryptedChars(length);
                ++separated;
                current = 0;
                start = end;
            }
        }
        // Blankness counts only for the last part, which has no separator.
        const std::string_view rest = piece.substr(start);
        blank = (start > 0 || blank) && isIgnoredTail(rest);
        if (capturing) {
            keep(rest);
        }
        current += rest.size();
        separators.passed(piece);
    });
    std::mutex io;
    engine::ReadAhead chunks(in, options.chunkSize, io);
    for (std::string_view chunk; !(chunk = chunks.next()).empty();) {
        text.push(chunk);
    }
    text.finish();
    // Every part but the file's first is written after a blank.
    scan.decryptedBound = chars + (separated > 0 ? separated - 1 : 0);
    scan.parts = separated;
    if (text.size() > 0) {
        // The part after the last separator, which is never decrypted.
        scan.lastPartBlank = blank;
        if (capturing) {
            ended(separated, current);
        }
        if (current > options.batchSize) {
            scan.longParts.emplace_back(separated, current);
        }
        ++scan.parts;
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
    const ByteCodes& codes = options.conversions();
    const std::uint64_t index = *scan.firstFull;
    try {
        const std::string& head = scan.firstFullHead;
        if (scan.firstFullLength == head.size()) {
            Batch scratch;
            decryptParts(cipher, codes, head + std::string(kPieceEnd), index, scratch);
            return TextCipher::Outcome::Text;
        }
        // Too long to keep: it is read again, decrypted as it streams past and dropped.
        // Only empty parts come before it, so it begins after their separators.
        std::uint64_t skip = index * kPieceEnd.size();
        std::uint64_t left = scan.firstFullLength;
        LongPartDecryptor part(
            cipher, codes,
            [&progress](const std::string&, std::uint64_t) {
                if (progress.cancelRequested()) {
                    throw OperationCancelled{};
                }
            },
            left, index);
        EncryptedText text(codes, [&](std::string_view piece) {
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
    const ByteCodes& codes = options.conversions();
    std::mutex io;
    OrderedWork work(options.threadCount(), out, io, progress, [&cipher, &codes](Batch& b) {
        decryptParts(cipher, codes, std::string_view(b.text.data(), b.end), b.first, b);
    });
    // The last part is never decrypted; with no parts at all nothing is.
    const std::uint64_t decryptable = scan.parts > 0 ? scan.parts - 1 : 0;
    auto longPart = scan.longParts.begin();
    // This thread only cuts the text into batches of whole parts; the workers split them.
    SeparatorFinder separators;
    engine::Batcher batches(work);
    std::optional<LongPartDecryptor> longOne;
    std::uint64_t longLeft = 0;    // characters of the long part still to come
    std::size_t separatorLeft = 0; // and of its separator
    bool done = false;             // only the part after the last separator is left

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
                    batches.skip();
                }
                continue;
            }
            // Parts join the batch up to the next long part or the part after the last
            // separator, whichever comes first.
            std::string& batch = batches.text();
            const bool longNext = longPart != scan.longParts.end() && longPart->first < decryptable;
            const std::uint64_t stop = longNext ? longPart->first : decryptable;
            std::uint64_t room = stop - batches.first() - batches.whole();
            const std::size_t slice = batch.size() < options.batchSize
                                          ? std::min(piece.size(), options.batchSize - batch.size())
                                          : piece.size();
            const std::string_view part = piece.substr(0, slice);
            std::size_t used = room > 0 ? part.size() : 0;
            if (room > 0) {
                const std::size_t found = separators.count(codes, part);
                if (found >= room) {
                    // The part to stop before begins in this slice: up to the separator
                    // before it.
                    used = separators.endOf(codes, part, room);
                    batches.addWhole(room, batch.size() + used);
                    room = 0;
                } else if (found > 0) {
                    // The last one ends in the last part's length from the end; one at the
                    // very start may have begun in the piece before.
                    const std::size_t last = part.rfind(kPieceEnd);
                    batches.addWhole(found, batch.size() + (last == std::string_view::npos
                                                                ? 1
                                                                : last + kPieceEnd.size()));
                    room -= found;
                }
            }
            batch.append(part.substr(0, used));
            separators.passed(part.substr(0, used));
            piece.remove_prefix(used);
            if (room == 0) {
                // Nothing follows the whole parts in the batch here.
                batches.submitWhole();
                if (!longNext) {
                    done = true;
                    break;
                }
                // What came before the long part is written first; it streams on its own.
                work.drain();
                longOne.emplace(
                    cipher, codes,
                    [&work](const std::string& bytes, std::uint64_t last) {
                        work.write(bytes, last);
                    },
                    longPart->second, batches.first());
                longLeft = longPart->second;
                separatorLeft = kPieceEnd.size();
                ++longPart;
            } else if (batch.size() >= options.batchSize) {
                batches.submitWhole();
            }
        }
    };
    EncryptedText text(codes, take);
    if (decryptable == 0) {
        return;
    }
    engine::ReadAhead chunks(in, options.chunkSize, io);
    for (std::string_view chunk; !done && !(chunk = chunks.next()).empty();) {
        text.push(chunk);
    }
    text.finish();
    batches.submitWhole();
    work.drain();
}

} // namespace vornal
