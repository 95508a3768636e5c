#include "operations/Engine.h"

#include "cipher/LittleEndian.h"
#include "operations/ByteCodes.h"
#include "operations/EngineWork.h"
#include "operations/FileFormat.h"
#include "operations/TextStream.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>

namespace vornal {

unsigned EngineOptions::threadCount() const {
    if (threads > 0) {
        return threads;
    }
    if (const char* env = std::getenv("VORNAL_THREADS")) {
        const long n = std::strtol(env, nullptr, 10);
        if (n > 0 && n <= 256) {
            return static_cast<unsigned>(n);
        }
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

const ByteCodes& EngineOptions::conversions() const {
    return codes != nullptr ? *codes : byteCodes();
}

namespace {

using engine::Batch;
using engine::kGroupBytes;
using engine::kGroupUnits;
using engine::OrderedWork;

// Pieces for the whole fields of a batch, each followed by one blank in its text.
void encryptBatch(const Rijndael256Engine& cipher, const ByteCodes& codes, Batch& b) {
    std::string_view fields(b.text.data(), b.end);
    // Room for a group and for the longest field the batch can hold.
    engine::atLeast(b.frames, kGroupBytes + AES::framedSize(2 * fields.size()));
    engine::atLeast(b.blocks, kGroupUnits);
    b.out.clear();
    while (!fields.empty()) {
        const Framing f =
            codes.frameFields(fields, b.frames.data(), kGroupBytes, b.blocks.data(), kGroupUnits);
        if (f.fields == 0) {
            break; // no blank: not a whole field, which a batch never holds
        }
        cipher.encryptBlocks(b.frames.data(), f.bytes / 32);
        char* out = b.out.room(2 * f.bytes + kPieceEnd.size() * f.fields);
        b.out.commit(codes.writePieces(b.frames.data(), b.blocks.data(), f.fields, out));
        fields.remove_prefix(f.used);
    }
}

// One field too long for a batch, encrypted as it streams past.
class LongFieldEncryptor {
public:
    LongFieldEncryptor(const Rijndael256Engine& cipher, const ByteCodes& codes, OrderedWork& work,
                       std::uint64_t chars, std::uint64_t index)
        : cipher_(cipher), codes_(codes), work_(work), index_(index), left_(chars) {
        frames_.resize(4);
        store32le(frames_.data(), static_cast<std::uint32_t>(2 * chars));
    }
    [[nodiscard]] std::uint64_t left() const noexcept { return left_; }

    void feed(std::string_view text) {
        left_ -= text.size();
        while (!text.empty()) {
            const std::size_t take = std::min(text.size(), kGroupBytes * 8);
            const std::size_t at = frames_.size();
            frames_.resize(at + 2 * take);
            codes_.widen1252(text.data(), take, frames_.data() + at);
            text.remove_prefix(take);
            flushWholeBlocks(false);
        }
    }

    void finish() {
        frames_.resize((frames_.size() + 31) / 32 * 32, 0);
        flushWholeBlocks(true);
    }

private:
    void flushWholeBlocks(bool last) {
        const std::size_t whole = frames_.size() / 32 * 32;
        if (!last && whole < kGroupBytes * 8) {
            return;
        }
        cipher_.encryptBlocks(frames_.data(), whole / 32);
        std::string out(2 * whole, '\0');
        codes_.encodeHex(frames_.data(), whole, out.data());
        if (last) {
            out += kPieceEnd;
        }
        frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(whole));
        work_.write(out, index_ > 0 && !last ? index_ - 1 : index_);
    }

    const Rijndael256Engine& cipher_;
    const ByteCodes& codes_;
    OrderedWork& work_;
    std::uint64_t index_;
    std::uint64_t left_;
    std::vector<std::uint8_t> frames_;
};

} // namespace

PlainScan scanPlain(FileReader& in, const EngineOptions& options) {
    const ByteCodes& codes = options.conversions();
    PlainScan scan;
    // Only whether it occurs counts: what is left without it goes nowhere.
    PatternRemover marker(
        kMarkerLine, [](std::string_view) {}, codes);
    std::mutex io;
    engine::ReadAhead chunks(in, options.chunkSize, io);
    std::uint32_t blanks[1024];
    std::uint64_t current = 0; // characters of the field being read
    auto endField = [&] {
        scan.encryptedSize += pieceSize(current);
        scan.longest = std::max(scan.longest, current);
        if (current > options.batchSize) {
            scan.longFields.emplace_back(scan.fields, current);
        }
        ++scan.fields;
        current = 0;
    };
    for (std::string_view chunk; !(chunk = chunks.next()).empty();) {
        const std::size_t n = chunk.size();
        scan.size += n;
        marker.push(chunk);
        for (std::size_t pos = 0;;) {
            const std::size_t found =
                codes.findByte(chunk.data() + pos, n - pos, ' ', blanks, std::size(blanks));
            std::size_t from = 0; // in the text from pos
            for (std::size_t k = 0; k < found; ++k) {
                current += blanks[k] - from;
                endField();
                from = blanks[k] + 1;
            }
            if (found < std::size(blanks)) {
                current += n - pos - from;
                break;
            }
            pos += from;
        }
    }
    endField();
    scan.marked = marker.removed() > 0;
    scan.encryptedSize += kMarkerLine.size();
    return scan;
}

void encryptStream(FileReader& in, FileWriter& out, const Rijndael256Engine& cipher,
                   const PlainScan& scan, const EngineOptions& options, EngineProgress& progress) {
    const ByteCodes& codes = options.conversions();
    std::mutex io;
    engine::ReadAhead chunks(in, options.chunkSize, io);
    OrderedWork work(options.threadCount(), out, io, progress,
                     [&cipher, &codes](Batch& b) { encryptBatch(cipher, codes, b); });
    // This thread only cuts the text into batches of whole fields; the workers split them.
    engine::Batcher batches(work);
    auto longField = scan.longFields.begin();
    std::optional<LongFieldEncryptor> longOne;
    std::uint64_t longLeft = 0; // characters of the long field still to come

    auto endLong = [&] {
        longOne->finish();
        longOne.reset();
        batches.skip();
    };

    auto take = [&](std::string_view piece) {
        while (!piece.empty()) {
            if (longOne) {
                // Its text, then the blank that ends it.
                const auto n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(longLeft, piece.size()));
                longOne->feed(piece.substr(0, n));
                longLeft -= n;
                piece.remove_prefix(n);
                if (longLeft == 0 && !piece.empty()) {
                    piece.remove_prefix(1);
                    endLong();
                }
                continue;
            }
            // Fields join the batch up to the next long one.
            std::string& batch = batches.text();
            const bool longNext = longField != scan.longFields.end();
            std::uint64_t room =
                longNext ? longField->first - batches.first() - batches.whole() : UINT64_MAX;
            const std::size_t slice = batch.size() < options.batchSize
                                          ? std::min(piece.size(), options.batchSize - batch.size())
                                          : piece.size();
            const std::string_view part = piece.substr(0, slice);
            std::size_t used = 0;
            if (room > 0) {
                const std::size_t blanks = codes.countByte(part.data(), part.size(), ' ');
                if (blanks < room) {
                    used = part.size();
                    if (blanks > 0) {
                        batches.addWhole(blanks, batch.size() + part.rfind(' ') + 1);
                        room -= blanks;
                    }
                } else {
                    // The long field begins in this slice: up to the blank before it.
                    for (; room > 0; --room) {
                        used = part.find(' ', used) + 1;
                        batches.addWhole(1, batch.size() + used);
                    }
                }
            }
            batch.append(part.substr(0, used));
            piece.remove_prefix(used);
            if (room == 0) {
                // A long field begins: what came before it is written first, then it
                // streams through on its own.
                batches.submitWhole();
                work.drain();
                longOne.emplace(cipher, codes, work, longField->second, batches.first());
                longLeft = longField->second;
                ++longField;
            } else if (batch.size() >= options.batchSize) {
                batches.submitWhole();
            }
        }
    };

    for (std::string_view chunk; !(chunk = chunks.next()).empty();) {
        take(chunk);
    }
    // The last field ends with the text.
    if (longOne) {
        endLong();
    } else {
        std::string& batch = batches.text();
        batch.push_back(' ');
        batches.addWhole(1, batch.size());
    }
    batches.submitWhole();
    work.drain();
    const std::lock_guard lock(io);
    out.write(kMarkerLine);
}

} // namespace vornal
