// What the running CPU offers, and which kernels this process uses.
//
// One binary runs on every CPU of its architecture: code that needs
// instructions beyond the baseline is only entered when the CPU reports them.
// The choice is made once per process, on first use (the module makes it
// when imported, see sdk::api::prepare()), and never changes afterwards
// (results are the same on every path; only the speed differs).
//
// LUMORA_CPU forces a path, for tests and benchmarks:
//   portable  portable C++ everywhere (the form 64-bit Arm builds use for the fields)
//   baseline  x86-64 baseline assembly kernels, no SHA or vector extensions
//   adx       MULX/ADX field kernels and SHA extensions, no AVX-512
//   ifma      everything the CPU has (the same as unset or "auto")
// A forced path is capped at what the CPU has: asking for more than it offers
// gives the best it offers. An unknown value counts as "auto".
#pragma once

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

enum class FieldKernel { Portable, X86Baseline, X86Adx };

// The kernels this process runs: the best the CPU offers, capped by LUMORA_CPU.
struct Dispatch {
    FieldKernel field = FieldKernel::Portable;
    bool ifma_permutation = false;  // the AVX-512 IFMA Poseidon permutation
    bool sha_extensions = false;    // SHA-NI or Armv8 SHA-256 compression
};

// Chosen once, on first use, from features() and LUMORA_CPU; safe to call
// from any thread.
const Dispatch& dispatch();

// The dispatch for a LUMORA_CPU value on CPUs with the given features (a
// null or empty value means "auto"). dispatch() is this applied once; tests
// use it to check the capping rules.
Dispatch choose(const Features& cpu, const char* requested);

// The path's name as LUMORA_CPU spells it ("portable", "baseline", "adx",
// "ifma"), for benchmarks and diagnostics.
const char* path_name(const Dispatch& d);

}  // namespace lumora::cpu
