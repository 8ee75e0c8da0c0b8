// The width-9 permutation with AVX-512 IFMA: eight 64-bit lanes, each
// element as five 52-bit limbs in Montgomery form with factor 2^260.
//
// This interface is plain data on purpose: the kernel is compiled once, for
// those instructions only, and is called from whichever field-kernel build
// of the rest runs. It knows nothing of Fr; the caller prepares the tables
// (from the generated parameters, once) and passes the state as raw limbs.
//
// Only call permute_ifma() on a CPU with AVX-512 IFMA, VL and DQ whose OS
// saves their state (cpu::features().avx512_ifma): elsewhere its
// instructions fault. The hashing path enters it only when the process runs
// that path (cpu::dispatch().extensions.ifma); the tests and benchmarks
// compare it with the 64-bit path whatever LUMORA_CPU says.
#pragma once

#include <cstdint>

// The kernel exists on x86-64 only.
#if defined(__x86_64__)
#define LUMORA_IFMA_PERMUTATION 1
#endif

namespace lumora::poseidon::ifma {

using u64 = std::uint64_t;

constexpr int LIMBS = 5;  // 52-bit limbs of an element
constexpr int LANES = 8;  // 64-bit lanes of a 512-bit vector
constexpr int PARTIAL_ROUNDS = 63;

// Nine elements: 0 to 7 across the lanes (lanes[limb][element]), 8 on its own.
struct Nine {
    alignas(64) u64 lanes[LIMBS][LANES];
    u64 last[LIMBS];
};

// A dense 9 x 9 matrix A, laid out for new = A·s with s[0..7] in the lanes.
struct Dense {
    alignas(64) u64 columns[9][LIMBS][LANES];  // columns[j]: A[0..7][j]
    alignas(64) u64 last_row[LIMBS][LANES];    // A[8][0..7]
    alignas(64) u64 corner[LIMBS][LANES];      // A[8][8] in lane 0, zero elsewhere
};

// One partial round k: S-box on element 0 plus its constant c, then the
// sparse matrix (first row fr, first column below the top fc). Pairs are the
// two 64-bit lanes of a 128-bit vector.
struct PartialRound {
    alignas(64) u64 first_row_rest[LIMBS][LANES];  // fr[1..8]
    alignas(64) u64 first_column[LIMBS][LANES];    // fc[0..7]
    alignas(16) u64 first_row_head[LIMBS][2];      // (fr[0], fr[0])
    alignas(16) u64 correction[LIMBS][2];          // (fr[1..8]·fc of round k − 1, 0); zero for k = 0
    alignas(16) u64 offsets[LIMBS][2];             // (fr[0]·c, c)
};

// Every constant in the 52-bit form (x·2^260 mod r, fully reduced) unless
// said otherwise.
struct Tables {
    u64 modulus[LIMBS];  // r itself
    u64 inv;             // −r⁻¹ mod 2^52
    u64 one[LIMBS];      // 2^260 mod r: multiplying by it renormalises a value
    Nine first_constants;  // added before the first S-box
    // The constants of the other full rounds with round constants, pushed
    // through the matrix that follows them: M·head[1..3], E·head[4] (E the
    // entry matrix), M·tail[0..2].
    Nine folded_constants[7];
    Dense mds;
    Dense entry;
    // M with its entries in the 64-bit form (x·2^256): the last product then
    // comes out in that form, which is the conversion back.
    Dense mds_out;
    PartialRound partial[PARTIAL_ROUNDS];
};

// The permutation of nine elements given as four 64-bit limbs each, least
// significant first, in the 64-bit Montgomery form (x·2^256 mod r, below r).
// The result is in the same form and fully reduced, identical to the scalar
// permutation with the same parameters.
void permute_ifma(u64 (&state)[9][4], const Tables& tables);

}  // namespace lumora::poseidon::ifma
