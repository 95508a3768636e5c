// The file engine's byte conversions in every instruction set this processor runs, side by
// side on the same English-like text: MB/s of plain text for the batch conversions (as the
// engine calls them, a group at a time) and of bytes for the bulk ones.
#include "operations/ByteCodes.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vornal;

constexpr std::size_t kGroupBytes = 32 * 1024; // as the engine hands them on
constexpr std::size_t kGroupUnits = 4096;

// Words of 1 to 12 letters, each followed by a blank.
const std::string& text() {
    static const std::string t = [] {
        std::mt19937 rng(42);
        std::string s;
        while (s.size() < (1 << 20)) {
            for (std::size_t i = 0, n = 1 + rng() % 12; i < n; ++i) {
                s.push_back(static_cast<char>('a' + rng() % 26));
            }
            s.push_back(' ');
        }
        return s;
    }();
    return t;
}

const ByteCodes* codesOf(const benchmark::State& state) {
    return byteCodesAt(static_cast<ByteCodeLevel>(state.range(0)));
}

// Frames and pieces for all of the text, group by group, into buffers kept from one round
// to the next; answers the bytes of pieces.
struct Encoder {
    std::vector<std::uint8_t> frames = std::vector<std::uint8_t>(kGroupBytes + 4096);
    std::vector<std::uint32_t> blocks = std::vector<std::uint32_t>(kGroupUnits);
    std::string pieces = std::string(16 * text().size(), '\0');

    std::size_t encode(const ByteCodes& codes) {
        std::size_t size = 0;
        for (std::string_view rest = text(); !rest.empty();) {
            const Framing f =
                codes.frameFields(rest, frames.data(), kGroupBytes, blocks.data(), kGroupUnits);
            size += codes.writePieces(frames.data(), blocks.data(), f.fields, &pieces[size]);
            rest.remove_prefix(f.used);
        }
        return size;
    }
};

std::string piecesOf(const ByteCodes& codes) {
    Encoder e;
    e.pieces.resize(e.encode(codes));
    return e.pieces;
}

void BM_EncryptConversions(benchmark::State& state) {
    const ByteCodes* codes = codesOf(state);
    if (codes == nullptr) {
        state.SkipWithError("not on this processor");
        return;
    }
    Encoder e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.encode(*codes));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}

void BM_DecryptConversions(benchmark::State& state) {
    const ByteCodes* codes = codesOf(state);
    if (codes == nullptr) {
        state.SkipWithError("not on this processor");
        return;
    }
    const std::string pieces = piecesOf(*codes);
    std::vector<std::uint8_t> frames(kGroupBytes + 4096);
    std::vector<std::uint32_t> blocks(kGroupUnits);
    std::string out(textsRoom(kGroupUnits, kGroupBytes + 4096), '\0');
    for (auto _ : state) {
        for (std::string_view rest = pieces; !rest.empty();) {
            const Decoding d =
                codes->decodeParts(rest, frames.data(), kGroupBytes, blocks.data(), kGroupUnits);
            const Texts t =
                codes->writeTexts(frames.data(), blocks.data(), d.parts, true, out.data());
            benchmark::DoNotOptimize(t.chars);
            rest.remove_prefix(d.used);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}

// The scans of the thread that cuts batches: the marker and the separators.
void BM_ScanEncryptedText(benchmark::State& state) {
    const ByteCodes* codes = codesOf(state);
    if (codes == nullptr) {
        state.SkipWithError("not on this processor");
        return;
    }
    const std::string pieces = piecesOf(*codes);
    const std::string marker = "File encrypted by: " + std::string(80, '.') + "/>";
    for (auto _ : state) {
        benchmark::DoNotOptimize(codes->find(pieces, marker));
        benchmark::DoNotOptimize(codes->countSeparators(pieces.data(), pieces.size(), ' '));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pieces.size()));
}

void BM_HexEncodeDecode(benchmark::State& state) {
    const ByteCodes* codes = codesOf(state);
    if (codes == nullptr) {
        state.SkipWithError("not on this processor");
        return;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text().data());
    std::string hex(2 * text().size(), '\0');
    std::vector<std::uint8_t> back(text().size());
    for (auto _ : state) {
        codes->encodeHex(bytes, text().size(), hex.data());
        benchmark::DoNotOptimize(codes->decodeHex(hex.data(), text().size(), back.data()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}

// Minimum as well as median: this machine's neighbours add noise, never speed.
double minimum(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

void levels(benchmark::internal::Benchmark* b) {
    for (const auto level :
         {ByteCodeLevel::Plain, ByteCodeLevel::Sse2, ByteCodeLevel::Avx2, ByteCodeLevel::Avx512}) {
        b->Arg(static_cast<int>(level));
    }
    b->ArgName("level")->ComputeStatistics("min", minimum);
}

BENCHMARK(BM_EncryptConversions)->Apply(levels);
BENCHMARK(BM_DecryptConversions)->Apply(levels);
BENCHMARK(BM_ScanEncryptedText)->Apply(levels);
BENCHMARK(BM_HexEncodeDecode)->Apply(levels);

} // namespace

BENCHMARK_MAIN();
