#include "cipher/Rijndael256Engine.h"

#include "cipher/Rijndael256Hardware.h"
#include "platform/Processor.h"

#include <cstdlib>
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

bool runs(std::string_view name) {
    if (name == kPortable) {
        return true;
    }
    if (name == kAesNi) {
        return processor().aesNi;
    }
    if (name == kVaes) {
        // The byte permute (vpermb) is AVX512-VBMI, which every processor with VAES and
        // AVX-512 has had so far; processor() checks it all the same.
        return processor().vaes;
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
