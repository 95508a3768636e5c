#pragma once

namespace vornal {

// The instruction sets beyond baseline x86-64 that this processor has and the operating
// system lets a program use: a register file the system does not save on a context switch
// must not be used, whatever the processor says it has.
struct Processor {
    bool aesNi = false;      // AES round instructions, with SSSE3 and SSE4.1
    bool avx2 = false;       // 256-bit integer vectors, with POPCNT
    bool avx512bw = false;   // 512-bit vectors with byte and word elements (F and BW)
    bool avx512vbmi = false; // and the byte permute
    bool vaes = false;       // the AES round instructions on 512-bit vectors
};

// This processor's, found once.
[[nodiscard]] const Processor& processor();

} // namespace vornal
