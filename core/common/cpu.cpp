#include "common/cpu.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

namespace lumora::cpu {

namespace {

Features read_features() {
    Features f;
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    const bool ssse3 = (c >> 9) & 1, sse41 = (c >> 19) & 1, osxsave = (c >> 27) & 1;
    unsigned b7 = 0, c7 = 0, d7 = 0;
    if (!__get_cpuid_count(7, 0, &a, &b7, &c7, &d7)) return f;
    f.bmi2 = (b7 >> 8) & 1;
    f.adx = (b7 >> 19) & 1;
    f.sha = ((b7 >> 29) & 1) && ssse3 && sse41;
    const bool avx512f = (b7 >> 16) & 1, avx512dq = (b7 >> 17) & 1, avx512ifma = (b7 >> 21) & 1,
               avx512vl = (b7 >> 31) & 1;
    if (osxsave && avx512f && avx512dq && avx512ifma && avx512vl) {
        // XCR0: the OS saves SSE, AVX and the three AVX-512 state components.
        unsigned lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        f.avx512_ifma = (lo & 0xe6) == 0xe6;
    }
#elif defined(__aarch64__) && defined(__linux__)
    // HWCAP_SHA2 is bit 6 of AT_HWCAP on arm64 Linux.
    f.sha = (getauxval(AT_HWCAP) >> 6) & 1;
#endif
    return f;
}

}  // namespace

const Features& features() {
    static const Features f = read_features();
    return f;
}

Dispatch choose(const Features& cpu, const char* requested) {
    enum Level { Portable, Baseline, Adx, Ifma };
    Level level = Ifma;
    if (requested != nullptr) {
        if (std::strcmp(requested, "portable") == 0) level = Portable;
        else if (std::strcmp(requested, "baseline") == 0) level = Baseline;
        else if (std::strcmp(requested, "adx") == 0) level = Adx;
    }
    Dispatch d;
#if defined(__x86_64__)
    if (level >= Baseline) d.field = FieldKernel::X86Baseline;
    if (level >= Adx && cpu.bmi2 && cpu.adx) d.field = FieldKernel::X86Adx;
    if (level >= Adx) d.sha_extensions = cpu.sha;
    if (level >= Ifma) d.ifma_permutation = cpu.avx512_ifma;
#else
    // Other targets have the portable field kernels only.
    if (level >= Baseline) d.sha_extensions = cpu.sha;
#endif
    return d;
}

const Dispatch& dispatch() {
    static const Dispatch d = choose(features(), std::getenv("LUMORA_CPU"));
    return d;
}

const char* path_name(const Dispatch& d) {
    if (d.ifma_permutation) return "ifma";
    switch (d.field) {
        case FieldKernel::X86Adx: return "adx";
        case FieldKernel::X86Baseline: return "baseline";
        case FieldKernel::Portable: break;
    }
    return d.sha_extensions ? "baseline" : "portable";
}

}  // namespace lumora::cpu
