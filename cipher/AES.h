#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vornal {

// A byte array that is either absent (never allocated) or present with zero or more bytes.
using ByteArray = std::optional<std::vector<std::uint8_t>>;

struct RotatedTables;

// Rijndael with block and key lengths of 4, 6 or 8 words, table-driven, with its own
// length-prefixed, zero-padded, block-by-block framing (EncryptData / DecryptData).
//
// Words hold one column, row 0 in the least significant byte. They are kept unsigned: every
// operation on them is a bit operation, so only the bit pattern matters.
class AES {
public:
    // Sets the masks, powers and InvMixColumn coefficients; tables stay zero.
    AES();
    // Wipes the schedules, which hold the key.
    ~AES();
    AES(const AES&) = default;
    AES& operator=(const AES&) = default;

    // Fills the GF(2^8) tables, S-boxes, round constants and round tables.
    void gentables();
    // Expands KEY (bytes 0..4*nk-1) for nb-word blocks. Needs gentables first.
    // Throws RunError 9 for nb or nk above 8 or a KEY shorter than 4*nk bytes.
    void gkey(std::int32_t nb, std::int32_t nk, std::span<const std::uint8_t> KEY);
    // Encrypts bytes 0..4*Nb-1 of buff in place; bytes beyond are untouched.
    // Throws RunError 9 when buff is shorter than one block.
    void Encrypt(std::span<std::uint8_t> buff) const;
    // Decrypts bytes 0..4*Nb-1 of buff in place.
    void Decrypt(std::span<std::uint8_t> buff) const;

    // Frames, pads and encrypts bytMessage under the first 32 bytes of bytPassword with a
    // 256-bit block and key. Absent on any failure, an empty message included.
    [[nodiscard]] ByteArray EncryptData(const ByteArray& bytMessage, const ByteArray& bytPassword);
    // Inverse of EncryptData; absent for a wrong length, a wrong password (almost always)
    // or any other failure.
    [[nodiscard]] ByteArray DecryptData(const ByteArray& bytIn, const ByteArray& bytPassword);

    // gentables, then gkey(8, 8) with the key of password, as EncryptData and DecryptData
    // key themselves; the key copy made on the way is wiped.
    void keyWithPassword(std::span<const std::uint8_t> password);

    // Framing with the schedule already in place (gentables and gkey(8, 8, key) done), so
    // that a caller with many messages under one key expands it once. Same results as
    // EncryptData / DecryptData; they throw instead of answering absent.
    [[nodiscard]] std::vector<std::uint8_t>
    encryptFramed(std::span<const std::uint8_t> message) const;
    // The ciphertext size for a message of n bytes: 4 + n rounded up to whole blocks.
    [[nodiscard]] static constexpr std::size_t framedSize(std::size_t n) {
        return (n + 4 + 31) / 32 * 32;
    }
    [[nodiscard]] ByteArray decryptFramed(std::span<const std::uint8_t> ciphertext) const;
    // Whether a decrypted length field L can belong to a framed text of T bytes: a wrong key
    // is noticed only by failing this.
    [[nodiscard]] static constexpr bool plausibleLength(std::int32_t L, std::uint64_t T) noexcept {
        return L > 0 && T >= 4 && static_cast<std::uint64_t>(L) <= T - 4;
    }

    // The 32-byte key that a password gives: its first 32 bytes, zero-filled.
    [[nodiscard]] static std::array<std::uint8_t, 32>
    keyFromPassword(std::span<const std::uint8_t> password);

    // Read access for tests and for the hardware engine, which must agree with these.
    [[nodiscard]] std::int32_t blockWords() const noexcept { return Nb; }
    [[nodiscard]] std::int32_t keyWords() const noexcept { return Nk; }
    [[nodiscard]] std::int32_t rounds() const noexcept { return Nr; }
    [[nodiscard]] std::span<const std::uint32_t, 120> encryptionSchedule() const noexcept {
        return encsched;
    }
    [[nodiscard]] std::span<const std::uint32_t, 120> decryptionSchedule() const noexcept {
        return decsched;
    }
    [[nodiscard]] std::span<const std::uint8_t, 256> forwardSbox() const noexcept { return sbox; }
    [[nodiscard]] std::span<const std::uint8_t, 256> inverseSbox() const noexcept {
        return invsbox;
    }
    [[nodiscard]] std::span<const std::uint8_t, 256> logTable() const noexcept { return logtab; }
    [[nodiscard]] std::span<const std::uint32_t, 256> forwardTable() const noexcept {
        return enctab;
    }
    [[nodiscard]] std::span<const std::uint32_t, 256> inverseTable() const noexcept {
        return dectab;
    }

private:
    static bool isdimensioned(const ByteArray& bytes) noexcept { return bytes.has_value(); }

    std::uint32_t shlword(std::uint32_t word, int count) const;
    std::uint32_t shrword(std::uint32_t word, int count) const;
    std::uint8_t shlbyte(std::uint8_t byte, int count) const;
    std::uint8_t shrbyte(std::uint8_t byte, int count) const;
    std::uint32_t rotlword(std::uint32_t word, int n) const;
    std::uint8_t rotlbyte(std::uint8_t byte, int n) const;
    static std::uint32_t packword(const std::uint8_t (&b)[4]) noexcept;
    static std::uint32_t packwordat(std::span<const std::uint8_t> bytes, std::size_t k);
    static void unpackword(std::uint32_t word, std::uint8_t (&b)[4]) noexcept;
    static void unpackwordat(std::uint32_t word, std::span<std::uint8_t> bytes, std::size_t k);
    static std::uint8_t xtime(std::uint8_t a) noexcept;
    std::uint8_t gfmul(std::uint8_t x, std::uint8_t y) const noexcept;
    std::uint32_t subword(std::uint32_t word) const noexcept;
    std::uint32_t gfdot(std::uint32_t x, std::uint32_t y) const noexcept;
    std::uint32_t invmixcolumn(std::uint32_t word) const;
    std::uint8_t sboxcalc(std::uint8_t x) const;

    // Algorithm G, run once per process; gentables copies its result.
    void computeTables();
    static const AES& precomputedTables();
    // Fills the process's rotated round tables from those of tables.
    static const RotatedTables* rotateTables(const AES& tables);
    void crypt(std::span<std::uint8_t> buff, bool forward) const;

    // For the shift helpers only:
    std::uint32_t wmask[31]{}, wpow[31]{};
    std::uint8_t bmask[8]{}, bpow[8]{};
    // InvMixColumn's coefficients, then the tables that gentables fills.
    std::uint8_t invco[4]{};
    std::uint8_t sbox[256]{}, invsbox[256]{};
    std::uint8_t alogtab[256]{}, logtab[256]{};
    std::uint32_t enctab[256]{}, dectab[256]{};
    std::uint32_t rcon[30]{};
    // The sizes and schedules, set by gkey.
    std::int32_t Nk = 0, Nb = 0, Nr = 0;
    std::uint8_t fshift[24]{}, ishift[24]{};
    std::uint32_t encsched[120]{}, decsched[120]{};

    // Set by gentables: the process's round tables in rotated form for the fast rounds.
    const RotatedTables* rotated_ = nullptr;
};

} // namespace vornal
