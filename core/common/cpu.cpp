#include "common/cpu.h"

#include <cstdlib>

#if defined(__x86_64__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

namespace lumora::cpu {

namespace {

// The first copy is the fallback of every choice.
static_assert(built(FIELD_COPIES[0]) && runs(FIELD_COPIES[0], Features{}),
              "the first copy must be built for every target and run on every CPU");

// Scripts and tests force each copy through the path of its name.
constexpr bool every_copy_has_its_path() {
    for (FieldCopy copy : FIELD_COPIES) {
        bool found = false;
        for (const Path& path : PATHS) found = found || (path.name == copy_name(copy) && path.copy == copy);
        if (!found) return false;
    }
    return true;
}
static_assert(every_copy_has_its_path(), "every copy needs a path of its own name");

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
    const Path* path = &PATHS[std::size(PATHS) - 1];
    if (requested != nullptr) {
        for (const Path& p : PATHS)
            if (p.name == requested) path = &p;
    }
    Dispatch d;
    for (FieldCopy copy : FIELD_COPIES) {
        if (built(copy) && runs(copy, cpu)) d.copy = copy;
        if (copy == path->copy) break;
    }
    d.extensions.sha = path->extensions.sha && cpu.sha;
    d.extensions.ifma = path->extensions.ifma && cpu.avx512_ifma;
    return d;
}

const Dispatch& dispatch() {
    static const Dispatch d = choose(features(), std::getenv("LUMORA_CPU"));
    return d;
}

}  // namespace lumora::cpu
