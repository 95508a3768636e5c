#include "cipher/AES.h"

#include "platform/RunError.h"

#include <bit>
#include <climits>
#include <cstring>
#include <string.h> // explicit_bzero
#include <utility>

namespace vornal {

// The four byte positions of a column each get their own rotation of the round table,
// so a round costs only look-ups and XORs.
struct RotatedTables {
    std::uint32_t enc[4][256];
    std::uint32_t dec[4][256];
    // The S-boxes with each entry already in its row, for the last round.
    std::uint32_t encLast[4][256];
    std::uint32_t decLast[4][256];
};

namespace {

// Filled once, before any object can use it (gentables runs first). A namespace-scope
// object is addressed directly, which leaves the rounds one more register.
RotatedTables gRotated;

inline std::uint32_t load32(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline void store32(std::uint8_t* p, std::uint32_t w) noexcept {
    p[0] = static_cast<std::uint8_t>(w);
    p[1] = static_cast<std::uint8_t>(w >> 8);
    p[2] = static_cast<std::uint8_t>(w >> 16);
    p[3] = static_cast<std::uint8_t>(w >> 24);
}

// One full round over all NB columns; the column indices are constants (index_sequence),
// so the round compiles to straight-line look-ups and XORs.
template <int NB, bool Forward, std::size_t... J>
[[gnu::always_inline]] inline void fullRound(const std::uint32_t* in, std::uint32_t* out,
                                             const std::uint32_t* k,
                                             std::index_sequence<J...>) noexcept {
    const auto& t = Forward ? gRotated.enc : gRotated.dec;
    constexpr int C2 = NB < 8 ? 2 : 3;
    constexpr int C3 = NB < 8 ? 3 : 4;
    constexpr auto src = [](int j, int c) { return Forward ? (j + c) % NB : (NB + j - c) % NB; };
    ((out[J] = k[J] ^ t[0][in[J] & 255] ^ t[1][(in[src(J, 1)] >> 8) & 255] ^
               t[2][(in[src(J, C2)] >> 16) & 255] ^ t[3][in[src(J, C3)] >> 24]),
     ...);
}

template <int NB, bool Forward, std::size_t... J>
[[gnu::always_inline]] inline void lastRound(const std::uint32_t* in, std::uint32_t* out,
                                             const std::uint32_t* k,
                                             std::index_sequence<J...>) noexcept {
    const auto& t = Forward ? gRotated.encLast : gRotated.decLast;
    constexpr int C2 = NB < 8 ? 2 : 3;
    constexpr int C3 = NB < 8 ? 3 : 4;
    constexpr auto src = [](int j, int c) { return Forward ? (j + c) % NB : (NB + j - c) % NB; };
    ((out[J] = k[J] ^ t[0][in[J] & 255] ^ t[1][(in[src(J, 1)] >> 8) & 255] ^
               t[2][(in[src(J, C2)] >> 16) & 255] ^ t[3][in[src(J, C3)] >> 24]),
     ...);
}

// R full rounds with the state alternating between x and y; answers where it ends.
template <int NB, bool Forward, int R>
[[gnu::always_inline]] inline const std::uint32_t*
unrolledRounds(std::uint32_t* x, std::uint32_t* y, const std::uint32_t* rk) noexcept {
    if constexpr (R == 0) {
        return x;
    } else {
        fullRound<NB, Forward>(x, y, rk, std::make_index_sequence<NB>{});
        return unrolledRounds<NB, Forward, R - 1>(y, x, rk + NB);
    }
}

// A block of NB words with the ShiftRow offsets that gkey gives for NB, fixed at compile
// time. It computes exactly what the generic loop over fshift/ishift computes. The
// program's own size (8 words, 14 rounds) is unrolled completely.
template <int NB, bool Forward>
[[gnu::noinline]] void cryptFixed(const std::uint32_t* sched, int nr, std::uint8_t* buff) noexcept {
    constexpr auto cols = std::make_index_sequence<NB>{};
    std::uint32_t x[NB];
    std::uint32_t y[NB];
    for (int c = 0; c < NB; ++c) {
        x[c] = load32(buff + 4 * c) ^ sched[c];
    }
    const std::uint32_t* state = x;
    const std::uint32_t* rk = sched + NB;
    if (NB == 8 && nr == 14) {
        state = unrolledRounds<NB, Forward, 13>(x, y, rk);
        rk += 13 * NB;
    } else {
        for (int r = 1; r < nr; ++r, rk += NB) {
            fullRound<NB, Forward>(x, y, rk, cols);
            std::memcpy(x, y, sizeof x);
        }
    }
    std::uint32_t out[NB];
    lastRound<NB, Forward>(state, out, rk, cols);
    for (int c = 0; c < NB; ++c) {
        store32(buff + 4 * c, out[c]);
    }
    // The working state is the caller's block itself, before and after; it lives in
    // registers here and is not wiped separately.
}

} // namespace

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

AES::~AES() {
    wipeSchedules();
}

void AES::wipeSchedules() noexcept {
    explicit_bzero(encsched, sizeof encsched);
    explicit_bzero(decsched, sizeof decsched);
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
    return load32(b);
}

std::uint32_t AES::packwordat(std::span<const std::uint8_t> bytes, std::size_t k) {
    if (k + 4 > bytes.size()) {
        throw RunError::subscriptOutOfRange();
    }
    return load32(bytes.data() + k);
}

void AES::unpackword(std::uint32_t word, std::uint8_t (&b)[4]) noexcept {
    store32(b, word);
}

void AES::unpackwordat(std::uint32_t word, std::span<std::uint8_t> bytes, std::size_t k) {
    if (k + 4 > bytes.size()) {
        throw RunError::subscriptOutOfRange();
    }
    store32(bytes.data() + k, word);
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
        for (int i = 0; i < 256; ++i) {
            for (int r = 0; r < 4; ++r) {
                gRotated.enc[r][i] = std::rotl(a.enctab[i], 8 * r);
                gRotated.dec[r][i] = std::rotl(a.dectab[i], 8 * r);
                gRotated.encLast[r][i] = std::uint32_t{a.sbox[i]} << (8 * r);
                gRotated.decLast[r][i] = std::uint32_t{a.invsbox[i]} << (8 * r);
            }
        }
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
    rotated_ = &gRotated;
}

// ---- key expansion ----

void AES::gkey(std::int32_t nb, std::int32_t nk, std::span<const std::uint8_t> KEY) {
    Nb = nb;
    Nk = nk;
    Nr = nb < nk ? nk + 6 : nb + 6;
    if (nb < 0 || nk < 0 || nb > 8 || nk > 8 || KEY.size() < 4 * static_cast<std::size_t>(nk)) {
        throw RunError::subscriptOutOfRange();
    }
    const int C1 = 1;
    const int C2 = nb < 8 ? 2 : 3;
    const int C3 = nb < 8 ? 3 : 4;
    const int C[3] = {C1, C2, C3};
    for (int j = 0; j < Nb; ++j) {
        for (int r = 0; r < 3; ++r) {
            fshift[3 * j + r] = static_cast<std::uint8_t>((j + C[r]) % Nb);
            ishift[3 * j + r] = static_cast<std::uint8_t>((Nb + j - C[r]) % Nb);
        }
    }
    const int N = Nb * (Nr + 1);
    for (int i = 0; i < Nk; ++i) {
        encsched[i] = packwordat(KEY, 4 * static_cast<std::size_t>(i));
    }
    int j = Nk;
    int k = 0;
    while (j < N) {
        if (k >= 30) {
            throw RunError::subscriptOutOfRange();
        }
        encsched[j] = encsched[j - Nk] ^ subword(rotlword(encsched[j - 1], 24)) ^ rcon[k];
        if (Nk <= 6) {
            for (int i = 1; i < Nk && j + i < N; ++i) {
                encsched[j + i] = encsched[j + i - Nk] ^ encsched[j + i - 1];
            }
        } else {
            for (int i = 1; i < 4 && j + i < N; ++i) {
                encsched[j + i] = encsched[j + i - Nk] ^ encsched[j + i - 1];
            }
            if (j + 4 < N) {
                encsched[j + 4] = encsched[j + 4 - Nk] ^ subword(encsched[j + 3]);
            }
            for (int i = 5; i < Nk && j + i < N; ++i) {
                encsched[j + i] = encsched[j + i - Nk] ^ encsched[j + i - 1];
            }
        }
        j += Nk;
        ++k;
    }
    for (int c = 0; c < Nb; ++c) {
        decsched[N - Nb + c] = encsched[c];
    }
    for (int i = Nb; i < N - Nb; i += Nb) {
        for (int c = 0; c < Nb; ++c) {
            decsched[N - Nb - i + c] = invmixcolumn(encsched[i + c]);
        }
    }
    for (int c = 0; c < Nb; ++c) {
        decsched[c] = encsched[N - Nb + c];
    }
}

// ---- one block ----

void AES::crypt(std::span<std::uint8_t> buff, bool forward) const {
    if (Nb <= 0) {
        return;
    }
    if (buff.size() < 4 * static_cast<std::size_t>(Nb)) {
        throw RunError::subscriptOutOfRange();
    }
    const std::uint32_t* sched = forward ? encsched : decsched;
    const std::uint32_t* tab = forward ? enctab : dectab;
    const std::uint8_t* box = forward ? sbox : invsbox;
    // The unrolled forms need the process's tables, which gentables has put in place.
    if (rotated_) {
        switch (Nb) {
        case 4:
            return forward ? cryptFixed<4, true>(sched, Nr, buff.data())
                           : cryptFixed<4, false>(sched, Nr, buff.data());
        case 6:
            return forward ? cryptFixed<6, true>(sched, Nr, buff.data())
                           : cryptFixed<6, false>(sched, Nr, buff.data());
        case 8:
            return forward ? cryptFixed<8, true>(sched, Nr, buff.data())
                           : cryptFixed<8, false>(sched, Nr, buff.data());
        default:
            break;
        }
    }
    // Other block lengths: the same rounds driven by the ShiftRow source tables.
    const std::uint8_t* shift = forward ? fshift : ishift;
    std::uint32_t a[8];
    std::uint32_t b[8];
    std::uint32_t* x = a;
    std::uint32_t* y = b;
    for (int c = 0; c < Nb; ++c) {
        x[c] = packwordat(buff, 4 * static_cast<std::size_t>(c)) ^ sched[c];
    }
    int k = Nb;
    for (int r = 1; r < Nr; ++r) {
        for (int j = 0; j < Nb; ++j) {
            const int m = 3 * j;
            y[j] = sched[k] ^ tab[x[j] & 255] ^ rotlword(tab[(x[shift[m]] >> 8) & 255], 8) ^
                   rotlword(tab[(x[shift[m + 1]] >> 16) & 255], 16) ^
                   rotlword(tab[(x[shift[m + 2]] >> 24) & 255], 24);
            ++k;
        }
        std::swap(x, y);
    }
    for (int j = 0; j < Nb; ++j) {
        const int m = 3 * j;
        y[j] = sched[k] ^ box[x[j] & 255] ^ rotlword(box[(x[shift[m]] >> 8) & 255], 8) ^
               rotlword(box[(x[shift[m + 1]] >> 16) & 255], 16) ^
               rotlword(box[(x[shift[m + 2]] >> 24) & 255], 24);
        ++k;
    }
    for (int c = 0; c < Nb; ++c) {
        unpackwordat(y[c], buff, 4 * static_cast<std::size_t>(c));
    }
    explicit_bzero(a, sizeof a);
    explicit_bzero(b, sizeof b);
}

void AES::Encrypt(std::span<std::uint8_t> buff) const {
    crypt(buff, true);
}

void AES::Decrypt(std::span<std::uint8_t> buff) const {
    crypt(buff, false);
}

// ---- framing ----

std::array<std::uint8_t, 32> AES::keyFromPassword(std::span<const std::uint8_t> password) {
    std::array<std::uint8_t, 32> key{};
    if (!password.empty()) {
        std::memcpy(key.data(), password.data(), std::min<std::size_t>(32, password.size()));
    }
    return key;
}

std::vector<std::uint8_t> AES::encryptFramed(std::span<const std::uint8_t> message) const {
    std::vector<std::uint8_t> out(message.empty() ? 0 : framedSize(message.size()));
    encryptFramedInto(message, out.data());
    return out;
}

void AES::encryptFramedInto(std::span<const std::uint8_t> message, std::uint8_t* out) const {
    if (message.empty()) {
        // Copying from the first byte of an empty message fails.
        throw RunError::subscriptOutOfRange();
    }
    if (message.size() > static_cast<std::size_t>(INT32_MAX) - 35) {
        throw RunError::overflow();
    }
    const std::size_t T = framedSize(message.size());
    store32(out, static_cast<std::uint32_t>(message.size()));
    std::memcpy(out + 4, message.data(), message.size());
    std::memset(out + 4 + message.size(), 0, T - 4 - message.size());
    for (std::size_t c = 0; c < T; c += 32) {
        Encrypt(std::span<std::uint8_t>(out + c, 32));
    }
}

ByteArray AES::decryptFramed(std::span<const std::uint8_t> ciphertext) const {
    const std::size_t T = ciphertext.size();
    if (T == 0 || T % 32 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(ciphertext.begin(), ciphertext.end());
    for (std::size_t c = 0; c < T; c += 32) {
        Decrypt(std::span<std::uint8_t>(buffer.data() + c, 32));
    }
    const auto L = static_cast<std::int32_t>(load32(buffer.data()));
    if (L <= 0 || static_cast<std::size_t>(L) > T - 4) {
        explicit_bzero(buffer.data(), buffer.size());
        return std::nullopt;
    }
    // Reuse the buffer: drop the length field and the padding.
    buffer.erase(buffer.begin(), buffer.begin() + 4);
    buffer.resize(static_cast<std::size_t>(L));
    return buffer;
}

ByteArray AES::EncryptData(const ByteArray& bytMessage, const ByteArray& bytPassword) {
    try {
        if (!isdimensioned(bytMessage) || !isdimensioned(bytPassword)) {
            return std::nullopt;
        }
        auto key = keyFromPassword(*bytPassword);
        gentables();
        gkey(8, 8, key);
        explicit_bzero(key.data(), key.size());
        return encryptFramed(*bytMessage);
    } catch (...) {
        return std::nullopt;
    }
}

ByteArray AES::DecryptData(const ByteArray& bytIn, const ByteArray& bytPassword) {
    try {
        if (!isdimensioned(bytIn) || !isdimensioned(bytPassword)) {
            return std::nullopt;
        }
        if (bytIn->size() % 32 != 0) {
            return std::nullopt; // before any key work
        }
        auto key = keyFromPassword(*bytPassword);
        gentables();
        gkey(8, 8, key);
        explicit_bzero(key.data(), key.size());
        return decryptFramed(*bytIn);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace vornal
