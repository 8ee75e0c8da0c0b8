#include "poseidon/parameters.h"

#include <algorithm>
#include <span>
#include <utility>

#include "common/cpu.h"
#include "poseidon/grain.h"
#include "poseidon/permutation_ifma_tables.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

namespace {

Fr pow5(const Fr& x) {
    const Fr x2 = x.square();
    return x2.square() * x;
}

// S-box layer on every element, the round's constants (none in the very
// last round), then the dense matrix.
void full_round(State& state, const State* constants, const MdsMatrix& m) {
    for (auto& x : state) x = pow5(x);
    if (constants != nullptr) add_constants(state, *constants);
    state = m.mul_vector(state);
}

// The rate elements, then the S-box outputs (with their constants) of the
// block's rounds so far: every sum of products of a block reads a run of it.
using BlockValues = std::array<Fr, RATE + PARTIAL_BLOCK>;

// Out of line on aarch64: inlined into a block, GCC interleaves its sums
// there and runs out of registers (the permutation took 9 % more
// instructions). On x86-64 the inlined form is the shorter by 3 %.
#if defined(__aarch64__)
#define LUMORA_SUM_OF_PRODUCTS_INLINING __attribute__((noinline))
#else
#define LUMORA_SUM_OF_PRODUCTS_INLINING inline
#endif
template <std::size_t N>
LUMORA_SUM_OF_PRODUCTS_INLINING Fr sum_of_products(const Fr* a, const Fr* b) {
    return Fr::sum_of_products(std::span<const Fr, N>(a, N), std::span<const Fr, N>(b, N));
}
#undef LUMORA_SUM_OF_PRODUCTS_INLINING

// B partial rounds as partial_block_coefficients lays them out, from the
// coefficients at k; returns where the next block's coefficients begin.
template <std::size_t B>
const Fr* partial_block(Fr& x0, BlockValues& v, const Fr* constants, const Fr* k) {
    static_assert(B >= 1 && B <= PARTIAL_BLOCK);
    [&]<std::size_t... T>(std::index_sequence<T...>) {
        ((v[RATE + T] = pow5(x0) + constants[T], x0 = sum_of_products<RATE + 1 + T>(k, v.data()),
          k += RATE + 1 + T),
         ...);
    }(std::make_index_sequence<B>{});
    for (std::size_t i = 0; i < RATE; ++i, k += B) v[i] += sum_of_products<B>(k, v.data() + RATE);
    return k;
}

// A last block of `rounds` < PARTIAL_BLOCK rounds (none when zero).
template <std::size_t B = PARTIAL_BLOCK - 1>
void short_block(std::size_t rounds, Fr& x0, BlockValues& v, const Fr* constants, const Fr* k) {
    if constexpr (B > 0) {
        if (rounds == B) partial_block<B>(x0, v, constants, k);
        else short_block<B - 1>(rounds, x0, v, constants, k);
    }
}

// Every partial round, in blocks.
void partial_rounds(State& state, const std::vector<Fr>& constants, const std::vector<Fr>& coefficients) {
    BlockValues v;
    for (std::size_t i = 0; i < RATE; ++i) v[i] = state[i + 1];
    Fr x0 = state[0];
    const Fr* k = coefficients.data();
    std::size_t r = 0;
    for (; r + PARTIAL_BLOCK <= constants.size(); r += PARTIAL_BLOCK)
        k = partial_block<PARTIAL_BLOCK>(x0, v, &constants[r], k);
    short_block(constants.size() - r, x0, v, constants.data() + r, k);
    state[0] = x0;
    for (std::size_t i = 0; i < RATE; ++i) state[i + 1] = v[i];
}

}  // namespace

std::vector<Fr> partial_block_coefficients(const std::vector<SparseMdsMatrix>& sparse) {
    std::vector<Fr> k;
    for (std::size_t start = 0; start < sparse.size(); start += PARTIAL_BLOCK) {
        const std::size_t b = std::min(PARTIAL_BLOCK, sparse.size() - start);
        for (std::size_t t = 0; t < b; ++t) {
            const SparseMdsMatrix& s = sparse[start + t];
            Vector<RATE> v_t;
            for (std::size_t i = 0; i < RATE; ++i) v_t[i] = s.first_row[i + 1];
            k.insert(k.end(), v_t.begin(), v_t.end());
            for (std::size_t u = 0; u < t; ++u) k.push_back(Fr::sum_of_products(v_t, sparse[start + u].first_column));
            k.push_back(s.first_row[0]);
        }
        for (std::size_t i = 0; i < RATE; ++i)
            for (std::size_t u = 0; u < b; ++u) k.push_back(sparse[start + u].first_column[i]);
    }
    return k;
}

void add_constants(State& state, const State& row) {
    for (std::size_t i = 0; i < WIDTH; ++i) state[i] += row[i];
}

std::pair<std::vector<SparseMdsMatrix>, MdsMatrix> calculate_sparse_matrices(std::size_t partial_rounds,
                                                                             const MdsMatrix& m) {
    // The factorisation repeated on acc_0 = Mᵗ, acc_(k+1) = Mᵗ·P_k, where P_k
    // keeps only acc_k's lower-right block B_k, has a closed form. With Mᵗ
    // split into its corner a, first row f (below: the other eight entries),
    // first column w and lower-right block H:
    //   B_k = H^(k+1), acc_k's first column is always (a, w), and its first
    //   row is (a, f·H^k);
    // so the factor S_k has first row (a, H^−(k+1)·w) and first column f·H^k,
    // and the final acc is Mᵗ·diag(1, H^n). One inversion instead of one per
    // round, and products of vectors instead of matrices.
    const MdsMatrix mt = m.transpose();
    Matrix<RATE> h;
    Vector<RATE> w, f;
    for (std::size_t i = 0; i < RATE; ++i) {
        w[i] = mt.rows[i + 1][0];
        f[i] = mt.rows[0][i + 1];
        for (std::size_t j = 0; j < RATE; ++j) h.rows[i][j] = mt.rows[i + 1][j + 1];
    }
    const Matrix<RATE> h_inv = h.invert_var();

    std::vector<SparseMdsMatrix> sparse(partial_rounds);
    Vector<RATE> u = w, row = f;
    for (std::size_t k = 0; k < partial_rounds; ++k) {
        u = h_inv.mul_vector(u);
        // Factors are split off from the last partial round backwards.
        SparseMdsMatrix& s = sparse[partial_rounds - 1 - k];
        s.first_row[0] = mt.rows[0][0];
        for (std::size_t i = 0; i < RATE; ++i) {
            s.first_row[i + 1] = u[i];
            s.first_column[i] = row[i];
        }
        row = h.mul_row_vector(row);
    }

    MdsMatrix p = MdsMatrix::identity();
    if (partial_rounds > 0) {
        const Matrix<RATE> hn = h.pow_var(partial_rounds);
        for (std::size_t i = 0; i < RATE; ++i)
            for (std::size_t j = 0; j < RATE; ++j) p.rows[i + 1][j + 1] = hn.rows[i][j];
    }
    return {std::move(sparse), mt.mul(p).transpose()};
}

Spec Spec::create(std::size_t full_rounds, std::size_t partial_rounds) {
    // Without a full round on each side the tables below have no place to start.
    if (full_rounds < 2) abort_with("poseidon: at least two full rounds are needed");
    auto [c, m] = Grain::generate(full_rounds, partial_rounds);
    const MdsMatrix n = m.invert_var();
    const std::size_t h = full_rounds / 2;

    // Each partial round adds its constants before the S-box touches element
    // 0 only; pushing the other eight through M⁻¹ into the next round leaves
    // one constant per partial round and folds the rest into the last head row.
    OptimizedConstants k;
    k.head_constants.push_back(c[0]);
    for (std::size_t i = 1; i < h; ++i) k.head_constants.push_back(n.mul_vector(c[i]));
    k.partial_constants.resize(partial_rounds);
    State acc = c[h + partial_rounds];
    for (std::size_t r = partial_rounds; r-- > 0;) {
        State t = n.mul_vector(acc);
        k.partial_constants[r] = t[0];
        t[0] = Fr::zero();
        add_constants(t, c[h + r]);
        acc = t;
    }
    k.head_constants.push_back(n.mul_vector(acc));
    for (std::size_t j = 0; j + 1 < h; ++j) k.tail_constants.push_back(n.mul_vector(c[h + partial_rounds + 1 + j]));

    auto [sparse, entry] = calculate_sparse_matrices(partial_rounds, m);
    std::vector<Fr> blocks = partial_block_coefficients(sparse);
    Spec spec{full_rounds, MdsMatrices{m, entry, std::move(sparse)}, std::move(k), std::move(blocks), nullptr};
    if (cpu::features().avx512_ifma) spec.ifma_tables = make_ifma_tables(spec);
    return spec;
}

void Spec::permute(State& state) const {
    if (!cpu::dispatch().extensions.ifma || !permute_ifma(state)) permute_scalar(state);
}

bool Spec::permute_ifma([[maybe_unused]] State& state) const {
#if defined(LUMORA_IFMA_PERMUTATION)
    if (!ifma_tables || !cpu::features().avx512_ifma) return false;
    ifma::u64 limbs[WIDTH][4];
    for (std::size_t i = 0; i < WIDTH; ++i)
        for (std::size_t j = 0; j < 4; ++j) limbs[i][j] = state[i].mont()[j];
    ifma::permute_ifma(limbs, *ifma_tables);
    for (std::size_t i = 0; i < WIDTH; ++i) state[i] = Fr::from_mont({limbs[i][0], limbs[i][1], limbs[i][2], limbs[i][3]});
    return true;
#else
    return false;
#endif
}

void Spec::permute_scalar(State& state) const {
    const std::size_t h = full_rounds / 2;
    const MdsMatrix& mds = matrices.mds_matrix;

    add_constants(state, constants.head_constants[0]);
    for (std::size_t i = 1; i < h; ++i) full_round(state, &constants.head_constants[i], mds);
    full_round(state, &constants.head_constants[h], matrices.entry_matrix);
    partial_rounds(state, constants.partial_constants, partial_blocks);
    for (const State& row : constants.tail_constants) full_round(state, &row, mds);
    full_round(state, nullptr, mds);  // no constants in the last round
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
