// What the running CPU offers, and which kernels this process uses.
//
// One binary runs on every CPU of its architecture: code that needs
// instructions beyond the baseline is only entered when the CPU reports them.
// A process makes two choices, once, on first use (the module makes them
// when imported, see sdk::api::prepare()), and never changes them (results
// are the same on every path; only the speed differs):
//   - which copy of the field kernels runs (FieldCopy): the layers that
//     inline the kernels are compiled once per copy, and the process calls
//     one copy's operations;
//   - which instruction extensions the shared code uses (Extensions): the
//     SHA-256 instructions and the AVX-512 IFMA Poseidon permutation.
// Both lists, the copies and the LUMORA_CPU paths, are written once, in
// common/kernel_paths.h.
//
// LUMORA_CPU names a path, for tests and benchmarks; a path caps both
// choices at what it allows, and the CPU caps them at what it has, so asking
// for more than the CPU offers gives the best it offers.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "common/kernel_paths.h"

namespace lumora::cpu {

// Instruction-set features as the CPU (and, for vector state, the operating
// system) reports them.
struct Features {
    bool bmi2 = false;
    bool adx = false;
    bool avx512_ifma = false;  // with AVX-512 F, VL and DQ, and the OS saving ZMM state
    bool sha = false;          // x86-64 SHA-NI with SSSE3 and SSE4.1, or the Armv8 SHA-256 instructions
};

// Read once, then cached.
const Features& features();

// The copies of the field kernels, in the order of the list.
enum class FieldCopy : unsigned char {
#define LUMORA_CPU_COPY_ENUMERATOR(name, architecture, instructions) name,
    LUMORA_FIELD_COPIES(LUMORA_CPU_COPY_ENUMERATOR)
#undef LUMORA_CPU_COPY_ENUMERATOR
};

// Every copy of the list, whether this target's build has it or not.
inline constexpr FieldCopy FIELD_COPIES[] = {
#define LUMORA_CPU_COPY_VALUE(name, architecture, instructions) FieldCopy::name,
    LUMORA_FIELD_COPIES(LUMORA_CPU_COPY_VALUE)
#undef LUMORA_CPU_COPY_VALUE
};

// The architectures a copy may be built for, as the list names them.
namespace target {
inline constexpr bool any = true;
#if defined(__x86_64__)
inline constexpr bool x86_64 = true;
#else
inline constexpr bool x86_64 = false;
#endif
#if defined(__aarch64__)
inline constexpr bool aarch64 = true;
#else
inline constexpr bool aarch64 = false;
#endif
}  // namespace target

// The copy's name, as LUMORA_CPU spells it.
constexpr std::string_view copy_name(FieldCopy copy) {
    switch (copy) {
#define LUMORA_CPU_COPY_NAME(name, architecture, instructions) \
    case FieldCopy::name: return #name;
        LUMORA_FIELD_COPIES(LUMORA_CPU_COPY_NAME)
#undef LUMORA_CPU_COPY_NAME
    }
    return {};
}

// Whether this target's build has the copy.
constexpr bool built(FieldCopy copy) {
    switch (copy) {
#define LUMORA_CPU_COPY_BUILT(name, architecture, instructions) \
    case FieldCopy::name: return target::architecture;
        LUMORA_FIELD_COPIES(LUMORA_CPU_COPY_BUILT)
#undef LUMORA_CPU_COPY_BUILT
    }
    return false;
}

// Whether a CPU with these features runs the copy's kernels.
constexpr bool runs(FieldCopy copy, [[maybe_unused]] const Features& cpu) {
    switch (copy) {
#define LUMORA_CPU_COPY_RUNS(name, architecture, instructions) \
    case FieldCopy::name: return instructions;
        LUMORA_FIELD_COPIES(LUMORA_CPU_COPY_RUNS)
#undef LUMORA_CPU_COPY_RUNS
    }
    return false;
}

// The instruction extensions the code shared by every copy may use.
struct Extensions {
    bool sha = false;   // SHA-256 compression with SHA-NI or the Armv8 SHA-256 instructions
    bool ifma = false;  // the AVX-512 IFMA Poseidon permutation
    bool operator==(const Extensions&) const = default;
};

// A path LUMORA_CPU names: the most it allows.
struct Path {
    std::string_view name;
    FieldCopy copy;
    Extensions extensions;
};

// Every path of the list, the least capable first.
inline constexpr Path PATHS[] = {
#define LUMORA_CPU_PATH(name, copy, sha, ifma) {#name, FieldCopy::copy, {sha, ifma}},
    LUMORA_CPU_PATHS(LUMORA_CPU_PATH)
#undef LUMORA_CPU_PATH
};

// What a process runs.
struct Dispatch {
    FieldCopy copy = FIELD_COPIES[0];  // the copy of the field kernels and the layers above them
    Extensions extensions;             // the extensions the shared code uses
    bool operator==(const Dispatch&) const = default;
};

// The choice for a LUMORA_CPU value on a CPU with the given features (null,
// empty, "auto" or an unknown name: the last path). dispatch() is this
// applied once; tests use it to check the capping rules.
Dispatch choose(const Features& cpu, const char* requested);

// Chosen once, on first use, from features() and LUMORA_CPU; safe to call
// from any thread.
const Dispatch& dispatch();

}  // namespace lumora::cpu
