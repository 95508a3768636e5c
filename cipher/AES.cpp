// The key schedule and the block rounds.
#include "cipher/AES.h"

#include "cipher/LittleEndian.h"
#include "platform/RunError.h"
#include "platform/Secrets.h"

#include <bit>
#include <cstring>
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

// One round over all NB columns with the rotated tables t: the round tables, or for the
// last round the S-boxes, which skips MixColumn. The column indices are constants
// (index_sequence), so the round compiles to straight-line look-ups and XORs.
template <int NB, bool Forward, std::size_t... J>
[[gnu::always_inline]] inline void round(const std::uint32_t (&t)[4][256], const std::uint32_t* in,
                                         std::uint32_t* out, const std::uint32_t* k,
                                         std::index_sequence<J...>) noexcept {
    constexpr int C2 = NB < 8 ? 2 : 3;
    constexpr int C3 = NB < 8 ? 3 : 4;
    constexpr auto src = [](int j, int c) { return Forward ? (j + c) % NB : (NB + j - c) % NB; };
    ((out[J] = k[J] ^ t[0][in[J] & 255] ^ t[1][(in[src(J, 1)] >> 8) & 255] ^
               t[2][(in[src(J, C2)] >> 16) & 255] ^ t[3][in[src(J, C3)] >> 24]),
     ...);
}

template <int NB, bool Forward>
[[gnu::always_inline]] inline void fullRound(const std::uint32_t* in, std::uint32_t* out,
                                             const std::uint32_t* k) noexcept {
    round<NB, Forward>(Forward ? gRotated.enc : gRotated.dec, in, out, k,
                       std::make_index_sequence<NB>{});
}

// R full rounds with the state alternating between x and y; answers where it ends.
template <int NB, bool Forward, int R>
[[gnu::always_inline]] inline const std::uint32_t*
unrolledRounds(std::uint32_t* x, std::uint32_t* y, const std::uint32_t* rk) noexcept {
    if constexpr (R == 0) {
        return x;
    } else {
        fullRound<NB, Forward>(x, y, rk);
        return unrolledRounds<NB, Forward, R - 1>(y, x, rk + NB);
    }
}

// A block of NB words with the ShiftRow offsets that gkey gives for NB, fixed at compile
// time. It computes exactly what the generic loop over fshift/ishift computes. The
// program's own size (8 words, 14 rounds) is unrolled completely.
template <int NB, bool Forward>
[[gnu::noinline]] void cryptFixed(const std::uint32_t* sched, int nr, std::uint8_t* buff) noexcept {
    std::uint32_t x[NB];
    std::uint32_t y[NB];
    for (int c = 0; c < NB; ++c) {
        x[c] = load32le(buff + 4 * c) ^ sched[c];
    }
    const std::uint32_t* state = x;
    const std::uint32_t* rk = sched + NB;
    if (NB == 8 && nr == 14) {
        state = unrolledRounds<NB, Forward, 13>(x, y, rk);
        rk += 13 * NB;
    } else {
        for (int r = 1; r < nr; ++r, rk += NB) {
            fullRound<NB, Forward>(x, y, rk);
            std::memcpy(x, y, sizeof x);
        }
    }
    std::uint32_t out[NB];
    round<NB, Forward>(Forward ? gRotated.encLast : gRotated.decLast, state, out, rk,
                       std::make_index_sequence<NB>{});
    for (int c = 0; c < NB; ++c) {
        store32le(buff + 4 * c, out[c]);
    }
    // The working state is the caller's block itself, before and after; it lives in
    // registers here and is not wiped separately.
}

} // namespace

const RotatedTables* AES::rotateTables(const AES& tables) {
    for (int i = 0; i < 256; ++i) {
        for (int r = 0; r < 4; ++r) {
            gRotated.enc[r][i] = std::rotl(tables.enctab[i], 8 * r);
            gRotated.dec[r][i] = std::rotl(tables.dectab[i], 8 * r);
            gRotated.encLast[r][i] = std::uint32_t{tables.sbox[i]} << (8 * r);
            gRotated.decLast[r][i] = std::uint32_t{tables.invsbox[i]} << (8 * r);
        }
    }
    return &gRotated;
}

AES::~AES() {
    // Both schedules begin or end with the key itself.
    wipe(encsched, sizeof encsched);
    wipe(decsched, sizeof decsched);
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
    // One round from x into y with table t: the round table, or for the last round the
    // S-box, which skips MixColumn.
    const auto round = [&](const auto* t) {
        for (int j = 0; j < Nb; ++j) {
            const int m = 3 * j;
            y[j] = sched[k] ^ t[x[j] & 255] ^ rotlword(t[(x[shift[m]] >> 8) & 255], 8) ^
                   rotlword(t[(x[shift[m + 1]] >> 16) & 255], 16) ^
                   rotlword(t[(x[shift[m + 2]] >> 24) & 255], 24);
            ++k;
        }
    };
    for (int r = 1; r < Nr; ++r) {
        round(tab);
        std::swap(x, y);
    }
    round(box);
    for (int c = 0; c < Nb; ++c) {
        unpackwordat(y[c], buff, 4 * static_cast<std::size_t>(c));
    }
    wipe(a, sizeof a);
    wipe(b, sizeof b);
}

void AES::Encrypt(std::span<std::uint8_t> buff) const {
    crypt(buff, true);
}

void AES::Decrypt(std::span<std::uint8_t> buff) const {
    crypt(buff, false);
}
} // namespace vornal
