#include "operations/Engine.h"

#include "operations/ByteCodes.h"
#include "operations/EngineWork.h"
#include "operations/FileFormat.h"
#include "operations/TextStream.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
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

namespace {

using engine::kGroupBytes;
using engine::OrderedWork;
using engine::store32;

void appendHex(const std::uint8_t* bytes, std::size_t n, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + 2 * n);
    encodeHex(bytes, n, out.data() + at);
}

void toUtf16le(std::string_view text, std::uint8_t* out) {
    widen1252(text.data(), text.size(), out);
}

// Pieces for a batch of whole fields, each field followed by one blank in `fields`.
std::string encryptFields(const Rijndael256Engine& cipher, const std::string& fields) {
    std::string out;
    out.reserve(fields.size() * 12 + 64);
    std::vector<std::uint8_t> frames;
    frames.reserve(kGroupBytes + 4096);
    std::vector<std::uint32_t> blocksOf;
    std::size_t pos = 0;
    while (pos < fields.size()) {
        frames.clear();
        blocksOf.clear();
        while (pos < fields.size() && frames.size() < kGroupBytes) {
            const std::size_t blank = fields.find(' ', pos);
            const std::string_view field(fields.data() + pos, blank - pos);
            pos = blank + 1;
            if (field.empty()) {
                blocksOf.push_back(0);
                continue;
            }
            const std::size_t T = AES::framedSize(2 * field.size());
            const std::size_t at = frames.size();
            frames.resize(at + T); // the padding is zero
            store32(frames.data() + at, static_cast<std::uint32_t>(2 * field.size()));
            toUtf16le(field, frames.data() + at + 4);
            blocksOf.push_back(static_cast<std::uint32_t>(T / 32));
        }
        cipher.encryptBlocks(frames.data(), frames.size() / 32);
        std::size_t offset = 0;
        for (const std::uint32_t blocks : blocksOf) {
            appendHex(frames.data() + offset, 32 * std::size_t{blocks}, out);
            out += kPieceEnd;
            offset += 32 * std::size_t{blocks};
        }
    }
    return out;
}

// One field too long for a batch, encrypted as it streams past.
class LongFieldEncryptor {
public:
    LongFieldEncryptor(const Rijndael256Engine& cipher, OrderedWork& work, std::uint64_t chars,
                       std::uint64_t index)
        : cipher_(cipher), work_(work), index_(index), left_(chars) {
        frames_.resize(4);
        store32(frames_.data(), static_cast<std::uint32_t>(2 * chars));
    }
    [[nodiscard]] std::uint64_t left() const noexcept { return left_; }

    void feed(std::string_view text) {
        left_ -= text.size();
        while (!text.empty()) {
            const std::size_t take = std::min(text.size(), kGroupBytes * 8);
            const std::size_t at = frames_.size();
            frames_.resize(at + 2 * take);
            toUtf16le(text.substr(0, take), frames_.data() + at);
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
        std::string out;
        appendHex(frames_.data(), whole, out);
        if (last) {
            out += kPieceEnd;
        }
        frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(whole));
        work_.write(out, index_ > 0 && !last ? index_ - 1 : index_);
    }

    const Rijndael256Engine& cipher_;
    OrderedWork& work_;
    std::uint64_t index_;
    std::uint64_t left_;
    std::vector<std::uint8_t> frames_;
};

} // namespace

PlainScan scanPlain(FileReader& in, const EngineOptions& options) {
    PlainScan scan;
    PatternFinder marker(kMarkerLine);
    std::vector<char> buffer(options.chunkSize);
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
    while (const std::size_t n = in.read(buffer.data(), buffer.size())) {
        const std::string_view chunk(buffer.data(), n);
        scan.size += n;
        marker.push(chunk);
        std::size_t pos = 0;
        while (true) {
            const std::size_t blank = chunk.find(' ', pos);
            if (blank == std::string_view::npos) {
                current += n - pos;
                break;
            }
            current += blank - pos;
            endField();
            pos = blank + 1;
        }
    }
    endField();
    scan.marked = marker.found();
    scan.encryptedSize += kMarkerLine.size();
    return scan;
}

void encryptStream(FileReader& in, FileWriter& out, const Rijndael256Engine& cipher,
                   const PlainScan& scan, const EngineOptions& options, EngineProgress& progress) {
    OrderedWork work(options.threadCount(), out, progress);
    auto longField = scan.longFields.begin();
    // This thread only cuts the text into batches of whole fields; the workers split them.
    std::uint64_t index = 0;    // of the first field in batch
    std::string batch;          // whole fields, each followed by a blank, then a field begun
    std::uint64_t whole = 0;    // whole fields in batch
    std::size_t wholeBytes = 0; // their bytes
    std::optional<LongFieldEncryptor> longOne;
    std::uint64_t longLeft = 0; // characters of the long field still to come

    // Hands the whole fields to a worker; the field begun stays.
    auto submitWhole = [&] {
        if (whole == 0) {
            return;
        }
        std::string begun = batch.substr(wholeBytes);
        batch.resize(wholeBytes);
        work.submit([&cipher, fields = std::move(batch)] { return encryptFields(cipher, fields); },
                    index + whole - 1);
        batch = std::move(begun);
        batch.reserve(options.batchSize + 64);
        index += whole;
        whole = 0;
        wholeBytes = 0;
    };
    auto endLong = [&] {
        longOne->finish();
        longOne.reset();
        ++index;
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
            const bool longNext = longField != scan.longFields.end();
            std::uint64_t room = longNext ? longField->first - index - whole : UINT64_MAX;
            const std::size_t slice = batch.size() < options.batchSize
                                          ? std::min(piece.size(), options.batchSize - batch.size())
                                          : piece.size();
            const std::string_view part = piece.substr(0, slice);
            std::size_t used = 0;
            if (room > 0) {
                const std::size_t blanks = countByte(part.data(), part.size(), ' ');
                if (blanks < room) {
                    used = part.size();
                    if (blanks > 0) {
                        whole += blanks;
                        room -= blanks;
                        wholeBytes = batch.size() + part.rfind(' ') + 1;
                    }
                } else {
                    // The long field begins in this slice: up to the blank before it.
                    for (std::size_t start = 0; room > 0; --room) {
                        start = part.find(' ', start) + 1;
                        ++whole;
                        wholeBytes = batch.size() + start;
                        used = start;
                    }
                }
            }
            batch.append(part.substr(0, used));
            piece.remove_prefix(used);
            if (room == 0) {
                // A long field begins: what came before it is written first, then it
                // streams through on its own.
                submitWhole();
                work.drain();
                longOne.emplace(cipher, work, longField->second, index);
                longLeft = longField->second;
                ++longField;
            } else if (batch.size() >= options.batchSize) {
                submitWhole();
            }
        }
    };

    std::vector<char> buffer(options.chunkSize);
    batch.reserve(options.batchSize + 64);
    while (const std::size_t n = in.read(buffer.data(), buffer.size())) {
        take(std::string_view(buffer.data(), n));
    }
    // The last field ends with the text.
    if (longOne) {
        endLong();
    } else {
        batch.push_back(' ');
        ++whole;
        wholeBytes = batch.size();
    }
    submitWhole();
    work.drain();
    out.write(kMarkerLine);
}

} // namespace vornal
