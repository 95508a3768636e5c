#include "cipher/Rijndael256Engine.h"

#include "cipher/Rijndael256Hardware.h"

#include <cpuid.h>
#include <cstdlib>
#include <immintrin.h>
#include <span>
#include <stdexcept>

namespace vornal {
namespace {

constexpr std::string_view kPortable = "portable";
constexpr std::string_view kAesNi = "aes-ni";
constexpr std::string_view kVaes = "vaes-avx512";

class PortableEngine final : public Rijndael256Engine {
public:
    explicit PortableEngine(const AES& keyed) : aes_(keyed) {}

    void encryptBlocks(std::uint8_t* data, std::size_t blocks) const override {
        for (std::size_t i = 0; i < blocks; ++i) {
            aes_.Encrypt(std::span<std::uint8_t>(data + 32 * i, 32));
        }
    }
    void decryptBlocks(std::uint8_t* data, std::size_t blocks) const override {
        for (std::size_t i = 0; i < blocks; ++i) {
            aes_.Decrypt(std::span<std::uint8_t>(data + 32 * i, 32));
        }
    }
    [[nodiscard]] std::string_view name() const override { return kPortable; }

private:
    AES aes_;
};

// Whether the operating system saves the SSE, AVX and AVX-512 state (XCR0 bits 1, 2 and
// 5-7) on a context switch; without that the 512-bit registers must not be used, whatever
// CPUID says the processor has.
__attribute__((target("xsave"))) bool osSavesZmmState() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0) {
        return false;
    }
    constexpr unsigned long long wanted = 0xE6;
    return (_xgetbv(0) & wanted) == wanted;
}

// VAES (CPUID leaf 7, ECX bit 9), asked of the processor directly: not every compiler
// knows it by name.
bool hasVaes() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (c & (1u << 9)) != 0;
}

struct Support {
    bool aesNi = false;
    bool vaes = false;
};

const Support& support() {
    static const Support s = [] {
        __builtin_cpu_init(); // may run before the constructors that would do it
        Support r;
        r.aesNi = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1") &&
                  __builtin_cpu_supports("ssse3");
        // The byte permute (vpermb) is AVX512-VBMI, which every processor with VAES and
        // AVX-512 has had so far; checked all the same.
        r.vaes = hasVaes() && __builtin_cpu_supports("avx512f") &&
                 __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
                 osSavesZmmState();
        return r;
    }();
    return s;
}

bool runs(std::string_view name) {
    if (name == kPortable) {
        return true;
    }
    if (name == kAesNi) {
        return support().aesNi;
    }
    if (name == kVaes) {
        return support().vaes;
    }
    return false;
}

} // namespace

std::unique_ptr<Rijndael256Engine> makeEngineNamed(const AES& keyed, std::string_view name) {
    // The hardware engines know only this size; an unkeyed object would give them zeros.
    if (keyed.blockWords() != 8 || keyed.keyWords() != 8) {
        throw std::invalid_argument("Rijndael256Engine needs a gkey(8, 8, ...) schedule");
    }
    if (!runs(name)) {
        return nullptr;
    }
    if (name == kVaes) {
        return hw::makeVaesEngine(keyed, kVaes);
    }
    if (name == kAesNi) {
        return hw::makeAesNiEngine(keyed, kAesNi);
    }
    return std::make_unique<PortableEngine>(keyed);
}

std::vector<std::string> availableEngines() {
    std::vector<std::string> names;
    for (const std::string_view name : {kPortable, kAesNi, kVaes}) {
        if (runs(name)) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::string chosenEngineName() {
    // Read on every call, so that a test can set it.
    if (const char* forced = std::getenv("VORNAL_CIPHER"); forced && runs(forced)) {
        return forced;
    }
    return std::string(runs(kVaes) ? kVaes : runs(kAesNi) ? kAesNi : kPortable);
}

std::unique_ptr<Rijndael256Engine> makeEngine(const AES& keyed) {
    return makeEngineNamed(keyed, chosenEngineName());
}

} // namespace vornal
