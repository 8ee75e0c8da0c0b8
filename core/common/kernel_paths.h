// The kernel paths, listed once. Everything that names a copy of the field
// kernels or a LUMORA_CPU path is made from the two lists below: the build
// (core/CMakeLists.txt reads the COPY rows), the run-time choice and its
// names (common/cpu.h), the operation table of every copy and the choice
// among them (sdk/api.cpp), the tests and checks that run every copy, and
// the scripts, which ask the kernel_paths tool (core/tools) of their build.
//
// Included by common/cpu.h; nothing else needs it.
#pragma once

// The copies of the field kernels, the least capable first. The layers that
// inline the kernels (field, curve, Poseidon, EdDSA, the sdk operations) are
// compiled once for every copy built for the target, each copy in the inline
// namespace kernel_<name> (common/kernel_copy.h), with LUMORA_FIELD_<NAME>
// defined: field/montgomery.h picks the copy's kernels by it. Every copy is
// compiled for the target's baseline instructions; a copy whose kernels need
// more is entered only on CPUs that have them.
//
//   COPY(name, architecture, instructions)
//
// name          the namespace's suffix and the copy's LUMORA_CPU name
// architecture  the target it is built for: any, x86_64 or aarch64
// instructions  what the CPU must offer to run it: true, or a condition on
//               the members of cpu::Features `cpu`
//
// One row per line, in this form: the build reads the rows with a regular
// expression. A copy whose instructions are `true` runs on every CPU of its
// target; the last such copy of the target is the one the unit tests, the
// benchmarks and the fuzz targets use directly.
#define LUMORA_FIELD_COPIES(COPY)                \
    COPY(portable, any, true)                    \
    COPY(baseline, x86_64, true)                 \
    COPY(adx, x86_64, cpu.bmi2 && cpu.adx)

// The paths LUMORA_CPU names, the least capable first; unset, empty, "auto"
// and any other name mean the last. A path caps both choices a process
// makes: its field copy is the last copy, up to the path's own, that is
// built for the target and that the CPU runs; each instruction extension is
// on when the path allows it and the CPU has it.
//
//   PATH(name, copy, SHA-256 instructions, AVX-512 IFMA permutation)
//
// Every copy has a path of its own name.
#define LUMORA_CPU_PATHS(PATH)             \
    PATH(portable, portable, false, false) \
    PATH(baseline, baseline, false, false) \
    PATH(adx, adx, true, false)            \
    PATH(ifma, adx, true, true)
