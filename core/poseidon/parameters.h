// The Poseidon instance of the system over Fr: width 9, rate 8, 8 full rounds
// (4 before and 4 after the partial ones), 63 partial rounds, S-box x^5.
//
// Its round constants C (71 rows of 9) and Cauchy matrix M come from the Grain
// LFSR at run time and are rewritten into an equivalent faster form: the
// partial rounds multiply by sparse matrices and add a single constant each.
// For every state the optimised permute() equals the plain permutation:
// for each round, add C[round], apply x^5 (to every element in the first and
// last four rounds, to element 0 only in between), multiply by M.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "common/kernel_copy.h"
#include "poseidon/matrix.h"

// The AVX-512 IFMA kernel's tables (poseidon/permutation_ifma.h), held here
// and built by parameters.cpp; users of the parameters need not see them.
namespace lumora::poseidon::ifma {
struct Tables;
}  // namespace lumora::poseidon::ifma

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

constexpr std::size_t FULL_ROUNDS = 8;
constexpr std::size_t PARTIAL_ROUNDS = 63;

// Element 0 is the capacity, elements 1 to 8 the rate.
using State = Vector<WIDTH>;

// Element-wise addition mod r.
void add_constants(State& state, const State& row);

struct MdsMatrices {
    MdsMatrix mds_matrix;                       // M itself
    MdsMatrix entry_matrix;                     // applied once, entering the partial rounds
    std::vector<SparseMdsMatrix> sparse_rounds; // one per partial round, in use order
};

struct OptimizedConstants {
    std::vector<State> head_constants;  // full_rounds/2 + 1 rows
    std::vector<Fr> partial_constants;  // one per partial round
    std::vector<State> tail_constants;  // full_rounds/2 − 1 rows
};

// The partial rounds regrouped in blocks of up to PARTIAL_BLOCK rounds, for
// the 64-bit permutation. Within a block, with x the eight rate elements at
// its start and o_t = (element 0)^5 + c_t after round t's S-box and
// constant, round t's sparse matrix (first row (a_t, v_t), first column w_t)
// leaves the rate elements at x + o_0·w_0 + … + o_t·w_t, so
//   element 0 after round t = v_t·x + (v_t·w_0)·o_0 + … + (v_t·w_(t−1))·o_(t−1) + a_t·o_t,
//   the rate elements after the block = x + w_0·o_0 + … + w_(B−1)·o_(B−1):
// one sum of products, reduced once, per round and per rate element of the
// block, where the rounds one by one reduce each product of o_t by w_t
// separately. The coefficients of a block of B rounds, in use order: for
// each round t, (v_t, v_t·w_0, …, v_t·w_(t−1), a_t) (9 + t of them); then for
// each rate element i, (w_0[i], …, w_(B−1)[i]). Blocks follow each other
// from the first partial round; only the last may be shorter.
constexpr std::size_t PARTIAL_BLOCK = 4;

// The coefficients above for the given sparse matrices (in use order).
std::vector<Fr> partial_block_coefficients(const std::vector<SparseMdsMatrix>& sparse);

struct Spec {
    std::size_t full_rounds = 0;
    MdsMatrices matrices;
    OptimizedConstants constants;
    std::vector<Fr> partial_blocks;  // partial_block_coefficients(matrices.sparse_rounds)
    // The same parameters for the AVX-512 IFMA kernel, built when the CPU
    // has it (null otherwise, and for other round counts).
    std::shared_ptr<const ifma::Tables> ifma_tables;

    // Generates the tables for (full_rounds, partial_rounds); the system uses
    // (FULL_ROUNDS, PARTIAL_ROUNDS) only. Costly: build once and share. An odd
    // count of full rounds, or fewer than two, aborts.
    static Spec create(std::size_t full_rounds, std::size_t partial_rounds);

    // The permutation, in place, by the fastest path this process runs
    // (cpu::dispatch()). Every path gives the same result.
    void permute(State& state) const;
    // The permutation with 64-bit field arithmetic only.
    void permute_scalar(State& state) const;
    // The permutation with the IFMA kernel, whatever the dispatch says; false
    // (and the state untouched) when the CPU lacks it or there are no tables.
    bool permute_ifma(State& state) const;
};

// The sparse matrices of the partial rounds in use order, and the dense entry
// matrix that precedes them, such that entry then the sparse matrices equal
// partial_rounds multiplications by m.
std::pair<std::vector<SparseMdsMatrix>, MdsMatrix> calculate_sparse_matrices(std::size_t partial_rounds,
                                                                             const MdsMatrix& m);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
