// The portable cipher against OpenSSL's AES-256-ECB on the same 32 bytes, each block engine
// this processor runs, and the text wrappers at the sizes the window sees.
#include "cipher/Rijndael256Engine.h"
#include "cipher/modAES.h"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vornal;

constexpr std::array<std::uint8_t, 32> kKey = {
    0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81,
    0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61, 0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};

class NoMessages : public MessageBoxHook {
public:
    MsgAnswer messageBox(const std::u16string&, const std::u16string&, MsgButtons,
                         MsgIcon) override {
        return MsgAnswer::Ok;
    }
};

void BM_PortableEncryptBlock_Nb8Nk8(benchmark::State& state) {
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, kKey);
    std::array<std::uint8_t, 32> block{};
    for (auto _ : state) {
        aes.Encrypt(block);
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 32);
}
// Minimum as well as median: this machine's neighbours add noise, never speed.
double minimum(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}
BENCHMARK(BM_PortableEncryptBlock_Nb8Nk8)->ComputeStatistics("min", minimum);

void BM_OpenSslAes256Ecb_32Bytes(benchmark::State& state) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx || EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, kKey.data(), nullptr) != 1) {
        throw std::runtime_error("EVP init failed");
    }
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::array<std::uint8_t, 32> in{};
    std::array<std::uint8_t, 32> out{};
    for (auto _ : state) {
        int outl = 0;
        EVP_EncryptUpdate(ctx, out.data(), &outl, in.data(), 32);
        benchmark::DoNotOptimize(out);
        in = out;
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 32);
}
BENCHMARK(BM_OpenSslAes256Ecb_32Bytes)->ComputeStatistics("min", minimum);

// 4096 independent blocks (128 KiB) per iteration through one engine, as the file
// operations hand them over. per_block beside the portable engine's gives the speed-up.
constexpr std::size_t kEngineBlocks = 4096;

void engineBench(benchmark::State& state, const std::string& name, bool encrypt) {
    AES aes;
    aes.gentables();
    aes.gkey(8, 8, kKey);
    const auto engine = makeEngineNamed(aes, name);
    std::vector<std::uint8_t> data(32 * kEngineBlocks);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    for (auto _ : state) {
        if (encrypt) {
            engine->encryptBlocks(data.data(), kEngineBlocks);
        } else {
            engine->decryptBlocks(data.data(), kEngineBlocks);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(data.size()));
    // Seconds per block (shown with its SI prefix, "ns").
    state.counters["per_block"] = benchmark::Counter(static_cast<double>(kEngineBlocks),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

const bool kEnginesRegistered = [] {
    for (const bool encrypt : {true, false}) {
        for (const std::string& name : availableEngines()) {
            benchmark::RegisterBenchmark(
                ("BM_Engine" + std::string(encrypt ? "Encrypt" : "Decrypt") + "4096Blocks/" + name)
                    .c_str(),
                [name, encrypt](benchmark::State& state) { engineBench(state, name, encrypt); })
                ->ComputeStatistics("min", minimum);
        }
    }
    return true;
}();

void BM_EncryptString_5Chars(benchmark::State& state) {
    const std::u16string text = u"hello";
    const std::u16string key = u"benchmark key";
    for (auto _ : state) {
        benchmark::DoNotOptimize(modAES::EncryptString(text, key));
    }
}
BENCHMARK(BM_EncryptString_5Chars);

void BM_DecryptString_5Chars(benchmark::State& state) {
    const std::u16string key = u"benchmark key";
    const std::u16string hex = modAES::EncryptString(u"hello", key);
    NoMessages messages;
    for (auto _ : state) {
        benchmark::DoNotOptimize(modAES::DecryptString(hex, key, messages));
    }
}
BENCHMARK(BM_DecryptString_5Chars);

void BM_EncryptString_10000Chars(benchmark::State& state) {
    std::u16string text(10000, u'x');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(u'a' + i % 26);
    }
    const std::u16string key = u"benchmark key";
    for (auto _ : state) {
        benchmark::DoNotOptimize(modAES::EncryptString(text, key));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 20000);
}
BENCHMARK(BM_EncryptString_10000Chars);

} // namespace

BENCHMARK_MAIN();
