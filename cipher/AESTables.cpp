// The class's GF(2^8) arithmetic and its tables: the shift, pack and field helpers, the
// S-boxes, round constants and round tables that gentables provides.
#include "cipher/AES.h"
#include "cipher/LittleEndian.h"
#include "platform/RunError.h"

#include <cstring>

namespace vornal {

AES::AES() {
    for (int i = 0; i < 31; ++i) {
        wpow[i] = std::uint32_t{1} << i;
        wmask[i] = static_cast<std::uint32_t>((std::uint64_t{1} << (i + 1)) - 1);
    }
    for (int i = 0; i < 8; ++i) {
        bpow[i] = static_cast<std::uint8_t>(1u << i);
        bmask[i] = static_cast<std::uint8_t>((1u << (i + 1)) - 1);
    }
    invco[0] = 0x0B;
    invco[1] = 0x0D;
    invco[2] = 0x09;
    invco[3] = 0x0E;
}

// ---- shift helpers: counts outside their range are run-time error 6 ----

std::uint32_t AES::shlword(std::uint32_t word, int count) const {
    if (count < 0 || count > 31) {
        throw RunError::overflow();
    }
    // Keep the low 32-count bits, then scale: the bits shifted out are lost.
    return count == 0 ? word : (word & wmask[31 - count]) * wpow[count];
}

std::uint32_t AES::shrword(std::uint32_t word, int count) const {
    if (count < 0 || count > 31) {
        throw RunError::overflow();
    }
    return word >> count;
}

std::uint8_t AES::shlbyte(std::uint8_t byte, int count) const {
    if (count < 0 || count > 7) {
        throw RunError::overflow();
    }
    return count == 0 ? byte : static_cast<std::uint8_t>((byte & bmask[7 - count]) * bpow[count]);
}

std::uint8_t AES::shrbyte(std::uint8_t byte, int count) const {
    if (count < 0 || count > 7) {
        throw RunError::overflow();
    }
    return static_cast<std::uint8_t>(byte / bpow[count]);
}

std::uint32_t AES::rotlword(std::uint32_t word, int n) const {
    return shlword(word, n) | shrword(word, 32 - n);
}

std::uint8_t AES::rotlbyte(std::uint8_t byte, int n) const {
    return static_cast<std::uint8_t>(shlbyte(byte, n) | shrbyte(byte, 8 - n));
}

std::uint32_t AES::packword(const std::uint8_t (&b)[4]) noexcept {
    return load32le(b);
}

std::uint32_t AES::packwordat(std::span<const std::uint8_t> bytes, std::size_t k) {
    if (k + 4 > bytes.size()) {
        throw RunError::subscriptOutOfRange();
    }
    return load32le(bytes.data() + k);
}

void AES::unpackword(std::uint32_t word, std::uint8_t (&b)[4]) noexcept {
    store32le(b, word);
}

void AES::unpackwordat(std::uint32_t word, std::span<std::uint8_t> bytes, std::size_t k) {
    if (k + 4 > bytes.size()) {
        throw RunError::subscriptOutOfRange();
    }
    store32le(bytes.data() + k, word);
}

std::uint8_t AES::xtime(std::uint8_t a) noexcept {
    auto b = static_cast<std::uint8_t>((a << 1) & 255);
    return (a & 0x80) ? static_cast<std::uint8_t>(b ^ 0x1B) : b;
}

std::uint8_t AES::gfmul(std::uint8_t x, std::uint8_t y) const noexcept {
    if (x == 0 || y == 0) {
        return 0;
    }
    // (logtab[x] + logtab[y]) mod 255, the sum being at most 510.
    int sum = logtab[x] + logtab[y];
    if (sum >= 255) {
        sum -= 255;
    }
    return alogtab[sum];
}

std::uint32_t AES::subword(std::uint32_t word) const noexcept {
    std::uint8_t b[4];
    unpackword(word, b);
    for (auto& v : b) {
        v = sbox[v];
    }
    return packword(b);
}

std::uint32_t AES::gfdot(std::uint32_t x, std::uint32_t y) const noexcept {
    std::uint8_t bx[4];
    std::uint8_t by[4];
    unpackword(x, bx);
    unpackword(y, by);
    std::uint8_t m = 0;
    for (int i = 0; i < 4; ++i) {
        m ^= gfmul(bx[i], by[i]);
    }
    return m;
}

std::uint32_t AES::invmixcolumn(std::uint32_t word) const {
    std::uint8_t b[4];
    std::uint32_t m = packword(invco);
    b[3] = static_cast<std::uint8_t>(gfdot(m, word));
    m = rotlword(m, 24);
    b[2] = static_cast<std::uint8_t>(gfdot(m, word));
    m = rotlword(m, 24);
    b[1] = static_cast<std::uint8_t>(gfdot(m, word));
    m = rotlword(m, 24);
    b[0] = static_cast<std::uint8_t>(gfdot(m, word));
    return packword(b);
}

std::uint8_t AES::sboxcalc(std::uint8_t x) const {
    const std::uint8_t y = alogtab[255 - logtab[x]];
    std::uint8_t r = y;
    std::uint8_t s = y;
    for (int i = 0; i < 4; ++i) {
        r = rotlbyte(r, 1);
        s ^= r;
    }
    return static_cast<std::uint8_t>(s ^ 0x63);
}

// ---- tables ----

void AES::computeTables() {
    logtab[0] = 0;
    alogtab[0] = 1;
    logtab[1] = 0;
    alogtab[1] = 3;
    logtab[3] = 1;
    for (int i = 2; i < 256; ++i) {
        alogtab[i] = static_cast<std::uint8_t>(alogtab[i - 1] ^ xtime(alogtab[i - 1]));
        logtab[alogtab[i]] = static_cast<std::uint8_t>(i);
    }
    sbox[0] = 0x63;
    invsbox[0x63] = 0;
    for (int i = 1; i < 256; ++i) {
        const std::uint8_t s = sboxcalc(static_cast<std::uint8_t>(i));
        sbox[i] = s;
        invsbox[s] = static_cast<std::uint8_t>(i);
    }
    rcon[0] = 1;
    for (int i = 1; i < 30; ++i) {
        rcon[i] = xtime(static_cast<std::uint8_t>(rcon[i - 1]));
    }
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t s = sbox[i];
        const std::uint8_t e[4] = {xtime(s), s, s, static_cast<std::uint8_t>(s ^ xtime(s))};
        enctab[i] = packword(e);
        const std::uint8_t t = invsbox[i];
        const std::uint8_t d[4] = {gfmul(invco[3], t), gfmul(invco[2], t), gfmul(invco[1], t),
                                   gfmul(invco[0], t)};
        dectab[i] = packword(d);
    }
}

const AES& AES::precomputedTables() {
    static const AES proto = [] {
        AES a;
        a.computeTables();
        a.rotated_ = rotateTables(a);
        return a;
    }();
    return proto;
}

void AES::gentables() {
    // The tables depend on nothing, so one computation serves every object.
    const AES& p = precomputedTables();
    std::memcpy(alogtab, p.alogtab, sizeof alogtab);
    std::memcpy(logtab, p.logtab, sizeof logtab);
    std::memcpy(sbox, p.sbox, sizeof sbox);
    std::memcpy(invsbox, p.invsbox, sizeof invsbox);
    std::memcpy(rcon, p.rcon, sizeof rcon);
    std::memcpy(enctab, p.enctab, sizeof enctab);
    std::memcpy(dectab, p.dectab, sizeof dectab);
    rotated_ = p.rotated_;
}

} // namespace vornal
