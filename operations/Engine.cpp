#include "operations/Engine.h"

#include "operations/ByteCodes.h"
#include "operations/FileFormat.h"
#include "operations/TextStream.h"
#include "platform/RunError.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
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

// Blocks of framed text handed to the cipher at once: enough to keep its lanes busy.
constexpr std::size_t kGroupBytes = 32 * 1024;
// How much of the first decryptable part the scan keeps for the key check.
constexpr std::size_t kHeadBytes = 64 * 1024;

// ---- byte codes ----

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

void appendHex(const std::uint8_t* bytes, std::size_t n, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + 2 * n);
    encodeHex(bytes, n, out.data() + at);
}

void store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t load32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                     std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

void toUtf16le(std::string_view text, std::uint8_t* out) {
    widen1252(text.data(), text.size(), out);
}

// Appends decrypted UTF-16LE units as Windows-1252 bytes; a character without a byte is
// the system's "illegal byte sequence".
void appendAs1252(const std::uint8_t* utf16le, std::size_t units, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + units);
    if (!narrowTo1252(utf16le, units, out.data() + at)) {
        throw RunError::fromErrno(EILSEQ);
    }
}

// ---- work done in order ----

// Runs jobs on worker threads and writes their results in the order they were given, with
// a bounded number in flight so memory stays small.
class OrderedWork {
public:
    OrderedWork(unsigned threads, FileWriter& out, EngineProgress& progress)
        : out_(out), progress_(progress), maxPending_(threads * 2) {
        // The calling thread reads, splits and writes: it is one of the threads, so one
        // worker fewer keeps the cores from being oversubscribed.
        for (unsigned i = 1; i < threads; ++i) {
            workers_.emplace_back([this] { work(); });
        }
    }
    ~OrderedWork() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : workers_) {
            t.join();
        }
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    void submit(std::function<std::string()> job, std::uint64_t lastIndex) {
        if (workers_.empty()) {
            write(job(), lastIndex);
            return;
        }
        std::packaged_task<std::string()> task(std::move(job));
        pending_.emplace_back(task.get_future(), lastIndex);
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(task));
        }
        wake_.notify_one();
        while (pending_.size() > maxPending_) {
            writeFront();
        }
    }

    // Writes everything submitted so far.
    void drain() {
        while (!pending_.empty()) {
            writeFront();
        }
    }

    void write(const std::string& bytes, std::uint64_t lastIndex) {
        out_.write(bytes);
        progress_.written(lastIndex);
        if (progress_.cancelRequested()) {
            throw OperationCancelled{};
        }
    }

private:
    void writeFront() {
        auto [future, lastIndex] = std::move(pending_.front());
        pending_.pop_front();
        // Rather than wait for the result, this thread does work still queued.
        while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            std::packaged_task<std::string()> task;
            {
                std::lock_guard lock(mutex_);
                if (jobs_.empty()) {
                    break;
                }
                // The oldest first: it may be the very one waited for.
                task = std::move(jobs_.front());
                jobs_.pop_front();
            }
            task();
        }
        write(future.get(), lastIndex);
    }

    void work() {
        while (true) {
            std::packaged_task<std::string()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
                if (jobs_.empty()) {
                    return;
                }
                task = std::move(jobs_.front());
                jobs_.pop_front();
            }
            task();
        }
    }

    FileWriter& out_;
    EngineProgress& progress_;
    std::size_t maxPending_;
    std::deque<std::pair<std::future<std::string>, std::uint64_t>> pending_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<std::string()>> jobs_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

// ---- encryption ----

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

// ---- decryption ----

namespace {

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

struct DecodedPart {
    std::size_t offset; // of its bytes in the group's buffer
    std::size_t size;   // 0 for an empty part
};

// Decrypted parts, each followed by one blank.
std::string decryptParts(const Rijndael256Engine& cipher, const std::vector<std::string_view>& all,
                         std::size_t textSize) {
    std::string out;
    out.reserve(textSize / 4 + all.size() + 64);
    std::vector<std::uint8_t> frames;
    std::vector<DecodedPart> parts;
    std::size_t next = 0;
    while (next < all.size()) {
        frames.clear();
        parts.clear();
        std::optional<TextCipher::Outcome> stop; // a part that cannot even be decoded
        while (next < all.size() && frames.size() < kGroupBytes) {
            const std::string_view hex = all[next];
            ++next;
            if (hex.empty()) {
                parts.push_back({0, 0});
                continue;
            }
            if (hex.size() % 2 != 0) {
                stop = TextCipher::Outcome::Malformed;
                break;
            }
            const std::size_t at = frames.size();
            frames.resize(at + hex.size() / 2);
            if (!decodeHex(hex.data(), hex.size() / 2, frames.data() + at)) {
                frames.resize(at);
                stop = TextCipher::Outcome::Malformed;
                break;
            }
            if ((hex.size() / 2) % 32 != 0) {
                // Whole bytes, but not whole blocks: no key opens it.
                frames.resize(at);
                stop = TextCipher::Outcome::InvalidPassword;
                break;
            }
            parts.push_back({at, hex.size() / 2});
        }
        cipher.decryptBlocks(frames.data(), frames.size() / 32);
        for (const DecodedPart& p : parts) {
            if (p.size > 0) {
                const std::int32_t L = load32(frames.data() + p.offset);
                if (L <= 0 || static_cast<std::size_t>(L) > p.size - 4 || L / 2 == 0) {
                    throw PartFailed{TextCipher::Outcome::InvalidPassword};
                }
                appendAs1252(frames.data() + p.offset + 4, static_cast<std::size_t>(L) / 2, out);
            }
            out.push_back(' ');
        }
        if (stop) {
            throw PartFailed{*stop};
        }
    }
    return out;
}

// Decrypted parts for a batch of whole parts, each ended by its separator.
std::string decryptBatch(const Rijndael256Engine& cipher, const std::string& batch) {
    std::vector<std::string_view> parts;
    SeparatorFinder separators;
    std::size_t start = 0;
    for (std::size_t end; (end = separators.next(batch, start)) != std::string_view::npos;
         start = end) {
        parts.emplace_back(batch.data() + start, end - kPieceEnd.size() - start);
    }
    return decryptParts(cipher, parts, batch.size());
}

// One part too long for a batch, decrypted as it streams past.
class LongPartDecryptor {
public:
    LongPartDecryptor(const Rijndael256Engine& cipher, OrderedWork& work, std::uint64_t chars,
                      std::uint64_t index)
        : cipher_(cipher), work_(work), index_(index), left_(chars) {
        if (chars % 2 != 0) {
            throw PartFailed{TextCipher::Outcome::Malformed};
        }
        if ((chars / 2) % 32 != 0) {
            throw PartFailed{TextCipher::Outcome::InvalidPassword};
        }
        total_ = chars / 2;
    }

    void feed(std::string_view hex) {
        left_ -= hex.size();
        for (const char c : hex) {
            const int v = nibbleOf(c);
            if (v < 0) {
                throw PartFailed{TextCipher::Outcome::Malformed};
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

    void finish() {
        flush();
        work_.write(" ", index_);
    }

private:
    void flush() {
        const std::size_t whole = bytes_.size() / 32 * 32;
        if (whole == 0) {
            return;
        }
        cipher_.decryptBlocks(bytes_.data(), whole / 32);
        std::size_t from = 0;
        if (!started_) {
            started_ = true;
            const std::int32_t L = load32(bytes_.data());
            if (L <= 0 || static_cast<std::uint64_t>(L) > total_ - 4 || L / 2 == 0) {
                throw PartFailed{TextCipher::Outcome::InvalidPassword};
            }
            textLeft_ = static_cast<std::uint64_t>(L) / 2 * 2;
            from = 4;
        }
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(textLeft_, whole - from) / 2 * 2);
        std::string out;
        appendAs1252(bytes_.data() + from, take / 2, out);
        textLeft_ -= take;
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(whole));
        if (!out.empty()) {
            work_.write(out, index_ > 0 ? index_ - 1 : 0);
        }
    }

    const Rijndael256Engine& cipher_;
    OrderedWork& work_;
    std::uint64_t index_;
    std::uint64_t left_;
    std::uint64_t total_ = 0;
    std::uint64_t textLeft_ = 0;
    bool started_ = false;
    int half_ = -1;
    std::vector<std::uint8_t> bytes_;
};

} // namespace

EncryptedScan scanEncrypted(FileReader& in, const EngineOptions& options) {
    EncryptedScan scan;
    SeparatorFinder separators;
    std::uint64_t current = 0; // bytes of the part being read, its separator's ":" included
    bool capturing = true;     // the head of the current part is kept until one has bytes
    auto endPart = [&](std::uint64_t length) {
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
        scan.decryptedBound += length / 4 + 1;
        scan.lastPartEmpty = length == 0;
        ++scan.parts;
    };
    // One byte more than the head, to tell a part longer than it; the separator's bytes
    // are taken off when the part ends.
    auto keep = [&](std::string_view bytes) {
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
            endPart(current + (end - start) - kPieceEnd.size());
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
        endPart(current); // the part after the last separator
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

TextCipher::Outcome checkFirstPart(const EncryptedScan& scan, const AES& keyed) {
    if (!scan.firstFull) {
        return TextCipher::Outcome::Text;
    }
    const std::string& head = scan.firstFullHead;
    if (scan.firstFullLength == head.size()) {
        const std::vector<std::string_view> one{head};
        const auto cipher = makeEngineNamed(keyed, "portable");
        try {
            (void)decryptParts(*cipher, one, head.size());
        } catch (const PartFailed& f) {
            return f.outcome;
        } catch (const RunError&) {
            // A character without a byte: the key is right; writing reports it.
        }
        return TextCipher::Outcome::Text;
    }
    // A part too long to keep: its length and first block tell a wrong key.
    if (scan.firstFullLength % 2 != 0) {
        return TextCipher::Outcome::Malformed;
    }
    std::uint8_t block[32];
    for (std::size_t i = 0; i < 32; ++i) {
        const int hi = nibbleOf(head[2 * i]);
        const int lo = nibbleOf(head[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return TextCipher::Outcome::Malformed;
        }
        block[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    const std::uint64_t total = scan.firstFullLength / 2;
    if (total % 32 != 0) {
        return TextCipher::Outcome::InvalidPassword;
    }
    keyed.Decrypt(block);
    const std::int32_t L = load32(block);
    if (L <= 0 || static_cast<std::uint64_t>(L) > total - 4 || L / 2 == 0) {
        return TextCipher::Outcome::InvalidPassword;
    }
    return TextCipher::Outcome::Text;
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
        work.submit([&cipher, text = std::move(batch)] { return decryptBatch(cipher, text); },
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
                longOne.emplace(cipher, work, longPart->second, index);
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
