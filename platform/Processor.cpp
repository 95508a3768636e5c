#include "platform/Processor.h"

#include <cpuid.h>
#include <immintrin.h>

namespace vornal {

namespace {

// Whether the operating system saves the register state named by the bits of XCR0 on a
// context switch: 0x06 for the 256-bit registers, 0xE6 with the 512-bit ones.
__attribute__((target("xsave"))) bool osSaves(unsigned long long state) {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0) {
        return false;
    }
    return (_xgetbv(0) & state) == state;
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

} // namespace

const Processor& processor() {
    static const Processor p = [] {
        __builtin_cpu_init(); // may run before the constructors that would do it
        Processor r;
        r.aesNi = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1") &&
                  __builtin_cpu_supports("ssse3");
        r.avx2 =
            __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") && osSaves(0x06);
        r.avx512bw = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                     osSaves(0xE6);
        r.avx512vbmi = r.avx512bw && __builtin_cpu_supports("avx512vbmi");
        r.vaes = r.avx512vbmi && hasVaes();
        return r;
    }();
    return p;
}

} // namespace vornal
